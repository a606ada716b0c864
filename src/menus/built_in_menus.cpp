#include "menus/built_in_menus.h"

#include <cstring>

#include "menus/key_screen.h"
#include "menus/menu_items.h"
#include "platform/host_messages.h"

namespace quillet {
namespace {

MenuItem Item(const char* name, std::int32_t kind, std::int32_t id, std::int32_t value = 0) {
  MenuItem item{};
  SetFieldText(item.name, name);
  item.kind = kind;
  item.id = id;
  item.value = value;
  return item;
}

Menu MakeMenu(std::int32_t id, std::int32_t parent, const char* title, MenuItem* items,
              std::size_t count, char* text = nullptr) {
  Menu menu{};
  menu.items = items;
  menu.count = static_cast<std::int32_t>(count);
  menu.id = id;
  menu.parent = parent;
  SetFieldText(menu.title, title);
  menu.text = text;
  return menu;
}

// Playlist entries are templates: the page being opened fills them in.
// The level-0 page's ids: up, "<<<", ">>>", then the entries.
constexpr std::int32_t kPlaylistParentId = kFirstPlaylistPageId + kUpOffset;
constexpr std::int32_t kPreviousPageId = kFirstPlaylistPageId + kPreviousBlockOffset;
constexpr std::int32_t kNextPageId = kFirstPlaylistPageId + kNextBlockOffset;
constexpr std::int32_t kFirstEntryId = kFirstPlaylistPageId + kFirstGroupOffset;
constexpr char kEntryTemplate[] = "xx. item";

// A Choice item's labels, each ended by its NUL, then the empty one.
constexpr char kRatingLabels[] =
    "No rating\0"
    "1 star\0"
    "2 stars\0"
    "3 stars\0"
    "4 stars\0"
    "5 stars\0";

}  // namespace

BuiltInMenus::BuiltInMenus()
    : mainItems{},
      findText{},
      nowPlayingText{},
      emptyPlaylistText{},
      ratingLabels{},
      ratingNotKeptText{},
      noTrackToRateText{},
      entryItems_{},
      shown_{},
      optional_{},
      shownEntries_{} {
  using namespace host;
  // The one list of the main menu's entries, in the order shown.
  const struct {
    MainEntry entry;
    MenuItem item;
    bool optional;
  } main[] = {
      {MainEntry::kPrevious, Item("Previous", kCommand, kCommandPrevious, kAfterReopen), false},
      {MainEntry::kNext, Item("Next", kCommand, kCommandNext, kAfterReopen), false},
      {MainEntry::kPlay, Item("Play", kCommand, kCommandPlay, kAfterReopen), false},
      {MainEntry::kPause, Item("Pause", kCommand, kCommandPause, kAfterShowAgain), false},
      {MainEntry::kStop, Item("Stop", kCommand, kCommandStop, kAfterReopen), false},
      {MainEntry::kTrackInfo, Item("Track info", kSubmenu, kNowPlayingMenuId), false},
      {MainEntry::kGoToTrack, Item("Go to track", kNumber, kTrackId), false},
      {MainEntry::kFindTrack, Item(kFindTrackTitle, kText, kFindTrackId), true},
      {MainEntry::kLibrary, Item(kLibraryTitle, kSubmenu, kLibraryMenuId), true},
      {MainEntry::kPlaylist, Item("Playlist", kSubmenu, kPlaylistMenuId), false},
      {MainEntry::kVolume, Item("Volume", kLevel, kVolumeId), false},
      {MainEntry::kShuffle, Item("Shuffle", kSwitch, kShuffleId), true},
      {MainEntry::kRepeat, Item("Repeat", kSwitch, kRepeatId), true},
      {MainEntry::kRating, Item(kRatingTitle, kChoice, kRatingId), true},
      {MainEntry::kVideoWindow, Item("Video window", kSubmenu, kVideoMenuId), false},
      {MainEntry::kRemoteKeys, Item(kKeyScreenTitle, kSubmenu, kRemoteKeysId), true},
  };
  static_assert(sizeof main / sizeof main[0] == kMainEntryCount, "every entry listed once");
  for (const auto& row : main) {
    entryItems_[Index(row.entry)] = row.item;
    shown_[Index(row.entry)] = !row.optional;
    optional_[Index(row.entry)] = row.optional;
  }
  SetFieldText(entryItems_[Index(MainEntry::kGoToTrack)].prompt, "Track number");
  MenuItem& find = entryItems_[Index(MainEntry::kFindTrack)];
  SetFieldText(find.prompt, "Title contains");
  find.labels = findText;
  find.maximum = kLongestFindText;
  entryItems_[Index(MainEntry::kVolume)].minimum = 0;
  entryItems_[Index(MainEntry::kVolume)].maximum = 255;
  static_assert(sizeof kRatingLabels <= sizeof ratingLabels, "the labels fit");
  std::memcpy(ratingLabels, kRatingLabels, sizeof kRatingLabels);
  MenuItem& rating = entryItems_[Index(MainEntry::kRating)];
  rating.labels = ratingLabels;
  rating.maximum = kRatingLabelCount;

  videoItems[0] = Item("Shown", kSwitch, kVideoShownId);
  videoItems[1] = Item("Fullscreen", kCommand, kCommandFullscreen, kAfterShowAgain);

  playlistLevelItems[0] = Item("<<<", kSubmenu, kPreviousPageId);
  for (std::size_t i = 0; i < kPlaylistTopItemCount; ++i) {
    const std::int32_t id = kFirstEntryId + static_cast<std::int32_t>(i);
    playlistLevelItems[i + 1] = Item(kEntryTemplate, kCommand, id);
    playlistTopItems[i] = Item(kEntryTemplate, kCommand, id);
  }
  playlistLevelItems[kPlaylistLevelItemCount - 1] = Item(">>>", kSubmenu, kNextPageId);

  std::strcpy(emptyPlaylistText, "No item to display.");
  std::strcpy(ratingNotKeptText, "This player keeps no ratings.");
  std::strcpy(noTrackToRateText, "No track to rate.");

  mainMenu = MakeMenu(kMainMenuId, 0, kMainMenuTitle, mainItems, 0);
  LayOutMain();
  nowPlayingMenu =
      MakeMenu(kNowPlayingMenuId, kMainMenuId, "Now playing", nullptr, 0, nowPlayingText);
  videoMenu = MakeMenu(kVideoMenuId, kMainMenuId, "Video options", videoItems, kVideoItemCount);
  playlistLevelMenu =
      MakeMenu(kPlaylistMenuId, kPlaylistParentId, "Playlist", playlistLevelItems, 1);
  playlistTopMenu = MakeMenu(kPlaylistMenuId, kMainMenuId, "Playlist", playlistTopItems, 1);
  emptyPlaylistMenu =
      MakeMenu(kNowPlayingMenuId, kMainMenuId, "Playlist", nullptr, 0, emptyPlaylistText);
  ratingNotKeptMenu =
      MakeMenu(kRatingNotKeptId, kMainMenuId, kRatingTitle, nullptr, 0, ratingNotKeptText);
  noTrackToRateMenu =
      MakeMenu(kNoTrackToRateId, kMainMenuId, kRatingTitle, nullptr, 0, noTrackToRateText);
}

void BuiltInMenus::ShowMainEntry(MainEntry entry, bool shown) {
  if (shown_[Index(entry)] == shown) return;
  const std::int32_t count = mainMenu.count;
  const std::int32_t selection = mainMenu.selection;
  const bool selected = selection >= 0 && selection < count;
  const MainEntry selectedEntry = selected ? shownEntries_[selection] : MainEntry::kPrevious;
  // What the shown items hold now (the player's state, labels) stays theirs.
  for (std::int32_t i = 0; i < count; ++i) entryItems_[Index(shownEntries_[i])] = mainItems[i];
  shown_[Index(entry)] = shown;
  LayOutMain();
  if (!selected) return;
  // An entry that went away leaves the selection on the one after it.
  mainMenu.selection = 0;
  for (std::int32_t i = 0; i < mainMenu.count; ++i) {
    if (shownEntries_[i] >= selectedEntry) {
      mainMenu.selection = i;
      break;
    }
  }
}

void BuiltInMenus::LayOutMain() {
  std::int32_t count = 0;
  for (std::size_t i = 0; i < kMainEntryCount; ++i) {
    if (!shown_[i]) continue;
    mainItems[count] = entryItems_[i];
    shownEntries_[count] = static_cast<MainEntry>(i);
    ++count;
  }
  mainMenu.count = count;
}

MenuItem* BuiltInMenus::MainItem(MainEntry entry) {
  for (std::int32_t i = 0; i < mainMenu.count; ++i)
    if (shownEntries_[i] == entry) return &mainItems[i];
  return nullptr;
}

bool BuiltInMenus::IsMainItem(const MenuItem& item, MainEntry entry) const {
  const std::ptrdiff_t at = &item - mainItems;
  // Only an address inside the array says which slot it is.
  if (&item < mainItems || &item >= mainItems + mainMenu.count) return false;
  return shownEntries_[at] == entry;
}

}  // namespace quillet
