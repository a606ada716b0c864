#include "fake_port_phone.h"

#include <algorithm>

namespace quillet::testing {

std::uint64_t WireMs(std::size_t bytes) {
  return (bytes * 10000 + 9599) / 9600;
}

FakePortPhone::FakePortPhone(fake::FakePlatform& os, const std::string& portName)
    : os_(os), device_(os.AddDevice(portName)), model_(*this) {
  device_.OnWrite([this](std::string_view bytes, std::uint64_t doneAtMs) {
    reactionMs_ = doneAtMs;
    lineFreeMs_ = &answersFreeMs_;
    model_.Receive(bytes);
  });
}

void FakePortPhone::At(std::uint64_t ms) {
  reactionMs_ = ms;
  lineFreeMs_ = &plannedFreeMs_;
}

void FakePortPhone::Now() {
  reactionMs_ = os_.VirtualMs();
  lineFreeMs_ = &answersFreeMs_;
}

void FakePortPhone::Emit(std::string_view bytes, std::uint32_t delayMs) {
  bytesSent_ += bytes.size();
  std::uint64_t start = std::max(reactionMs_, *lineFreeMs_) + delayMs;
  // A chunk arrives whole once its last byte is through.
  std::uint64_t arrival = start + WireMs(bytes.size());
  device_.Deliver(std::string(bytes), arrival);
  *lineFreeMs_ = arrival;
  reactionMs_ = start;
}

void FakePortPhone::SetDsr(bool on) {
  device_.SetDsr(on, reactionMs_);
}

}  // namespace quillet::testing
