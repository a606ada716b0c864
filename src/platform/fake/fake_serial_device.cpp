#include "platform/fake/fake_serial_device.h"

#include <algorithm>

namespace quillet::fake {

void FakeSerialDevice::Deliver(std::string bytes, std::uint64_t atMs) {
  if (bytes.empty()) return;
  // Bytes on a wire keep their order: nothing overtakes what was sent before.
  if (!incoming_.empty()) atMs = std::max(atMs, incoming_.back().atMs);
  if (!arrivals_.empty()) atMs = std::max(atMs, arrivals_.back());
  arrivals_.push_back(atMs);
  incoming_.push_back({atMs, std::move(bytes)});
}

void FakeSerialDevice::SetDsr(bool on, std::uint64_t atMs) {
  if (!dsr_.empty()) atMs = std::max(atMs, dsr_.back().atMs);
  dsr_.push_back({atMs, on});
}

bool FakeSerialDevice::DsrAt(std::uint64_t atMs) const {
  bool on = false;
  for (const auto& change : dsr_) {
    if (change.atMs > atMs) break;
    on = change.on;
  }
  return on;
}

std::size_t FakeSerialDevice::pendingBytes() const {
  std::size_t total = 0;
  for (const auto& chunk : incoming_) total += chunk.bytes.size();
  return total;
}

}  // namespace quillet::fake
