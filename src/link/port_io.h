#pragma once
// One read from the port into the receive buffer, on the link's shared
// overlapped record. A read is never left outstanding: one that has not
// completed shortly when the caller does not wait is cancelled and its bytes
// are collected, so nothing reaches the buffer behind the reader's back.

#include <cstdint>

#include "link/link.h"

namespace quillet {

// How long a read that the caller does not wait for may take to bring the
// bytes that are already there: the port's 50 ms interval time-out and a margin.
constexpr std::uint32_t kUnwaitedReadGraceMs = 100;

struct ReadOutcome {
  std::uint32_t kept = 0;  // bytes stored, NUL bytes dropped
  bool brought = false;    // the port delivered any byte at all
};

// Reads up to `size` bytes into `into` and puts a zero after what it kept.
// `pauseMs` is slept between issuing the read and asking for its result.
ReadOutcome ReadPort(Link& link, char* into, std::uint32_t size, bool wait, std::uint32_t pauseMs);

// Whether the port's DSR line is on; a modem status that cannot be read is
// taken as no phone.
bool DsrIsOn(Link& link);

}  // namespace quillet
