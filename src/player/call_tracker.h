#pragma once
// Calls pause the music: while a voice call rings, is dialled or is talked
// on, the player's pause holds for the reason "call", and once every call
// has ended the reason goes (the pause resumes what it paused when no other
// reason is left).
// What Quillet paused outlives a blink of the link: the phone, set up again,
// lists the calls going on, and their end resumes the music.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "link/phone_handlers.h"
#include "player/player_pause.h"

namespace quillet {

class CallTracker : public CallEvents {
 public:
  explicit CallTracker(PlayerPause& pause) : pause_(pause) {}

  bool CallChanged(const CallStatus& call) override;
  void CallsListed(const std::vector<CallStatus>* calls) override;
  void LinkInterrupted() override;
  void CallsForgotten() override;
  void Ringing() override;

  // Calls pause the music (PauseOnCall); off, they are only counted. Turned
  // off, the calls and Quillet's pause are forgotten: the music is then the
  // user's, and turning it on again resumes nothing from before.
  void SetPausing(bool on);
  // Told of every report that a call starts or goes on.
  void OnCallGoingOn(std::function<void()> hook) { callGoingOn_ = std::move(hook); }

  // For tests: a voice call is going on.
  bool InCall() const { return Counted() != 0; }

 private:
  int Counted(int except = 0) const;
  // The first call of a run: the player is looked at.
  void StartRun();
  void AllCallsEnded();
  // No call counted.
  void Reset();

  PlayerPause& pause_;
  bool pausing_ = true;
  std::function<void()> callGoingOn_;
  // The stage of each ccid's voice call; Idle where none is counted.
  std::array<CallState, kLastCallId + 1> calls_{};
  bool looked_ = false;  // the player was looked at for these calls
  // Calls may have changed unheard (no link yet, or it was away) until the
  // phone lists them.
  bool unsure_ = true;
  int starting_ = 0;        // the call that started when the list was asked for
  bool restarted_ = false;  // ... on an id already at that start
};

}  // namespace quillet
