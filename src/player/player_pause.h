#pragma once
// One pause of the player, held for reasons: a call, the phone being away.
// The first reason pauses a playing player; the player is resumed once no
// reason is left, and only as Quillet left it: still paused, on the same
// entry. A player the user paused or stopped is left alone.

#include <cstdint>

#include "player/host_window.h"

namespace quillet {

enum class PauseReason : unsigned { kCall = 1, kAway = 2 };

class PlayerPause {
 public:
  explicit PlayerPause(HostWindow& host) : host_(host) {}

  // A reason begins, or begins afresh: the player is looked at again, and
  // the reason holds only while the pause is Quillet's.
  void Begin(PauseReason reason);
  // The reason ends; with none left, Quillet's pause is resumed. Without
  // `mayResume` it is left as it is, whatever else still holds it.
  void End(PauseReason reason, bool mayResume = true);
  // The reason is dropped; with none left, Quillet's pause is forgotten.
  void Forget(PauseReason reason);

  bool Holds(PauseReason reason) const { return (reasons_ & Bit(reason)) != 0; }
  // Quillet paused the player and `reason` still holds the pause.
  bool PausedFor(PauseReason reason) const { return pausedByUs_ && Holds(reason); }

 private:
  static unsigned Bit(PauseReason reason) { return static_cast<unsigned>(reason); }
  // The player in `state` is paused on the entry Quillet paused it at.
  bool PausedAsLeft(std::intptr_t state);

  HostWindow& host_;
  unsigned reasons_ = 0;
  bool pausedByUs_ = false;
  std::intptr_t pausedAt_ = 0;  // the playlist position it was paused at
};

}  // namespace quillet
