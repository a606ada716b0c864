#pragma once
// The plug-in's own menu records and their item arrays, with their contents
// as the module starts. One object holds them all, so their addresses stay put
// for as long as it lives; the player's state rewrites parts of them on every
// opening.

#include <cstddef>
#include <cstdint>
#include <limits>

#include "menus/label_limits.h"
#include "menus/menu_record.h"

namespace quillet {

// Menu ids of the built-in records and the settings their items change.
constexpr std::int32_t kMainMenuId = 10;
constexpr char kMainMenuTitle[] = "Winamp menu";
constexpr std::int32_t kPlaylistMenuId = 11;
constexpr std::int32_t kVideoMenuId = 14;
constexpr std::int32_t kNowPlayingMenuId = 15;
constexpr std::int32_t kVolumeId = 101;
constexpr std::int32_t kTrackId = 102;
constexpr std::int32_t kVideoShownId = 103;
// The remote-keys entry's id: no menu has it, the key screen answers it, so
// it stays clear of the ids the menu router may serve.
constexpr std::int32_t kRemoteKeysId = 18;
// The find-track entry's id: its text goes to the track search.
constexpr std::int32_t kFindTrackId = 104;
constexpr char kFindTrackTitle[] = "Find track";
// The play-mode entries' ids: the player's shuffle and repeat switches, and
// the rating of its current entry.
constexpr std::int32_t kShuffleId = 105;
constexpr std::int32_t kRepeatId = 106;
constexpr std::int32_t kRatingId = 107;
// The ratings offered: none, then one to five stars.
constexpr std::int32_t kRatingLabelCount = 6;
// The notices a rating may end in, each a menu of its own that goes back to
// the main menu: the player kept no rating, or there is no entry to rate.
constexpr std::int32_t kRatingNotKeptId = 19;
constexpr std::int32_t kNoTrackToRateId = 20;
constexpr char kRatingTitle[] = "Rating";
// The media library's entry opens its first page; its pages use the ids
// from here to kLastLibraryId.
constexpr std::int32_t kLibraryMenuId = 300;
constexpr std::int32_t kLastLibraryId = 399;
constexpr char kLibraryTitle[] = "Library";

// The decimal digits of n, 0 counting as one.
constexpr int DecimalDigits(std::int64_t n) {
  int digits = 1;
  for (; n >= 10; n /= 10) ++digits;
  return digits;
}

// Playlist pages: 13 ids a level from 50 on, each level's in this order.
constexpr std::int32_t kFirstPlaylistPageId = 50;
constexpr std::int32_t kIdsPerLevel = 13;
constexpr std::int32_t kUpOffset = 0;             // the page one level up
constexpr std::int32_t kPreviousBlockOffset = 1;  // "<<<"
constexpr std::int32_t kNextBlockOffset = 2;      // ">>>"
constexpr std::int32_t kFirstGroupOffset = 3;     // then the ten groups
// The deepest playlist a 32-bit length can count, whose last index is
// 2^31 - 2, and the last id its pages use.
constexpr int kMostPlaylistLevels = DecimalDigits(std::numeric_limits<std::int32_t>::max() - 1);
constexpr std::int32_t kLastPlaylistPageId =
    kFirstPlaylistPageId + kIdsPerLevel * kMostPlaylistLevels - 1;
// Ids up to here are always the playlist's pages. Those above, up to
// kLastPlaylistPageId, are served only while the pages shown belong to a
// playlist deep enough to use them (more than 1,000,000 entries); otherwise
// they are asked of the other plug-ins, as they always were.
constexpr std::int32_t kLastAlwaysPlaylistPageId = 128;

// The main menu's entries in the order they are shown. The optional ones are
// there only while the user wants them; every other entry keeps its own item
// whichever of them come and go.
enum class MainEntry : std::uint8_t {
  kPrevious,
  kNext,
  kPlay,
  kPause,
  kStop,
  kTrackInfo,
  kGoToTrack,
  kFindTrack,
  kLibrary,
  kPlaylist,
  kVolume,
  kShuffle,
  kRepeat,
  kRating,
  kVideoWindow,
  kRemoteKeys,
};
constexpr std::size_t kMainEntryCount = static_cast<std::size_t>(MainEntry::kRemoteKeys) + 1;
// The entries shown with no optional one wanted.
constexpr std::size_t kMainItemCount = 10;
constexpr std::size_t kVideoItemCount = 2;
constexpr std::size_t kPlaylistLevelItemCount = 12;
constexpr std::size_t kPlaylistTopItemCount = 10;

struct BuiltInMenus {
  BuiltInMenus();
  BuiltInMenus(const BuiltInMenus&) = delete;
  BuiltInMenus& operator=(const BuiltInMenus&) = delete;

  // Shows or hides an optional main-menu entry; the selection stays on the
  // entry it was on.
  void ShowMainEntry(MainEntry entry, bool shown);
  bool Shows(MainEntry entry) const { return shown_[Index(entry)]; }
  // Shown only while the user wants it.
  bool Optional(MainEntry entry) const { return optional_[Index(entry)]; }
  // The entry's item while the main menu shows it, else null.
  MenuItem* MainItem(MainEntry entry);
  // `item` is the main menu's own item for `entry`, not one that looks alike.
  bool IsMainItem(const MenuItem& item, MainEntry entry) const;

  // The shown entries, in order: the main menu's items.
  MenuItem mainItems[kMainEntryCount];
  char findText[kLongestFindText + 1];
  MenuItem videoItems[kVideoItemCount];
  MenuItem playlistLevelItems[kPlaylistLevelItemCount];
  MenuItem playlistTopItems[kPlaylistTopItemCount];
  char nowPlayingText[kNowPlayingCapacity];
  char emptyPlaylistText[20];
  char ratingLabels[56];
  char ratingNotKeptText[32];
  char noTrackToRateText[20];

  Menu mainMenu;
  Menu nowPlayingMenu;
  Menu videoMenu;
  Menu playlistLevelMenu;
  Menu playlistTopMenu;
  Menu emptyPlaylistMenu;
  Menu ratingNotKeptMenu;
  Menu noTrackToRateMenu;

 private:
  static constexpr std::size_t Index(MainEntry entry) { return static_cast<std::size_t>(entry); }
  // Lays the shown entries out in order, each from its own item.
  void LayOutMain();

  // Every entry's item, shown or not: what it holds stays its own.
  MenuItem entryItems_[kMainEntryCount];
  bool shown_[kMainEntryCount];
  bool optional_[kMainEntryCount];
  // The entry at each of the main menu's items.
  MainEntry shownEntries_[kMainEntryCount];
};

}  // namespace quillet
