#pragma once
// The main menu on the phone follows the player: when the player says it
// changed (through the watch on its window), the main menu's entries are
// read afresh and, when one reads differently, the page goes to the phone
// again, while the phone is known to show it. Monitor thread only, between
// the phone's lines, so never under a transaction.

#include <atomic>
#include <cstdint>

#include "link/link.h"
#include "link/phone_handlers.h"
#include "menus/menu_protocol.h"
#include "player/call_tracker.h"
#include "player/player_watch.h"

namespace quillet {

// The playlist tells of each entry added or removed: it is looked at once
// it has been quiet this long.
constexpr std::uint32_t kPlaylistQuietMs = 400;
// The page is sent again at most once in this time; the last state wins.
constexpr std::uint32_t kLeastResendGapMs = 1000;
// An older phone says nothing when its user leaves with the red key: after
// this long without a code the menu is taken to be gone.
constexpr std::uint32_t kOlderMenuSilenceMs = 60000;

class TrackFollower : public ClockedWork {
 public:
  TrackFollower(Link& link, PlayerWatch& watch, MenuProtocol& protocol, const Menu& mainMenu,
                const CallTracker& calls)
      : link_(link), watch_(watch), protocol_(protocol), mainMenu_(mainMenu), calls_(calls) {}

  // Any thread: whether the user wants it (FollowTrack). Off, the changes
  // seen are dropped and nothing is sent.
  void Enable(bool on) { enabled_ = on; }

  bool NextDue(std::uint32_t* dueMs) const override;
  void ClockReached(std::uint32_t nowMs) override;

 private:
  // Only for a while: a dialog or the key screen, a call, a menu filling.
  bool Held() const;
  // Quillet's own main menu is on the phone's screen, as far as it can tell.
  bool MainMenuUp(std::uint32_t nowMs) const;

  Link& link_;
  PlayerWatch& watch_;
  MenuProtocol& protocol_;
  const Menu& mainMenu_;
  const CallTracker& calls_;
  std::atomic<bool> enabled_{false};
  // A change waits to be looked at, seen at pendingSinceMs_.
  bool pending_ = false;
  std::uint32_t pendingSinceMs_ = 0;
  // The playlist changed; it is looked at once quiet until then.
  bool playlistPending_ = false;
  std::uint32_t playlistQuietAtMs_ = 0;
  bool resent_ = false;
  std::uint32_t resentAtMs_ = 0;
  // The phone's last code about the menus, as the protocol counts them.
  std::uint32_t codesHeard_ = 0;
  std::uint32_t lastCodeMs_ = 0;
};

}  // namespace quillet
