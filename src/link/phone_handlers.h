#pragma once
// What the monitor thread calls when the phone's unsolicited codes arrive:
// the accessory menu's codes, and the phone's other events.

#include <cstdint>
#include <string>
#include <vector>

#include "link/call_status.h"
#include "link/key_report.h"

namespace quillet {

class MenuHandlers {
 public:
  virtual ~MenuHandlers() = default;
  // "*EAAI": the user opened the accessory menu; open the main menu and show it.
  virtual void MenuActivated() = 0;
  // "*EAMI": the user chose entry n of the page shown; 0 means back.
  virtual void ChooseEntry(int entry) = 0;
  // "*EAII": the answer of an input dialog, the line without its code.
  virtual void HandleAnswer(const std::string& answer) = 0;
  // Work done in steps between the phone's lines: while there is some, the
  // monitor does not wait, and does one step each time round.
  virtual bool WorkPending() const { return false; }
  virtual void DoWork() {}
  // The connection went away or is set up again: work for the phone it
  // served ends unseen.
  virtual void ConnectionEnded() {}
  // A dialog or the key screen is up: the user's answer is awaited.
  virtual bool AwaitingUser() const { return false; }
};

// Used until menus exist, and whenever nobody listens.
class NoMenuHandlers : public MenuHandlers {
 public:
  void MenuActivated() override {}
  void ChooseEntry(int) override {}
  void HandleAnswer(const std::string&) override {}
};

// The phone's calls, once it reports them. Called on the monitor thread only.
class CallEvents {
 public:
  virtual ~CallEvents() = default;
  // "*ECAV": a call changed its state. True asks the link to list the calls
  // going on ("+CLCC"); CallsListed follows.
  virtual bool CallChanged(const CallStatus& call) = 0;
  // The phone's answer to "+CLCC": every call it lists; null when it gave
  // none (refused, or no answer).
  virtual void CallsListed(const std::vector<CallStatus>* calls) = 0;
  // The phone went away, or the link is set up again: calls may change
  // unseen until the phone lists them.
  virtual void LinkInterrupted() = 0;
  // Quit or another port: nothing known about calls holds any more.
  virtual void CallsForgotten() = 0;
  // "RING" or "+CRING": a call rings, reported by any phone; it names no
  // call, so it counts none.
  virtual void Ringing() {}
};

// The phone going away and coming back, told only while the user wants the
// music paused for it. Called on the monitor thread only.
class AwayEvents {
 public:
  virtual ~AwayEvents() = default;
  // The phone stopped answering, or its port or DSR went.
  virtual void PhoneGone() = 0;
  // It answers again and is set up, `goneMs` after it went.
  virtual void PhoneBack(std::uint32_t goneMs) = 0;
  // The user no longer wants it: what the absence paused is the user's.
  virtual void AbsenceForgotten() = 0;
};

// Work the monitor thread does at a time of the platform clock. Monitor
// thread only.
class ClockedWork {
 public:
  virtual ~ClockedWork() = default;
  // True, with the time, while something is due; the monitor's wait ends by
  // then.
  virtual bool NextDue(std::uint32_t* dueMs) const = 0;
  // The clock has reached `nowMs`: act on what has come due.
  virtual void ClockReached(std::uint32_t nowMs) = 0;
};

// The phone's keys, while the user wants them: a held key acts again on the
// clock. Monitor thread only.
class KeyEvents : public ClockedWork {
 public:
  // "+CKEV": a key went down or came up.
  virtual void KeyChanged(const KeyReport& key) = 0;
  // The screen the keys act on is up, so the phone reports them.
  virtual bool ScreenUp() const = 0;
  // The link went away: the screen the keys acted on went with it.
  virtual void KeysForgotten() = 0;
};

}  // namespace quillet
