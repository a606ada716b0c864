#pragma once
// Calls pause the music: while a voice call rings, is dialled or is talked
// on, a playing player is paused, and once every call has ended the player
// is resumed if Quillet paused it and the user has not touched it since.

#include <cstdint>

#include "link/phone_handlers.h"
#include "player/host_window.h"

namespace quillet {

class CallTracker : public PhoneEventHandlers {
 public:
  explicit CallTracker(HostWindow& host) : host_(host) {}

  void CallChanged(const CallStatus& call) override;
  void CallsForgotten() override;

  // For tests: a voice call is going on.
  bool InCall() const { return calls_ != 0; }

 private:
  void AllCallsEnded();

  HostWindow& host_;
  std::uint32_t calls_ = 0;     // one bit per ccid with a voice call not idle
  bool looked_ = false;         // the player was looked at for these calls
  bool pausedByUs_ = false;     // ... and Quillet paused it
  std::intptr_t pausedAt_ = 0;  // the playlist position it was paused at
};

}  // namespace quillet
