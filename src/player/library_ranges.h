#pragma once
// A long sorted list of names as pages of ranges, as the playlist is paged:
// up to ten names are one page; more make a tree whose pages each show ten
// ranges of a power of ten names ("Abba - Blur"), one level down per choice,
// down to the names themselves. Below the top, "<<<" and ">>>" step to the
// ranges before and after at the same level, round at the ends. A page is
// known from its level and first name alone, so no page is stored.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillet {

// The most of a name a range's label shows.
constexpr std::size_t kLongestRangeName = 17;
constexpr std::size_t kRangeNameKeep = kLongestRangeName - 3;

// A page: it shows ranges of 10^level names (level 0: the names), from name
// `first`, a multiple of 10^(level+1).
struct RangePage {
  int level = 0;
  std::size_t first = 0;
  bool operator==(const RangePage& other) const {
    return level == other.level && first == other.first;
  }
};

struct RangeEntry {
  enum class Kind : std::uint8_t { kPrevious, kNext, kRange, kName };
  Kind kind;
  // kName: the name chosen. Otherwise the page it opens.
  std::size_t name = 0;
  RangePage opens;
  // kRange: its first and last name.
  std::size_t last = 0;
};

class NameRanges {
 public:
  explicit NameRanges(std::size_t count) : count_(count) {}

  std::size_t count() const { return count_; }
  // The page everything starts from.
  RangePage Top() const;
  bool IsTop(const RangePage& page) const { return page.level == Top().level; }
  // The page holding `name` at `level`, and the one above a page (the top
  // stays the top).
  RangePage Holding(int level, std::size_t name) const;
  RangePage Up(const RangePage& page) const;
  // The entries of `page`, whose first is taken down to its level's block
  // (a page outside the list is its last block's).
  std::vector<RangeEntry> Entries(RangePage page) const;

  // "<first> - <last>", each name cut to kLongestRangeName characters.
  static std::u32string RangeLabel(const std::u32string& first, const std::u32string& last);

 private:
  std::size_t count_;
};

// The most items a page's record holds, its own entries and "<<"/">>" too.
constexpr std::size_t kMostPageItems = 40;

// A list too long for one page (an album's tracks, a search's matches), cut
// into pages that each go to the phone whole: `own` entries of the page's
// own first (taking `ownBytes` on the wire), "<<" on every page after the
// first, ">>" where more follow, and the list's entries from `first` on as
// long as they fit the page budget and the record. `bytes(i)` is what entry
// i takes on the wire, its quotes and comma included. The end of the page
// that starts at `first`; an entry too long for any page goes alone on one.
std::size_t ListPageEnd(std::size_t first, std::size_t count, std::size_t own, std::size_t ownBytes,
                        const std::function<std::size_t(std::size_t)>& bytes);

}  // namespace quillet
