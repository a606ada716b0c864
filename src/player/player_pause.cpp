#include "player/player_pause.h"

#include "platform/host_messages.h"

namespace quillet {

void PlayerPause::Begin(PauseReason reason) {
  const std::intptr_t state = host_.Request(0, host::kPlayState);
  if (state == kPlaying) {
    pausedAt_ = host_.Request(0, host::kPlaylistPosition);
    host_.Command(host::kCommandPause);
    pausedByUs_ = true;
  } else {
    // A pause of Quillet's still in place stays Quillet's, so the end of the
    // last reason resumes it once.
    pausedByUs_ = pausedByUs_ && PausedAsLeft(state);
  }
  // The user's own pause or stop holds for no reason of Quillet's.
  reasons_ = pausedByUs_ ? reasons_ | Bit(reason) : 0;
}

void PlayerPause::End(PauseReason reason, bool mayResume) {
  reasons_ &= ~Bit(reason);
  if (!mayResume) pausedByUs_ = false;
  if (reasons_ != 0) return;
  // Resumed only as Quillet left it: stopped, playing again or on another
  // track, it is the user's.
  if (pausedByUs_ && PausedAsLeft(host_.Request(0, host::kPlayState)))
    host_.Command(host::kCommandPause);
  pausedByUs_ = false;
  pausedAt_ = 0;
}

void PlayerPause::Forget(PauseReason reason) {
  reasons_ &= ~Bit(reason);
  if (reasons_ != 0) return;
  pausedByUs_ = false;
  pausedAt_ = 0;
}

bool PlayerPause::PausedAsLeft(std::intptr_t state) {
  return state == kPaused && host_.Request(0, host::kPlaylistPosition) == pausedAt_;
}

}  // namespace quillet
