#pragma once
// Everything the phone link works on, in one object: the link state, the
// receive buffer, the trace and status outputs, and the ways the host's
// thread reaches the monitor thread.

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/menu_set.h"
#include "link/phone_charset.h"
#include "link/phone_handlers.h"
#include "link/phone_link.h"
#include "link/port_name.h"
#include "link/receive_buffer.h"
#include "link/status_line.h"
#include "link/trace_log.h"
#include "platform/platform.h"

namespace quillet {

struct Link {
  explicit Link(Platform& platform) : os(platform), trace(platform), status(platform) {}
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  Platform& os;
  PhoneLink state;
  ReceiveBuffer rx;
  TraceLog trace;
  StatusLine status;

  // A consistent copy of the settings' portName (see ReadPortName).
  std::function<std::string()> portName = [] { return std::string(kPortDisabled); };
  // Guards the settings' portName and the status line's dialog.
  Lock* dialogLock = nullptr;
  void SetDialogLock(Lock* lock) {
    dialogLock = lock;
    status.SetLock(lock);
  }
  // Runs on the monitor thread at the start of every set-up, so settings
  // applied meanwhile reach what the link asks of the phone.
  std::function<void()> beforeSetUp;
  // Runs at the end of every set-up, once the phone's command set is known.
  std::function<void()> afterSetUp;
  MenuHandlers* handlers = nullptr;
  // The command set the set-up registered the menu on. Monitor thread only.
  MenuRegistration menus;
  // Told of the newer set's codes on a connection that registered there.
  NewerMenuLines* newerMenus = nullptr;
  // The phone's calls. Set only when a feature needs them (calls pause the
  // music, or a call must close the key screen): each set-up then asks the
  // phone to report them ("*ECAM=1"); null leaves the link as it always was.
  CallEvents* callEvents = nullptr;
  // The phone's keys: set only when the user wants them (RemoteKeys), and
  // then told of every "+CKEV" line; null leaves those lines ignored.
  KeyEvents* keyEvents = nullptr;
  // Told when the phone goes away and comes back: set only when the user
  // wants the music paused for it (PauseWhenAway), which also has the phone
  // checked while it is silent; null leaves the link as it always was.
  AwayEvents* awayEvents = nullptr;
  // The phone was declared gone, at awaySinceMs, and has not been set up
  // since. Monitor thread only.
  bool phoneAway = false;
  std::uint32_t awaySinceMs = 0;
  // When the last complete line came from the phone. Monitor thread only.
  std::uint32_t lastLineMs = 0;
  // Other work on the clock, asked after the keys each time round, whether
  // or not a phone is there. Set before the monitor thread starts.
  std::vector<ClockedWork*> clocked;
  // The phone accepted to report calls on this connection. Monitor thread only.
  bool callsReported = false;
  // Lines a transaction read past while waiting for its answer, oldest
  // first, for dispatch. Monitor thread only.
  std::deque<std::string> strays;
  // Key reports that came with no key screen up were turned off on this
  // connection. Monitor thread only.
  bool strayKeysSilenced = false;
  // The Charset setting: kOff leaves the set-up as it always was; otherwise
  // its last step agrees a character set with the phone.
  CharsetWish charsetWish = CharsetWish::kOff;
  // The set the phone accepted on this connection. Monitor thread only.
  PhoneCharset charset = PhoneCharset::kNone;
  // The phone's own set ("+CSCS?" before Quillet first selected one on this
  // port; empty when it could not be read), and whether Quillet's choice is
  // still selected, so the phone gets its own back. Kept across blinks.
  std::string ownCharset;
  bool charsetSelected = false;

  // Set by quit and by a port change to wake the monitor thread at once.
  Handle wakeEvent = kNoHandle;
  // A new port name was applied: the monitor thread closes the port itself,
  // so no handle is ever closed under an operation in flight.
  std::atomic<bool> portChangePending{false};
  // Other settings of the set-up were applied: the same, on the same port.
  std::atomic<bool> setUpPending{false};

  bool stopping() const { return state.stopRequested.load(); }
};

}  // namespace quillet
