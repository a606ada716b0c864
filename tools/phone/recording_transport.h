#pragma once
// A transport that keeps what the phone sends, with each emission's moment on
// a virtual clock, for tests and in-process harnesses.

#include <cstdint>
#include <string>
#include <vector>

#include "phone_transport.h"
#include "reply_layout.h"

namespace quillet::phone {

class RecordingTransport : public PhoneTransport {
 public:
  struct Timed {
    std::string bytes;
    std::uint64_t atMs = 0;  // virtual time when the bytes go out
  };

  void Emit(std::string_view bytes, std::uint32_t delayMs) override;
  void SetDsr(bool on) override { dsr_.push_back(on); }

  // Moves the virtual clock; emissions are stamped relative to it.
  void SetNow(std::uint64_t nowMs) { nowMs_ = nowMs; }

  const std::vector<Emission>& emissions() const { return emissions_; }
  const std::vector<Timed>& timed() const { return timed_; }
  const std::vector<bool>& dsrChanges() const { return dsr_; }
  // Everything sent, concatenated.
  std::string Bytes() const;
  // Everything sent at or before `atMs`.
  std::string BytesUntil(std::uint64_t atMs) const;
  void Clear();

 private:
  std::uint64_t nowMs_ = 0;
  std::uint64_t lastMs_ = 0;
  std::vector<Emission> emissions_;
  std::vector<Timed> timed_;
  std::vector<bool> dsr_;
};

}  // namespace quillet::phone
