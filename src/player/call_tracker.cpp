#include "player/call_tracker.h"

#include "platform/host_messages.h"

namespace quillet {
namespace {

bool IsVoice(int type) {
  return type == kVoiceCall || type == kVoiceCallLine2;
}

// The states in which a call wants the music off. Hold and busy come only
// after one of them, so they keep the calls going without asking again.
bool WantsSilence(CallState state) {
  switch (state) {
    case CallState::Calling:
    case CallState::Connecting:
    case CallState::Active:
    case CallState::Waiting:
    case CallState::Alerting:
      return true;
    default:
      return false;
  }
}

}  // namespace

void CallTracker::CallChanged(const CallStatus& call) {
  const std::uint32_t bit = 1u << call.id;
  if (call.state == CallState::Idle) {
    const bool wasGoing = calls_ != 0;
    calls_ &= ~bit;
    if (wasGoing && calls_ == 0) AllCallsEnded();
    return;
  }
  // Data and fax calls leave the music alone.
  if (!IsVoice(call.type)) return;
  calls_ |= bit;
  // The player is looked at once for a run of calls: a second call, or the
  // next state of the same one, must not undo what the user did meanwhile.
  if (looked_ || !WantsSilence(call.state)) return;
  looked_ = true;
  if (host_.Request(0, host::kPlayState) != kPlaying) return;
  pausedAt_ = host_.Request(0, host::kPlaylistPosition);
  host_.Command(host::kCommandPause);
  pausedByUs_ = true;
}

void CallTracker::AllCallsEnded() {
  // Resumed only as Quillet left it: still paused, on the same entry.
  // Stopped, playing again or on another track, it is the user's.
  if (pausedByUs_ && host_.Request(0, host::kPlayState) == kPaused &&
      host_.Request(0, host::kPlaylistPosition) == pausedAt_)
    host_.Command(host::kCommandPause);
  CallsForgotten();
}

void CallTracker::CallsForgotten() {
  calls_ = 0;
  looked_ = false;
  pausedByUs_ = false;
  pausedAt_ = 0;
}

}  // namespace quillet
