#include "platform/fake/fake_serial_device.h"

#include <algorithm>

namespace quillet::fake {

void FakeSerialDevice::Deliver(std::string bytes, std::uint64_t atMs) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (bytes.empty()) return;
  // Kept in order of arrival; bytes due at the same time keep their call order.
  auto later =
      std::upper_bound(incoming_.begin(), incoming_.end(), atMs,
                       [](std::uint64_t at, const ScheduledBytes& s) { return at < s.atMs; });
  incoming_.insert(later, {atMs, std::move(bytes)});
  arrivals_.push_back(atMs);
}

void FakeSerialDevice::SetDsr(bool on, std::uint64_t atMs) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!dsr_.empty()) atMs = std::max(atMs, dsr_.back().atMs);
  dsr_.push_back({atMs, on});
}

bool FakeSerialDevice::DsrAt(std::uint64_t atMs) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  bool on = false;
  for (const auto& change : dsr_) {
    if (change.atMs > atMs) break;
    on = change.on;
  }
  return on;
}

std::string FakeSerialDevice::written() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return written_;
}

bool FakeSerialDevice::isOpen() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return open_;
}

void FakeSerialDevice::ClearWritten() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  written_.clear();
}

void FakeSerialDevice::Unplug() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  vanished = true;
  incoming_.clear();
}

std::size_t FakeSerialDevice::pendingBytes() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::size_t total = 0;
  for (const auto& chunk : incoming_) total += chunk.bytes.size();
  return total;
}

}  // namespace quillet::fake
