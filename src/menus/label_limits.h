#pragma once
// How much of a text the phone is shown, in one place: the longest label
// and page title, and what is kept of a longer one before the cut mark.
// The kept lengths follow from the field sizes, so the cut text always fits.

#include <cstddef>
#include <cstdint>

#include "menus/menu_record.h"

namespace quillet {

// What a cut text ends with.
constexpr char kCutMark[] = "...";
constexpr char32_t kWideCutMark[] = U"...";
constexpr std::size_t kCutMarkLength = sizeof(kCutMark) - 1;

// An item's label: what its name field holds before the terminator; a longer
// one keeps its start and the cut mark, which fill the field exactly.
constexpr std::size_t kLongestLabel = kFieldSize - 1;
constexpr std::size_t kLabelKeep = kLongestLabel - kCutMarkLength;

// A page's title, which the phone shows in its title bar.
constexpr std::size_t kLongestPageTitle = 15;
constexpr std::size_t kPageTitleKeep = kLongestPageTitle - kCutMarkLength;

// The most of a playlist title any menu text is made from.
constexpr std::size_t kLongestTitle = 180;

// The text typed to find a track, and the now-playing notice's buffer.
constexpr std::int32_t kLongestFindText = 30;
constexpr std::size_t kNowPlayingCapacity = 200;  // bytes, NUL included

}  // namespace quillet
