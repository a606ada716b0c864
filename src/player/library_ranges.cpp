#include "player/library_ranges.h"

#include "menus/menu_protocol.h"
#include "menus/phone_text.h"

namespace quillet {
namespace {

std::size_t PowerOfTen(int exponent) {
  std::size_t value = 1;
  for (int i = 0; i < exponent; ++i) value *= 10;
  return value;
}

}  // namespace

RangePage NameRanges::Top() const {
  // The top level's ranges are the largest power of ten below the count, so
  // that at most ten of them cover every name.
  int level = 0;
  for (std::size_t span = 10; span < count_; span *= 10) ++level;
  return RangePage{level, 0};
}

RangePage NameRanges::Holding(int level, std::size_t name) const {
  const int top = Top().level;
  if (level >= top || level < 0) return Top();
  const std::size_t block = PowerOfTen(level + 1);
  if (name >= count_) name = count_ == 0 ? 0 : count_ - 1;
  return RangePage{level, name / block * block};
}

RangePage NameRanges::Up(const RangePage& page) const {
  return Holding(page.level + 1, page.first);
}

std::vector<RangeEntry> NameRanges::Entries(RangePage page) const {
  page = Holding(page.level, page.first);
  const std::size_t group = PowerOfTen(page.level);
  const std::size_t block = group * 10;
  const bool top = IsTop(page);
  std::vector<RangeEntry> entries;
  if (!top) {
    // Round at the ends, as the playlist's pages go.
    const std::size_t before =
        page.first >= block ? page.first - block : (count_ - 1) / block * block;
    entries.push_back({RangeEntry::Kind::kPrevious, 0, RangePage{page.level, before}, 0});
  }
  for (std::size_t from = page.first; from < count_ && from < page.first + block; from += group) {
    const std::size_t last = from + group < count_ ? from + group - 1 : count_ - 1;
    if (last == from) {
      entries.push_back({RangeEntry::Kind::kName, from, RangePage{}, from});
    } else {
      entries.push_back({RangeEntry::Kind::kRange, 0, RangePage{page.level - 1, from}, last});
    }
  }
  if (!top) {
    const std::size_t after = page.first + block < count_ ? page.first + block : 0;
    entries.push_back({RangeEntry::Kind::kNext, 0, RangePage{page.level, after}, 0});
  }
  return entries;
}

std::u32string NameRanges::RangeLabel(const std::u32string& first, const std::u32string& last) {
  return Cut(first, kLongestRangeName, kRangeNameKeep) + U" - " +
         Cut(last, kLongestRangeName, kRangeNameKeep);
}

std::size_t ListPageEnd(std::size_t first, std::size_t count, std::size_t own, std::size_t ownBytes,
                        const std::function<std::size_t(std::size_t)>& bytes) {
  // Each arrow goes out as ,"<<".
  constexpr std::size_t kArrowBytes = sizeof kPreviousPageEntry - 1 + 3;
  // Room for ">>" is kept whether or not more follow.
  const std::size_t arrows = first > 0 ? 2 : 1;
  std::size_t used = ownBytes + arrows * kArrowBytes;
  std::size_t items = own + arrows;
  std::size_t end = first;
  for (; end < count && items < kMostPageItems; ++end, ++items) {
    const std::size_t cost = bytes(end);
    if (used + cost >= kPageBudget && end > first) break;
    used += cost;
  }
  return end;
}

}  // namespace quillet
