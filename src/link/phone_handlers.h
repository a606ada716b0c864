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
};

// Used until menus exist, and whenever nobody listens.
class NoMenuHandlers : public MenuHandlers {
 public:
  void MenuActivated() override {}
  void ChooseEntry(int) override {}
  void HandleAnswer(const std::string&) override {}
};

// The phone's events that are not menus. Called on the monitor thread only.
class PhoneEventHandlers {
 public:
  virtual ~PhoneEventHandlers() = default;
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

  // Keys, for handlers that want them (the link's keyEvents); the others
  // never hear of them.
  // "+CKEV": a key went down or came up.
  virtual void KeyChanged(const KeyReport& /*key*/) {}
  // A held key acts again at a time of the platform clock: true, with the
  // time, while one is due; the monitor's wait ends by then.
  virtual bool NextDue(std::uint32_t* /*dueMs*/) const { return false; }
  // The clock has reached `nowMs`: act on what has come due.
  virtual void ClockReached(std::uint32_t /*nowMs*/) {}
  // The link went away: the screen the keys acted on went with it.
  virtual void KeysForgotten() {}
};

}  // namespace quillet
