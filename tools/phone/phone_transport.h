#pragma once
// What the phone model needs of the line. The in-process fake serial port
// implements it on virtual time, the pty program on real time.

#include <cstdint>
#include <string_view>

namespace quillet::phone {

class PhoneTransport {
 public:
  virtual ~PhoneTransport() = default;
  // Send bytes to the plug-in, `delayMs` after the previous emission
  // (0 = right away, in order).
  virtual void Emit(std::string_view bytes, std::uint32_t delayMs) = 0;
  virtual void SetDsr(bool on) = 0;
};

}  // namespace quillet::phone
