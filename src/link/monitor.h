#pragma once
// The body of the monitor thread: it owns all traffic with the phone. It sets
// the link up, waits for serial events, dispatches the phone's unsolicited
// codes to the menu handlers, reconnects whenever there is no phone or no
// port, and ends when stop is requested.

#include <cstdint>
#include <string>

#include "link/line_router.h"
#include "link/link.h"
#include "link/stop_timeouts.h"

namespace quillet {

constexpr std::uint32_t kFailedWaitPauseMs = 1000;  // after a wait the OS refused
constexpr std::uint32_t kWatchedEvents = kEvRxChar | kEvDsr;
// Clocked work due sooner than this keeps the reads from waiting on the phone.
constexpr std::int32_t kClockSoonMs = 1000;

void MonitorDevice(Link& link);

// Reads and dispatches received lines until the buffer is drained, or until a
// menu choice was dispatched (its handler may have consumed what followed).
// Without `waitForFirst`, returns at once when nothing has arrived.
void DispatchLines(Link& link, bool waitForFirst = true);

// Asks the monitor thread to leave the phone as it found it, drop the port
// and set the link up again: for another port, which forgets the calls and
// the character set known on the old one, ...
void RequestPortChange(Link& link);
// ... or for other settings on the same port, which keeps them as a blink of
// the link does. (A link that drops by itself is set up again without being
// asked, keeping them too.)
void RequestSetUpAgain(Link& link);

}  // namespace quillet
