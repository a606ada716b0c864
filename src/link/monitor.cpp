#include "link/monitor.h"

#include <algorithm>

#include "link/at_transaction.h"
#include "link/charset_setup.h"
#include "link/connection_setup.h"
#include "link/line_reader.h"
#include "link/line_router.h"
#include "link/phone_commands.h"
#include "link/phone_watch.h"
#include "link/port_io.h"

namespace quillet {
namespace {

void CreateLinkEvents(Link& link) {
  link.state.overlapped.event = link.os.CreateEvent(nullptr);
  link.state.commWait.event = link.os.CreateEvent(nullptr);
}

void CloseLinkEvents(Link& link) {
  CloseEvent(link.os, link.state.overlapped);
  CloseEvent(link.os, link.state.commWait);
}

void WatchPort(Link& link) {
  if (link.state.port != kNoHandle) link.os.SetCommMask(link.state.port, kWatchedEvents);
}

// A phone that blinks away is often in a call: what the calls paused stays
// until the phone, set up again, says which calls are going on.
void InterruptCalls(Link& link) {
  if (link.callEvents != nullptr) link.callEvents->LinkInterrupted();
}

// Another port, or the end: no phone will ever end the calls known.
void ForgetCalls(Link& link) {
  if (link.callEvents != nullptr) link.callEvents->CallsForgotten();
}

// Likewise the screen the keys drove, and a key held on it.
void ForgetKeys(Link& link) {
  if (link.keyEvents != nullptr) link.keyEvents->KeysForgotten();
}

// The phone went away or the port failed: it is looked for again. What the
// menus were working on for it (a search) ends with it.
void SetUpAfterDrop(Link& link) {
  InterruptCalls(link);
  ForgetKeys(link);
  if (link.handlers != nullptr) link.handlers->ConnectionEnded();
  link.trace.WriteTrace("not having connection...", kTraceInfo);
  CloseLinkEvents(link);
  ClosePort(link.os, link.state);
  OnInit(link, true);
  CreateLinkEvents(link);
  WatchPort(link);
  if (link.state.connected) link.trace.WriteTrace("got connection", kTraceInfo);
}

// Strays from the set-up or unread bytes wait for dispatch.
bool LinesLeft(Link& link) {
  return link.state.connected && (!link.rx.drained || !link.strays.empty());
}

// What Quillet changed on the phone goes back before the port is let go:
// key reports off with the key screen up, on a newer phone its screen taken
// off, and, when the phone is left for good (quit, another port), its own
// character set.
void LeavePhone(Link& link, bool forGood) {
  const bool here = link.state.port != kNoHandle && link.state.connected;
  std::vector<std::string> commands;
  if (here && link.keyEvents != nullptr && link.keyEvents->ScreenUp())
    commands.emplace_back(phone::kKeyReportsOff);
  if (here && link.menus.set == MenuCommandSet::kNewer && link.newerMenus != nullptr) {
    for (std::string& command : link.newerMenus->TakeScreenOff())
      commands.push_back(std::move(command));
  }
  const std::string charset = here && forGood ? CharsetToPutBack(link) : std::string();
  if (!charset.empty()) commands.push_back(charset);
  if (forGood) {
    ForgetPhoneCharset(link);
    if (link.newerMenus != nullptr) link.newerMenus->ForgetPhone();
  }
  if (link.stopping()) {
    // Quit waits for no answer, and for a wedged port not long: the bytes
    // are written and the port closes.
    const std::uint32_t began = link.os.NowMs();
    for (const std::string& command : commands) {
      const std::uint32_t spent = ElapsedMs(began, link.os.NowMs());
      if (spent >= kQuitWritesMs) return;
      if (!WritePortWithin(link, Framed(command), std::min(kQuitWritesMs - spent, kQuitWriteMs)))
        return;
    }
    return;
  }
  for (const std::string& command : commands) {
    if (!SendCommand(link, command))
      link.trace.WriteTrace(command + " refused: going on", kTraceInfo);
  }
}

enum class WaitOutcome { Reported, Quiet, PortFailed };

// Ends a comm-event wait that is still pending, so that its record is free
// before any other I/O, and says how the wait ended.
WaitOutcome FinishCommWait(Link& link, std::uint32_t* eventMask) {
  Handle port = link.state.port;
  Overlapped& ov = link.state.commWait;
  IoResult result = link.os.GetResult(port, ov, false);
  if (result.completed()) return WaitOutcome::Reported;
  if (result.state == IoResult::State::Failed) {
    // Aborted waits are ours (a cancel or a mask change); other errors mean
    // the port itself has gone, as when a USB adapter is pulled.
    return result.error == kErrorOperationAborted ? WaitOutcome::Quiet : WaitOutcome::PortFailed;
  }
  link.os.CancelIo(port);
  result = link.os.GetResult(port, ov, false);
  if (result.state == IoResult::State::Pending) {
    // Some drivers end a wait only when the mask changes.
    link.os.SetCommMask(port, kWatchedEvents);
    link.os.WaitForEvents(&ov.event, 1, kCancelWaitMs);
    result = link.os.GetResult(port, ov, false);
  }
  *eventMask = 0;
  return result.state == IoResult::State::Pending ? WaitOutcome::PortFailed : WaitOutcome::Quiet;
}

// The port no longer works: drop it, and the set-up will look for it again.
void DropFailedPort(Link& link) {
  if (link.state.connected) {
    link.trace.WriteTrace("lost connection", kTraceInfo);
    PhoneWentAway(link);
  }
  CloseLinkEvents(link);
  ClosePort(link.os, link.state);
  link.state.connected = false;
}

void ReadDsr(Link& link) {
  link.state.connected = DsrIsOn(link);
  if (link.state.connected) return;
  link.trace.WriteTrace("lost connection", kTraceInfo);
  PhoneWentAway(link);
}

struct Wakeup {
  bool reported = false;  // the comm-event wait completed; its events are in eventMask
  bool timedOut = false;  // the whole longest wait passed without an event
};

// The earliest time something on the clock is due: a held key to act
// again, or other clocked work.
bool EarliestDue(Link& link, std::uint32_t* due) {
  bool any = false;
  const std::uint32_t now = link.os.NowMs();
  const auto consider = [&](const ClockedWork* work) {
    std::uint32_t at = 0;
    if (work == nullptr || !work->NextDue(&at)) return;
    if (!any || MsUntil(at, now) < MsUntil(*due, now)) *due = at;
    any = true;
  };
  consider(link.keyEvents);
  for (const ClockedWork* work : link.clocked) consider(work);
  return any;
}

// Something is due on the clock soon (a held key to act again): nothing may
// wait on the phone meanwhile. Work due later (a silent phone's check)
// leaves the reads as they were.
bool ClockRunning(Link& link) {
  std::uint32_t due = 0;
  return EarliestDue(link, &due) && MsUntil(due, link.os.NowMs()) < kClockSoonMs;
}

// The menus have work to do in steps between the phone's lines.
bool WorkPending(Link& link) {
  return link.state.connected && link.handlers != nullptr && link.handlers->WorkPending();
}

// The longest wait, cut short when something on the clock is due before its
// end, and none while the menus have work.
std::uint32_t EventWaitMs(Link& link) {
  if (WorkPending(link)) return 0;
  std::uint32_t due = 0;
  if (!EarliestDue(link, &due)) return kLongestEventWaitMs;
  const std::int32_t left = MsUntil(due, link.os.NowMs());
  if (left <= 0) return 0;
  return static_cast<std::uint32_t>(left) < kLongestEventWaitMs ? static_cast<std::uint32_t>(left)
                                                                : kLongestEventWaitMs;
}

// Waits up to 10 s for serial events on the port, or for a wake-up from the
// host's thread. Leaves no wait pending unless stop was requested.
Wakeup WaitForPortEvents(Link& link) {
  Wakeup wakeup;
  Handle port = link.state.port;
  Overlapped& ov = link.state.commWait;
  bool armed = false;
  bool dsrDropped = false;
  if (port != kNoHandle) {
    // Without a phone, bytes on the line mean nothing; left queued, some
    // drivers (Wine's among them) report them again at once and the wait
    // would spin.
    if (!link.state.connected) link.os.PurgePort(port, kPurgeReceived);
    link.os.ResetEvent(ov.event);
    link.state.eventMask = 0;
    armed = link.os.StartCommWait(port, ov, &link.state.eventMask);
    // Not every driver reports a change that came before the wait was armed
    // (Wine keeps no history of events), so look at DSR once now.
    dsrDropped = armed && link.state.connected && !DsrIsOn(link);
  }
  if (!dsrDropped) {
    Handle events[2];
    int count = 0;
    for (Handle event : {ov.event, link.wakeEvent})
      if (event != kNoHandle) events[count++] = event;
    int woke = kWaitTimedOut;
    const std::uint32_t waitMs = EventWaitMs(link);
    if (count > 0) {
      woke = link.os.WaitForEvents(events, count, waitMs);
      // A wait the OS refuses returns at once; pausing keeps a broken wait
      // from turning the retries into a busy loop.
      if (woke == kWaitFailed) link.os.Sleep(kFailedWaitPauseMs);
    } else {
      link.os.Sleep(waitMs);
    }
    wakeup.timedOut = woke == kWaitTimedOut && waitMs == kLongestEventWaitMs;
  }
  if (link.stopping()) return wakeup;
  WaitOutcome outcome =
      armed ? FinishCommWait(link, &link.state.eventMask) : WaitOutcome::PortFailed;
  if (port != kNoHandle && outcome == WaitOutcome::PortFailed) {
    DropFailedPort(link);
    return wakeup;
  }
  wakeup.reported = outcome == WaitOutcome::Reported;
  if (dsrDropped) {
    link.state.eventMask = kEvDsr;
    wakeup.reported = true;
  }
  link.os.ResetEvent(ov.event);
  return wakeup;
}

void Stop(Link& link) {
  LeavePhone(link, true);
  ForgetCalls(link);
  ForgetKeys(link);
  Handle port = link.state.port;
  if (port != kNoHandle) {
    link.os.SetCommMask(port, 0);
    FinishCommWait(link, &link.state.eventMask);
    link.os.PurgePort(port, kPurgeAll);
  }
  CloseLinkEvents(link);
}

}  // namespace

void DispatchLines(Link& link, bool waitForFirst) {
  // Lines a transaction read past come first: they were read first.
  while (!link.strays.empty() && !link.stopping()) {
    const std::string line = std::move(link.strays.front());
    link.strays.pop_front();
    if (RouteLine(link, line)) return;
  }
  bool wait = waitForFirst;
  while (!link.stopping()) {
    const std::string line = ReadLine(link, wait);
    wait = true;
    if (RouteLine(link, line)) return;
    if (link.rx.drained) return;
  }
}

void RequestPortChange(Link& link) {
  link.portChangePending = true;
  if (link.wakeEvent != kNoHandle) link.os.SetEvent(link.wakeEvent);
}

void RequestSetUpAgain(Link& link) {
  link.setUpPending = true;
  if (link.wakeEvent != kNoHandle) link.os.SetEvent(link.wakeEvent);
}

void MonitorDevice(Link& link) {
  OnInit(link, false);
  link.trace.WriteTrace(link.state.connected ? "MonitorDevice started with connection."
                                             : "MonitorDevice started without connection.",
                        kTraceInfo);
  CreateLinkEvents(link);
  WatchPort(link);

  // Lines left behind (by a menu choice, or by the set-up) are dispatched
  // without waiting for the phone's next character.
  bool linesLeft = LinesLeft(link);
  std::uint32_t lookedAt = link.os.NowMs();
  while (!link.stopping()) {
    Wakeup wakeup;
    if (!linesLeft) {
      wakeup = WaitForPortEvents(link);
      if (link.stopping()) break;
    }
    if (link.wakeEvent != kNoHandle) link.os.ResetEvent(link.wakeEvent);
    const bool portChanged = link.portChangePending.exchange(false);
    if (link.setUpPending.exchange(false) || portChanged) {
      // The phone is left as it was found: another port is another phone.
      LeavePhone(link, portChanged);
      if (portChanged) ForgetCalls(link);
      CloseLinkEvents(link);
      ClosePort(link.os, link.state);
    }
    if (link.state.port == kNoHandle) link.state.connected = false;

    const std::uint32_t events = wakeup.reported ? link.state.eventMask : 0;
    if (link.state.connected && (events & kEvDsr)) ReadDsr(link);
    if (link.state.connected) {
      // The long wait's end, or as long without a look while a held key
      // keeps the waits short.
      const bool lookDue =
          wakeup.timedOut || ElapsedMs(lookedAt, link.os.NowMs()) >= kLongestEventWaitMs;
      if (linesLeft || (events & kEvRxChar)) {
        // A report of bytes already read would have the reader wait for the
        // next line, and a held key wait with it.
        DispatchLines(link, !ClockRunning(link) && !WorkPending(link));
        lookedAt = link.os.NowMs();
      } else if (lookDue) {
        // Bytes that came while no wait was armed may have gone unannounced.
        DispatchLines(link, false);
        lookedAt = link.os.NowMs();
      }
    }
    // A held key repeats on the clock, whatever woke the thread.
    if (link.state.connected && link.keyEvents != nullptr)
      link.keyEvents->ClockReached(link.os.NowMs());
    for (ClockedWork* work : link.clocked)
      if (!link.stopping()) work->ClockReached(link.os.NowMs());
    // One step of the menus' work, with the phone's lines handled between.
    if (WorkPending(link)) link.handlers->DoWork();
    // A phone that went away is looked for again at once, so the status
    // says so without waiting for the next event.
    if (!link.state.connected && !link.stopping()) SetUpAfterDrop(link);
    linesLeft = LinesLeft(link);
  }
  Stop(link);
}

}  // namespace quillet
