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

}  // namespace

BuiltInMenus::BuiltInMenus() : findText{}, nowPlayingText{}, emptyPlaylistText{} {
  using namespace host;
  const MenuItem main[kMainItemCount] = {
      Item("Previous", kCommand, kCommandPrevious, kAfterReopen),
      Item("Next", kCommand, kCommandNext, kAfterReopen),
      Item("Play", kCommand, kCommandPlay, kAfterReopen),
      Item("Pause", kCommand, kCommandPause, kAfterShowAgain),
      Item("Stop", kCommand, kCommandStop, kAfterReopen),
      Item("Track info", kSubmenu, kNowPlayingMenuId),
      Item("Go to track", kNumber, kTrackId),
      Item("Playlist", kSubmenu, kPlaylistMenuId),
      Item("Volume", kLevel, kVolumeId),
      Item("Video window", kSubmenu, kVideoMenuId),
  };
  // Without the find-track entry: the first slot stays free.
  std::memcpy(mainItems + 1, main, sizeof main);
  mainItems[kRemoteKeysItem] = Item(kKeyScreenTitle, kSubmenu, kRemoteKeysId);
  SetFieldText(mainItems[1 + 6].prompt, "Track number");
  mainItems[1 + 8].minimum = 0;
  mainItems[1 + 8].maximum = 255;

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

  mainMenu = MakeMenu(kMainMenuId, 0, kMainMenuTitle, mainItems + 1, kMainItemCount);
  nowPlayingMenu =
      MakeMenu(kNowPlayingMenuId, kMainMenuId, "Now playing", nullptr, 0, nowPlayingText);
  videoMenu = MakeMenu(kVideoMenuId, kMainMenuId, "Video options", videoItems, kVideoItemCount);
  playlistLevelMenu =
      MakeMenu(kPlaylistMenuId, kPlaylistParentId, "Playlist", playlistLevelItems, 1);
  playlistTopMenu = MakeMenu(kPlaylistMenuId, kMainMenuId, "Playlist", playlistTopItems, 1);
  emptyPlaylistMenu =
      MakeMenu(kNowPlayingMenuId, kMainMenuId, "Playlist", nullptr, 0, emptyPlaylistText);
}

void BuiltInMenus::ShowRemoteKeys(bool shown) {
  const std::size_t first = findTrackShown() ? 0 : 1;
  mainMenu.count = static_cast<std::int32_t>(kRemoteKeysItem - first + (shown ? 1 : 0));
}

void BuiltInMenus::ShowFindTrack(bool shown) {
  if (shown == findTrackShown()) return;
  const bool remoteKeys =
      mainMenu.count == static_cast<std::int32_t>(kRemoteKeysItem + 1 - (findTrackShown() ? 0 : 1));
  // The entries before the find-track entry move one slot; those after it
  // stay where they are, one index further on or back.
  const std::int32_t selection = mainMenu.selection;
  if (shown) {
    std::memmove(mainItems, mainItems + 1, kFindTrackItem * sizeof(MenuItem));
    mainItems[kFindTrackItem] = Item(kFindTrackTitle, kText, kFindTrackId);
    SetFieldText(mainItems[kFindTrackItem].prompt, "Title contains");
    mainItems[kFindTrackItem].labels = findText;
    mainItems[kFindTrackItem].maximum = kLongestFindText;
    mainMenu.items = mainItems;
    if (selection >= static_cast<std::int32_t>(kFindTrackItem)) mainMenu.selection = selection + 1;
  } else {
    std::memmove(mainItems + 1, mainItems, kFindTrackItem * sizeof(MenuItem));
    mainMenu.items = mainItems + 1;
    if (selection > static_cast<std::int32_t>(kFindTrackItem)) mainMenu.selection = selection - 1;
  }
  ShowRemoteKeys(remoteKeys);
}

}  // namespace quillet
