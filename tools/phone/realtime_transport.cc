#include "realtime_transport.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillet::phone {

void RealtimeTransport::Emit(std::string_view bytes, std::uint32_t delayMs) {
  // The main loop pumps after each round of input, so that the events of a
  // command precede the bytes it makes the phone send.
  schedule_.Add(std::string(bytes), delayMs, events_.NowMs());
}

void RealtimeTransport::SetDsr(bool on) {
  unsigned bits = ModemBits(on);
  json::Object event = events_.Event("dsr");
  event.Bool("on", on).Number("lines", bits);
  if (modem_) {
    std::string error;
    if (!modem_->Write(bits, &error)) event.Text("error", error);
  }
  events_.Print(event);
}

void RealtimeTransport::Pump() {
  for (std::string& bytes : schedule_.TakeDue(events_.NowMs())) {
    events_.Print(events_.Event("tx").Text("bytes", bytes));
    output_ += bytes;
  }
  while (!output_.empty()) {
    ssize_t n = write(master_, output_.data(), output_.size());
    if (n > 0) {
      output_.erase(0, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      events_.Print(events_.Event("io-error").Text("msg", std::strerror(errno)));
      output_.clear();
    }
    break;
  }
}

int RealtimeTransport::MsUntilDue() const {
  auto due = schedule_.NextDueMs();
  if (!due) return -1;
  std::uint64_t now = events_.NowMs();
  return *due <= now ? 0 : static_cast<int>(*due - now);
}

}  // namespace quillet::phone
