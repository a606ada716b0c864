#pragma once
// How long stopping may take, side by side because each bounds the next.
// Quit wakes the monitor thread; one that is not waiting then still sees the
// stop request by the end of its next wait for the port, which never lasts
// longer than kLongestEventWaitMs (a set-up or a dispatch under way ends
// first; its reply waits give up on a stop request).
// Its last step, a cancelled comm-event wait, ends within kCancelWaitMs.
// Quit waits kStopTimeoutMs for the thread; a thread still stuck in port I/O
// then has the port closed under it and gets as long again before quit gives
// it up. What quit sends the phone on the way out (key reports off, a newer
// phone's screen taken off, its own character set) waits for no answer, and
// each command at most kQuitWriteMs to go out, all of them kQuitWritesMs.

#include <cstdint>

namespace quillet {

constexpr std::uint32_t kLongestEventWaitMs = 10000;
constexpr std::uint32_t kCancelWaitMs = 1000;
constexpr std::uint32_t kStopTimeoutMs = 15000;
constexpr std::uint32_t kQuitWriteMs = 250;
constexpr std::uint32_t kQuitWritesMs = 1000;

static_assert(kStopTimeoutMs > kLongestEventWaitMs + kQuitWritesMs + kCancelWaitMs,
              "quit waits longer than a monitor thread that is not stuck takes to end");

}  // namespace quillet
