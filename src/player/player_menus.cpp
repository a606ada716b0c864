#include "player/player_menus.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "menus/menu_items.h"
#include "menus/wrap32.h"
#include "platform/host_messages.h"

namespace quillet {
namespace {

std::int32_t Int32(std::intptr_t result) {
  return static_cast<std::int32_t>(result);
}

const char* StatePrefix(std::int32_t state) {
  switch (state) {
    case kStopped:
      return "Stopped, ";
    case kPlaying:
      return "Playing ";
    case kPaused:
      return "Paused, ";
    default:
      // A state the player does not document: claim none.
      return "";
  }
}

}  // namespace

Menu* PlayerMenus::BuiltInMenu(std::int32_t id) {
  switch (id) {
    case kMainMenuId:
      return MainMenu();
    case kVideoMenuId:
      return VideoMenu();
    case kNowPlayingMenuId:
      return NowPlayingMenu();
    case kRatingNotKeptId:
      return &menus_.ratingNotKeptMenu;
    case kNoTrackToRateId:
      return &menus_.noTrackToRateMenu;
    case kPlaylistMenuId:
      return playlist_.Page(id);
    default:
      if (playlist_.Serves(id)) return playlist_.Page(id);
      return nullptr;
  }
}

Menu* PlayerMenus::MainMenu() {
  Menu& menu = menus_.mainMenu;
  LayOutMainMenu();
  if (MenuItem* volume = FindItem(menu, kVolumeId))
    volume->value = Int32(host_.Request(host::kQueryVolume, host::kVolume));
  const std::int32_t position = Int32(host_.Request(0, host::kPlaylistPosition));
  const std::int32_t length = Int32(host_.Request(0, host::kPlaylistLength));
  if (MenuItem* previous = FindItem(menu, host::kCommandPrevious))
    SetNeighbourLabel(previous, "Prev: %.*s", "Previous",
                      position <= 0 ? WrapAdd(length, -1) : position - 1);
  if (MenuItem* next = FindItem(menu, host::kCommandNext))
    SetNeighbourLabel(next, "Next: %.*s", "Next",
                      WrapAdd(position, 1) == length ? 0 : WrapAdd(position, 1));
  if (MenuItem* track = FindItem(menu, kTrackId)) {
    track->value = WrapAdd(position, 1);
    track->minimum = 1;
    track->maximum = length;
  }
  ReadPlayModes(position, length);
  return &menu;
}

void PlayerMenus::ReadPlayModes(std::int32_t position, std::int32_t length) {
  if (MenuItem* shuffle = menus_.MainItem(MainEntry::kShuffle))
    shuffle->value = host_.Request(0, host::kGetShuffle) != 0 ? 1 : 0;
  if (MenuItem* repeat = menus_.MainItem(MainEntry::kRepeat))
    repeat->value = host_.Request(0, host::kGetRepeat) != 0 ? 1 : 0;
  MenuItem* rating = menus_.MainItem(MainEntry::kRating);
  if (rating == nullptr) return;
  if (!HasCurrentEntry(position, length)) {
    // Nothing to rate: the entry says so rather than offer the ratings.
    rating->kind = kSubmenu;
    rating->id = kNoTrackToRateId;
    rating->value = 0;
    return;
  }
  rating->kind = kChoice;
  rating->id = kRatingId;
  // A player without ratings may answer anything: the label shows the
  // nearest of the ones offered.
  rating->value = std::clamp(Int32(host_.Request(0, host::kGetRating)), 0, kRatingLabelCount - 1);
}

void PlayerMenus::LayOutMainMenu() {
  const auto moves = [this](MainEntry entry) {
    return menus_.Optional(entry) && menus_.Shows(entry) != Wants(entry);
  };
  bool any = false;
  for (std::size_t i = 0; i < kMainEntryCount; ++i) any = any || moves(static_cast<MainEntry>(i));
  if (!any) return;
  // A text is held by its item's place in the record: each goes along with
  // its entry, or an item moved into that place would show it.
  struct Held {
    MainEntry entry;
    TextPlace::Field field;
    std::u32string text;
  };
  std::vector<Held> held;
  const auto place = [this](const MenuItem& item, TextPlace::Field field) {
    return TextPlace::Of(menus_.mainMenu, item, field);
  };
  constexpr TextPlace::Field kFields[] = {TextPlace::Field::kName, TextPlace::Field::kPrompt,
                                          TextPlace::Field::kCurrent};
  for (std::size_t i = 0; texts_ && i < kMainEntryCount; ++i) {
    const auto entry = static_cast<MainEntry>(i);
    const MenuItem* item = menus_.MainItem(entry);
    for (const TextPlace::Field field : kFields) {
      std::u32string text;
      if (item != nullptr && texts_->Take(place(*item, field), &text))
        held.push_back({entry, field, std::move(text)});
    }
  }
  for (std::size_t i = 0; i < kMainEntryCount; ++i) {
    const auto entry = static_cast<MainEntry>(i);
    if (moves(entry)) menus_.ShowMainEntry(entry, Wants(entry));
  }
  for (Held& h : held)
    if (const MenuItem* item = menus_.MainItem(h.entry))
      texts_->Hold(place(*item, h.field), std::move(h.text));
}

void PlayerMenus::SetNeighbourLabel(MenuItem* item, const char* format, const char* plainName,
                                    std::int32_t position) {
  if (texts_) {
    std::u32string title;
    if (!host_.EntryTitleUnicode(position, &title)) {
      texts_->Release(TextPlace::Of(menus_.mainMenu, *item, TextPlace::Field::kName));
      SetFieldText(item->name, plainName);
      return;
    }
    // "Prev: " or "Next: ", the format's words before the title.
    const std::u32string label =
        CutLabel(Widen(std::string_view(format, std::strchr(format, '%') - format)) + title);
    texts_->Hold(TextPlace::Of(menus_.mainMenu, *item, TextPlace::Field::kName), label);
    SetFieldText(item->name, texts_->ToAnsi(label, kLongestLabel));
    return;
  }
  std::string_view title;
  if (!host_.EntryTitle(position, &title)) {
    // No entry there (an empty playlist): the plain command name.
    SetFieldText(item->name, plainName);
    return;
  }
  FormatLabel(item->name, format, static_cast<int>(title.size()), title.data());
}

Menu* PlayerMenus::VideoMenu() {
  if (MenuItem* shown = FindItem(menus_.videoMenu, kVideoShownId))
    shown->value = Int32(host_.Request(host::kVideoShownQuery, host::kVideoWindow));
  return &menus_.videoMenu;
}

Menu* PlayerMenus::NowPlayingMenu() {
  const std::int32_t state = Int32(host_.Request(0, host::kPlayState));
  const std::int32_t position = Int32(host_.Request(0, host::kPlaylistPosition));
  if (texts_) {
    std::u32string title;
    host_.EntryTitleUnicode(position, &title);
    const std::u32string text = Widen(StatePrefix(state)) + title;
    texts_->Hold(TextPlace::Text(menus_.nowPlayingMenu), text);
    const std::string ansi = texts_->ToAnsi(text, kNowPlayingCapacity - 1);
    std::memcpy(menus_.nowPlayingText, ansi.data(), ansi.size());
    menus_.nowPlayingText[ansi.size()] = '\0';
    return &menus_.nowPlayingMenu;
  }
  std::string text = StatePrefix(state);
  std::string_view title;
  host_.EntryTitle(position, &title);
  text += title;
  char* buffer = menus_.nowPlayingText;
  const std::size_t length =
      text.size() < kNowPlayingCapacity ? text.size() : kNowPlayingCapacity - 1;
  text.copy(buffer, length);
  buffer[length] = '\0';
  return &menus_.nowPlayingMenu;
}

ValueOutcome PlayerMenus::ApplyValue(std::int32_t id, std::int32_t value, std::int32_t* opens) {
  switch (id) {
    case kVolumeId:
      host_.Request(static_cast<std::uintptr_t>(value), host::kVolume);
      return ValueOutcome::kApplied;
    case kTrackId:
      GoToTrack(value);
      return ValueOutcome::kAppliedReopen;
    case kVideoShownId:
      ShowVideoWindow(value != 0);
      return ValueOutcome::kApplied;
    case kShuffleId:
      return SetSwitch(MainEntry::kShuffle, host::kSetShuffle, value);
    case kRepeatId:
      return SetSwitch(MainEntry::kRepeat, host::kSetRepeat, value);
    case kRatingId:
      // Only the shown entry's: the same id in another plug-in's menu is
      // its owner's, as it always was.
      if (menus_.MainItem(MainEntry::kRating) == nullptr) return ValueOutcome::kNotPlayers;
      return Rate(value, opens);
    default:
      return ValueOutcome::kNotPlayers;
  }
}

ValueOutcome PlayerMenus::SetSwitch(MainEntry entry, std::intptr_t request, std::int32_t value) {
  if (menus_.MainItem(entry) == nullptr) return ValueOutcome::kNotPlayers;
  host_.Request(value != 0 ? 1 : 0, request);
  return ValueOutcome::kApplied;
}

ValueOutcome PlayerMenus::Rate(std::int32_t rating, std::int32_t* opens) {
  // The playlist may have emptied since the menu was built.
  const std::int32_t position = Int32(host_.Request(0, host::kPlaylistPosition));
  const std::int32_t length = Int32(host_.Request(0, host::kPlaylistLength));
  if (!HasCurrentEntry(position, length)) {
    *opens = kNoTrackToRateId;
    return ValueOutcome::kOpens;
  }
  const std::int32_t wanted = std::clamp(rating, 0, kRatingLabelCount - 1);
  host_.Request(static_cast<std::uintptr_t>(wanted), host::kSetRating);
  // A player that keeps no ratings takes the request all the same: only
  // reading it back tells.
  if (Int32(host_.Request(0, host::kGetRating)) != wanted) {
    *opens = kRatingNotKeptId;
    return ValueOutcome::kOpens;
  }
  return ValueOutcome::kApplied;
}

void PlayerMenus::GoToTrack(std::int32_t track) {
  const std::int32_t state = Int32(host_.Request(0, host::kPlayState));
  host_.Request(static_cast<std::uintptr_t>(WrapAdd(track, -1)), host::kSetPosition);
  if (state != kStopped) host_.Command(host::kCommandPlay);
}

void PlayerMenus::ShowVideoWindow(bool wanted) {
  const bool shown = host_.Request(host::kVideoShownQuery, host::kVideoWindow) != 0;
  if (shown != wanted) host_.Command(host::kCommandVideoToggle);
}

}  // namespace quillet
