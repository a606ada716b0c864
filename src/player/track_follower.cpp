#include "player/track_follower.h"

namespace quillet {
namespace {

// The earlier of two times on the wrapping tick, seen from `from`.
std::uint32_t Earlier(std::uint32_t a, std::uint32_t b, std::uint32_t from) {
  return ElapsedMs(from, a) <= ElapsedMs(from, b) ? a : b;
}

}  // namespace

bool TrackFollower::Held() const {
  return protocol_.AwaitingUser() || calls_.InCall() || protocol_.WorkPending();
}

bool TrackFollower::MainMenuUp(std::uint32_t nowMs) const {
  // Whether a list is up at all the protocol knows: it sends again only then.
  if (!link_.state.connected || protocol_.shownRecord() != &mainMenu_) return false;
  // A newer phone answers when its user leaves the list; an older one may
  // say nothing.
  if (link_.menus.set == MenuCommandSet::kNewer) return true;
  return !protocol_.leftByPhone() && ElapsedMs(lastCodeMs_, nowMs) < kOlderMenuSilenceMs;
}

bool TrackFollower::NextDue(std::uint32_t* dueMs) const {
  if (!enabled_) return false;
  const bool look = pending_ && !Held();
  if (!look && !playlistPending_) return false;
  std::uint32_t at = 0;
  if (look) {
    at = pendingSinceMs_;
    const std::uint32_t allowed = resentAtMs_ + kLeastResendGapMs;
    if (resent_ && MsUntil(allowed, at) > 0) at = allowed;
  }
  if (playlistPending_)
    at = look ? Earlier(at, playlistQuietAtMs_, pendingSinceMs_) : playlistQuietAtMs_;
  *dueMs = at;
  return true;
}

void TrackFollower::ClockReached(std::uint32_t nowMs) {
  if (protocol_.codesHeard() != codesHeard_) {
    codesHeard_ = protocol_.codesHeard();
    lastCodeMs_ = nowMs;
  }
  // Taken whether wanted or not, so a change from before the box was ticked
  // is not acted on after.
  const std::uint32_t seen = watch_.Take();
  if (!enabled_) {
    pending_ = false;
    playlistPending_ = false;
    return;
  }
  if ((seen & PlayerWatch::kPlayer) != 0 && !pending_) {
    pending_ = true;
    pendingSinceMs_ = nowMs;
  }
  if ((seen & PlayerWatch::kPlaylist) != 0) {
    playlistPending_ = true;
    playlistQuietAtMs_ = nowMs + kPlaylistQuietMs;
  }
  if (playlistPending_ && MsUntil(playlistQuietAtMs_, nowMs) <= 0) {
    playlistPending_ = false;
    if (!pending_) {
      pending_ = true;
      pendingSinceMs_ = nowMs;
    }
  }
  if (!pending_ || Held()) return;
  if (resent_ && MsUntil(resentAtMs_ + kLeastResendGapMs, nowMs) > 0) return;
  pending_ = false;
  // Not on the phone's screen: its next opening reads the player afresh.
  if (!MainMenuUp(nowMs)) return;
  if (protocol_.RefreshList() != MenuProtocol::Refresh::kSent) return;
  resent_ = true;
  resentAtMs_ = nowMs;
  link_.trace.WriteTrace("main menu sent again: the player changed", kTraceInfo);
}

}  // namespace quillet
