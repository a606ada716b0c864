#include "link/port_io.h"

#include <algorithm>

namespace quillet {

ReadOutcome ReadPort(Link& link, char* into, std::uint32_t size, bool wait, std::uint32_t pauseMs) {
  ReadOutcome outcome;
  Handle port = link.state.port;
  if (port == kNoHandle || size == 0) return outcome;
  Overlapped& ov = link.state.overlapped;
  if (!link.os.StartRead(port, ov, into, size)) return outcome;
  if (pauseMs) link.os.Sleep(pauseMs);
  IoResult result = link.os.GetResult(port, ov, wait);
  if (result.state == IoResult::State::Pending) {
    // Bytes already queued in the driver come out once the interval time-out
    // has passed (Wine does not complete such a read at once); wait that
    // long, then cancel and collect.
    link.os.WaitForEvents(&ov.event, 1, kUnwaitedReadGraceMs);
    result = link.os.GetResult(port, ov, false);
  }
  if (result.state == IoResult::State::Pending) {
    link.os.CancelIo(port);
    result = link.os.GetResult(port, ov, true);
  }
  // A cancelled read may still have moved bytes; they count like any others.
  std::uint32_t bytes = std::min(result.bytes, size);
  if (bytes == 0) return outcome;
  link.os.ResetEvent(ov.event);
  outcome.brought = true;
  // A NUL from the phone would end the text early and hide what follows it.
  char* end = std::remove(into, into + bytes, '\0');
  outcome.kept = static_cast<std::uint32_t>(end - into);
  into[outcome.kept] = '\0';
  return outcome;
}

bool DsrIsOn(Link& link) {
  std::uint32_t status = 0;
  return link.os.GetModemStatus(link.state.port, &status) && (status & kMsDsrOn) != 0;
}

}  // namespace quillet
