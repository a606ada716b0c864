#pragma once
// The state of the serial link to the phone, shared by everything that reads,
// writes, opens or closes the port.

#include <atomic>

#include "link/trace_log.h"
#include "platform/platform.h"

namespace quillet {

constexpr PortTimeouts kPortTimeouts{50, 0, 500, 0, 500};
constexpr char kLineSettings[] = "baud=9600 parity=N data=8 stop=1";

// Comm events and modem bits the link uses.
constexpr std::uint32_t kEvRxChar = 0x0001;
constexpr std::uint32_t kEvDsr = 0x0010;
constexpr std::uint32_t kMsDsrOn = 0x0020;
constexpr std::uint32_t kPurgeAll = 0x000F;       // abort and clear both directions
constexpr std::uint32_t kPurgeReceived = 0x0008;  // clear the receive queue

struct PhoneLink {
  // Written on the host's thread at quit, read on the monitor thread.
  std::atomic<Handle> port{kNoHandle};
  // Every read and write; its event is the link event.
  Overlapped overlapped;
  // Only the comm-event wait, so that it never shares a pending record with I/O.
  Overlapped commWait;
  // Where a pending comm-event wait reports: it must outlive the wait.
  std::uint32_t eventMask = 0;
  // The DSR line is on. Written on the monitor thread only; atomic so that
  // others may look.
  std::atomic<bool> connected{false};
  std::atomic<bool> stopRequested{false};
};

// Closes the record's event, if any, and clears it.
void CloseEvent(Platform& os, Overlapped& ov);
// Closes the port and the link event, if open.
void ClosePort(Platform& os, PhoneLink& link);
// Closes the trace sink, then the port and the link event.
void CloseLink(Platform& os, PhoneLink& link, TraceLog& trace);

}  // namespace quillet
