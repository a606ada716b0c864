#include "player/playlist_pages.h"

#include <string>
#include <string_view>

#include "menus/menu_items.h"
#include "platform/host_messages.h"

namespace quillet {
namespace {

// The first id of a level's pages: its "up".
std::int64_t LevelId(int level) {
  return kFirstPlaylistPageId + std::int64_t{kIdsPerLevel} * level;
}

// The top page is the one level `levels - 1` shows; its id is "up" from the
// level below, which for a one-level playlist is the level below 0.
int TopLevel(int levels) {
  return levels - 1;
}
std::int64_t TopId(int levels) {
  return LevelId(TopLevel(levels) - 1) + kUpOffset;
}

std::int64_t PowerOfTen(int exponent) {
  std::int64_t value = 1;
  for (int i = 0; i < exponent; ++i) value *= 10;
  return value;
}

}  // namespace

bool PlaylistPages::Serves(std::int32_t id) const {
  if (id < kFirstPlaylistPageId || id > kLastPlaylistPageId) return false;
  return id <= kLastAlwaysPlaylistPageId || (id - kFirstPlaylistPageId) / kIdsPerLevel < levels_;
}

Menu* PlaylistPages::Page(std::int32_t requested) {
  std::int64_t id = requested;
  // A restart asks for the length again; two are the most any request needs
  // (a stale page, then a jump on a one-level playlist), and the bound keeps
  // a player whose length changes under us from holding the thread.
  for (int round = 0; round < 4; ++round) {
    const std::int64_t length = static_cast<std::int32_t>(host_.Request(0, host::kPlaylistLength));
    if (length <= 0) return Empty();
    const int levels = DecimalDigits(length - 1);
    int level = 0;
    std::int64_t step = kUpOffset;
    if (id == kPlaylistMenuId || id == TopId(levels)) {
      if (id == kPlaylistMenuId) cursor_ = 0;
      level = TopLevel(levels) - 1;
    } else if (id >= kFirstPlaylistPageId) {
      level = static_cast<int>((id - kFirstPlaylistPageId) / kIdsPerLevel);
      step = id - LevelId(level);
    } else {
      level = levels;  // no page of this playlist
    }
    // A page of a longer playlist (its own level, or the one it goes up to,
    // is beyond this one's top), or a cursor beyond a shorter one.
    const int target = step == kUpOffset ? level + 1 : level;
    if (target > TopLevel(levels) || cursor_ >= length || cursor_ < 0) {
      id = kPlaylistMenuId;
      continue;
    }
    std::int64_t groupSize = level <= 0 ? 1 : PowerOfTen(level);
    const std::int64_t base = cursor_ / (10 * groupSize) * (10 * groupSize);
    if (step == kUpOffset) {
      // From the top of a one-level playlist there is no level to leave.
      if (level >= 0) groupSize *= 10;
      ++level;
    } else if (step == kPreviousBlockOffset) {
      cursor_ = base - groupSize;
      if (cursor_ < 0) cursor_ = length - 1;
    } else if (step == kNextBlockOffset) {
      cursor_ = base + 10 * groupSize;
      if (cursor_ >= length) cursor_ = 0;
    } else {
      const std::int64_t groupStart = base + (step - kFirstGroupOffset) * groupSize;
      if (groupStart >= length) {
        // The group the user chose has gone with the playlist's end: never
        // show or play another one in its place.
        id = kPlaylistMenuId;
        continue;
      }
      cursor_ = groupStart + cursor_ % groupSize;
      // The last group may be shorter than the others: its last entry is
      // the end of the playlist.
      if (cursor_ >= length) cursor_ = length - 1;
      if (level > 0) {
        groupSize /= 10;
        --level;
      } else {
        Jump(cursor_);
        if (levels == 1) {
          id = TopId(1);
          continue;
        }
      }
    }
    return Fill(length, levels, level, groupSize);
  }
  return Empty();
}

Menu* PlaylistPages::Empty() {
  // No page shown is deep any more: ids past the always-served ones belong
  // to the other plug-ins again.
  levels_ = 0;
  return &menus_.emptyPlaylistMenu;
}

void PlaylistPages::Jump(std::int64_t index) {
  const auto state = static_cast<std::int32_t>(host_.Request(0, host::kPlayState));
  host_.Request(static_cast<std::uintptr_t>(index), host::kSetPosition);
  if (state != kStopped) host_.Command(host::kCommandPlay);
}

void PlaylistPages::Taken(const Menu* current) {
  const bool page = current != nullptr &&
                    (current == &menus_.playlistTopMenu || current == &menus_.playlistLevelMenu);
  shown_ = page ? built_ : Build{cursor_, 0, levels_, -1};
}

void PlaylistPages::Refused() {
  cursor_ = shown_.cursor;
  levels_ = shown_.levels;
  if (shown_.level >= 0) Fill(shown_.length, shown_.levels, shown_.level, PowerOfTen(shown_.level));
}

Menu* PlaylistPages::Fill(std::int64_t length, int levels, int level, std::int64_t groupSize) {
  levels_ = levels;
  built_ = Build{cursor_, length, levels, level};
  const bool top = level == TopLevel(levels);
  Menu& menu = top ? menus_.playlistTopMenu : menus_.playlistLevelMenu;
  MenuItem* slots = top ? menu.items : menu.items + 1;
  const std::int64_t block = 10 * groupSize;
  const std::int64_t first = cursor_ / block * block;
  const int entries =
      length - first > block ? 10 : static_cast<int>((length - 1) / groupSize % 10 + 1);
  const auto firstEntryId = static_cast<std::int32_t>(LevelId(level) + kFirstGroupOffset);
  for (int k = 0; k < entries; ++k) {
    MenuItem& item = slots[k];
    item = slots[0];
    item.kind = kSubmenu;
    item.id = firstEntryId + k;
    const std::int64_t from = first + k * groupSize;
    if (texts_) texts_->Release(TextPlace::Of(menu, item, TextPlace::Field::kName));
    if (level == 0 && texts_) {
      std::u32string title;
      const std::u32string number = Widen(std::to_string(from + 1) + ". ");
      const std::u32string label =
          CutLabel(number + (host_.EntryTitleUnicode(static_cast<std::int32_t>(from), &title)
                                 ? title
                                 : Widen("Unknown")));
      texts_->Hold(TextPlace::Of(menu, item, TextPlace::Field::kName), label);
      SetFieldText(item.name, texts_->ToAnsi(label, kLongestLabel));
    } else if (level == 0) {
      std::string_view title;
      if (host_.EntryTitle(static_cast<std::int32_t>(from), &title)) {
        FormatLabel(item.name, "%lld. %.*s", static_cast<long long>(from) + 1,
                    static_cast<int>(title.size()), title.data());
      } else {
        FormatLabel(item.name, "%lld. Unknown", static_cast<long long>(from) + 1);
      }
    } else {
      const std::int64_t to = from + groupSize < length ? from + groupSize : length;
      FormatLabel(item.name, "%lld-%lld", static_cast<long long>(from) + 1,
                  static_cast<long long>(to));
    }
  }
  menu.selection = static_cast<std::int32_t>(cursor_ / groupSize % 10);
  if (top) {
    menu.count = entries;
    return &menu;
  }
  const auto levelId = static_cast<std::int32_t>(LevelId(level));
  menu.items[0].id = levelId + kPreviousBlockOffset;
  MenuItem& next = menu.items[kPlaylistLevelItemCount - 1];
  next.id = levelId + kNextBlockOffset;
  slots[entries] = next;
  if (texts_) texts_->Release(TextPlace::Of(menu, slots[entries], TextPlace::Field::kName));
  menu.count = entries + 2;
  menu.parent = levelId + kUpOffset;
  ++menu.selection;
  return &menu;
}

}  // namespace quillet
