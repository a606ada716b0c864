#pragma once
// The built-in menus that show the player's state, refreshed from the player
// on every opening, and the values the user sets that act on the player.

#include <atomic>
#include <cstdint>
#include <string>

#include "menus/built_in_menus.h"
#include "menus/menu_texts.h"
#include "player/host_window.h"
#include "player/playlist_pages.h"

namespace quillet {

// What ApplyValue did with a value.
enum class ValueOutcome {
  kApplied,        // the player acted on it
  kAppliedReopen,  // the player acted on it; the current menu must follow
  kOpens,          // the menu ApplyValue names follows: a notice of what came of it
  kNotPlayers,     // no player setting has this id
};

class PlayerMenus {
 public:
  // With `texts` (a Charset is set) titles are read in Unicode and kept
  // there in full.
  PlayerMenus(BuiltInMenus& menus, HostWindow& host, MenuTexts* texts = nullptr)
      : menus_(menus), host_(host), texts_(texts), playlist_(menus, host, texts) {}
  void UseTexts(MenuTexts* texts) {
    texts_ = texts;
    playlist_.UseTexts(texts);
  }

  PlaylistPages& playlist() { return playlist_; }
  // Any thread: the next opening of the main menu shows an optional entry
  // (find track, remote keys), or no longer does.
  void Want(MainEntry entry, bool shown) {
    const std::uint32_t bit = 1u << static_cast<unsigned>(entry);
    if (shown)
      wanted_.fetch_or(bit);
    else
      wanted_.fetch_and(~bit);
  }
  bool Wants(MainEntry entry) const {
    return (wanted_.load() & (1u << static_cast<unsigned>(entry))) != 0;
  }
  // Shuffle, repeat and the rating come and go together.
  void WantPlayModes(bool shown) {
    Want(MainEntry::kShuffle, shown);
    Want(MainEntry::kRepeat, shown);
    Want(MainEntry::kRating, shown);
  }

  // The built-in record for a menu id, refreshed; null for other ids.
  Menu* BuiltInMenu(std::int32_t id);
  // With kOpens, `*opens` gets the id of the menu that follows.
  ValueOutcome ApplyValue(std::int32_t id, std::int32_t value, std::int32_t* opens);

 private:
  Menu* MainMenu();
  // The optional entries as wanted; the texts held for each item go with it.
  void LayOutMainMenu();
  Menu* VideoMenu();
  Menu* NowPlayingMenu();
  // "Prev: <title>" or "Next: <title>" for an entry, cut to fit a name;
  // `plainName` when the player has no title for it.
  void SetNeighbourLabel(MenuItem* item, const char* format, const char* plainName,
                         std::int32_t position);
  // The play-mode entries' values, from the player, where they are shown.
  void ReadPlayModes(std::int32_t position, std::int32_t length);
  // A switch of the player's turned on or off, if its entry is shown.
  ValueOutcome SetSwitch(MainEntry entry, std::intptr_t request, std::int32_t value);
  ValueOutcome Rate(std::int32_t rating, std::int32_t* opens);
  // The playlist position names an entry: the one the player rates.
  bool HasCurrentEntry(std::int32_t position, std::int32_t length) const {
    return position >= 0 && position < length;
  }
  void GoToTrack(std::int32_t track);
  void ShowVideoWindow(bool wanted);

  BuiltInMenus& menus_;
  HostWindow& host_;
  MenuTexts* texts_;
  PlaylistPages playlist_;
  // The optional main-menu entries wanted, a bit each.
  std::atomic<std::uint32_t> wanted_{0};
};

}  // namespace quillet
