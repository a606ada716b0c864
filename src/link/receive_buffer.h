#pragma once
// The receive side of the link: received text waiting to be consumed.

#include <cstddef>

namespace quillet {

struct ReceiveBuffer {
  static constexpr std::size_t kSize = 10000;
  static constexpr std::size_t kMaxRead = kSize - 1;  // the terminator always fits

  char bytes[kSize] = {};
  // ReceiveCursor: offset of the first byte not yet consumed; -1 until first use.
  long cursor = -1;
  // ReceiveDrained: nothing unconsumed was left by the last ReadLine or WaitReply.
  bool drained = true;

  // Sets the cursor up on first use.
  void Prepare() {
    if (cursor < 0) {
      bytes[0] = '\0';
      cursor = 0;
    }
  }
  bool AtEnd() const { return bytes[cursor] == '\0'; }
  // Offset of the terminating zero of the unconsumed text.
  std::size_t End() const;
};

}  // namespace quillet
