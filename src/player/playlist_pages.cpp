#include "player/playlist_pages.h"

#include <string_view>

#include "menus/menu_items.h"
#include "platform/host_messages.h"

namespace quillet {
namespace {

// The top page's id for a playlist of `levels` digits: "up" from the level
// below the top.
std::int64_t TopId(int levels) {
  return std::int64_t{kIdsPerLevel} * levels + 24;
}

std::int64_t PowerOfTen(int exponent) {
  std::int64_t value = 1;
  for (int i = 0; i < exponent; ++i) value *= 10;
  return value;
}

}  // namespace

int DecimalDigits(std::int64_t n) {
  int digits = 1;
  for (; n >= 10; n /= 10) ++digits;
  return digits;
}

Menu* PlaylistPages::Page(std::int32_t requested) {
  std::int64_t id = requested;
  // A restart asks for the length again; two are the most any request needs
  // (a stale page, then a jump on a one-level playlist), and the bound keeps
  // a player whose length changes under us from holding the thread.
  for (int round = 0; round < 4; ++round) {
    const std::int64_t length = static_cast<std::int32_t>(host_.Request(0, host::kPlaylistLength));
    if (length <= 0) return &menus_.emptyPlaylistMenu;
    const int levels = DecimalDigits(length - 1);
    int level = 0;
    std::int64_t step = 0;
    if (id == kPlaylistMenuId || id == TopId(levels)) {
      if (id == kPlaylistMenuId) cursor_ = 0;
      level = levels - 2;  // the top page is "up" from the level below it
    } else if (id >= kFirstPlaylistPageId) {
      level = static_cast<int>((id - kFirstPlaylistPageId) / kIdsPerLevel);
      step = id - kFirstPlaylistPageId - std::int64_t{kIdsPerLevel} * level;
    } else {
      level = levels;  // no page of this playlist
    }
    if (level >= levels || cursor_ >= length || cursor_ < 0) {
      // A page of a longer playlist, or a cursor beyond a shorter one.
      id = kPlaylistMenuId;
      continue;
    }
    std::int64_t groupSize = level <= 0 ? 1 : PowerOfTen(level);
    const std::int64_t base = cursor_ / (10 * groupSize) * (10 * groupSize);
    if (step == 0) {
      // Up one level; from the top of a one-level playlist there is none.
      if (level >= 0) groupSize *= 10;
      ++level;
    } else if (step == 1) {
      cursor_ = base - groupSize;
      if (cursor_ < 0) cursor_ = length - 1;
    } else if (step == 2) {
      cursor_ = base + 10 * groupSize;
      if (cursor_ >= length) cursor_ = 0;
    } else {
      const std::int64_t group = step - 3;
      cursor_ = base + group * groupSize + cursor_ % groupSize;
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
  return &menus_.emptyPlaylistMenu;
}

void PlaylistPages::Jump(std::int64_t index) {
  const auto state = static_cast<std::int32_t>(host_.Request(0, host::kPlayState));
  host_.Request(static_cast<std::uintptr_t>(index), host::kSetPosition);
  if (state != kStopped) host_.Command(host::kCommandPlay);
}

Menu* PlaylistPages::Fill(std::int64_t length, int levels, int level, std::int64_t groupSize) {
  const bool top = level == levels - 1;
  Menu& menu = top ? menus_.playlistTopMenu : menus_.playlistLevelMenu;
  MenuItem* slots = top ? menu.items : menu.items + 1;
  const std::int64_t block = 10 * groupSize;
  const std::int64_t first = cursor_ / block * block;
  const int entries =
      length - first > block ? 10 : static_cast<int>((length - 1) / groupSize % 10 + 1);
  const std::int32_t firstEntryId = kFirstPlaylistPageId + kIdsPerLevel * level + 3;
  for (int k = 0; k < entries; ++k) {
    MenuItem& item = slots[k];
    item = slots[0];
    item.kind = kSubmenu;
    item.id = firstEntryId + k;
    const std::int64_t from = first + k * groupSize;
    if (level == 0) {
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
  const std::int32_t levelBase = kFirstPlaylistPageId + kIdsPerLevel * level;
  menu.items[0].id = levelBase + 1;
  MenuItem& next = menu.items[kPlaylistLevelItemCount - 1];
  next.id = levelBase + 2;
  slots[entries] = next;
  menu.count = entries + 2;
  menu.parent = levelBase;
  ++menu.selection;
  return &menu;
}

}  // namespace quillet
