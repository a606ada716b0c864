#include "recording_transport.h"

#include <algorithm>

namespace quillet::phone {

void RecordingTransport::Emit(std::string_view bytes, std::uint32_t delayMs) {
  emissions_.push_back({std::string(bytes), delayMs});
  lastMs_ = std::max(lastMs_, nowMs_) + delayMs;
  timed_.push_back({std::string(bytes), lastMs_});
}

std::string RecordingTransport::Bytes() const {
  std::string all;
  for (const Emission& e : emissions_) all += e.bytes;
  return all;
}

std::string RecordingTransport::BytesUntil(std::uint64_t atMs) const {
  std::string sent;
  for (const Timed& t : timed_) {
    if (t.atMs <= atMs) sent += t.bytes;
  }
  return sent;
}

void RecordingTransport::Clear() {
  emissions_.clear();
  timed_.clear();
  dsr_.clear();
}

}  // namespace quillet::phone
