#include "event_output.h"

#include <cstdio>

namespace quillet::phone {

std::uint64_t EventOutput::NowMs() const {
  auto elapsed = std::chrono::steady_clock::now() - start_;
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

json::Object EventOutput::Event(std::string_view name) const {
  json::Object event;
  event.Text("ev", name).Number("t", static_cast<std::int64_t>(NowMs()));
  return event;
}

void EventOutput::Print(const json::Object& event) {
  std::string line = event.str() + "\n";
  if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0) {
    failed_ = true;
  }
}

}  // namespace quillet::phone
