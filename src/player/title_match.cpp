#include "player/title_match.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "fold_tables.h"
#include "menus/phone_text.h"

namespace quillet {
namespace {

namespace tables = fold_tables;

constexpr char16_t kFirstLong = 0xD800;
constexpr char16_t kPastLong = 0xE000;

bool IsDroppedMark(char32_t c) {
  return (c >= 0x300 && c <= 0x36F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
         (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
         (c >= 0xFE20 && c <= 0xFE2F);
}

char32_t LowerAscii(char32_t c) {
  return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
}

// A folded character, or the plain form the phone's sets give it: letters no
// decomposition reaches (stroked, ligatures) and punctuation the phone cannot
// type.
void AppendPlain(char32_t c, std::u32string* form) {
  if (c < 0x80) {
    *form += c;
    return;
  }
  const std::u32string plain = PlainForm(c);  // short enough to stay off the heap
  if (plain.empty()) {
    *form += c;
    return;
  }
  for (char32_t p : plain) *form += LowerAscii(p);
}

void AppendFold(char32_t c, std::u32string* form) {
  if (c < 0x80) {
    *form += LowerAscii(c);
    return;
  }
  if (IsDroppedMark(c)) return;
  std::uint16_t value = 0;
  if (c < tables::kTableEnd) {
    constexpr char32_t kMask = (char32_t{1} << tables::kBlockShift) - 1;
    const std::size_t block = tables::kBlockOf[c >> tables::kBlockShift];
    value = tables::kValues[(block << tables::kBlockShift) + (c & kMask)];
  }
  if (value == 0) {
    AppendPlain(c, form);
  } else if (value < kFirstLong || value >= kPastLong) {
    AppendPlain(value, form);
  } else {
    const std::size_t which = value - kFirstLong;
    for (std::size_t i = tables::kLongStart[which]; i < tables::kLongStart[which + 1]; ++i) {
      char32_t unit = tables::kLongs[i];
      if (unit >= 0xD800 && unit <= 0xDBFF)
        unit = 0x10000 + ((unit - 0xD800) << 10) + (tables::kLongs[++i] - 0xDC00);
      AppendPlain(unit, form);
    }
  }
}

// The canonical combining class of a mark that stays; -1 for a character
// that is no mark.
int MarkClass(char32_t c) {
  if (c < (tables::kMarkRuns[0] >> 8)) return -1;
  const std::uint32_t key = (static_cast<std::uint32_t>(c) << 8) | 0xFF;
  const auto* after =
      std::upper_bound(std::begin(tables::kMarkRuns), std::end(tables::kMarkRuns), key);
  const auto run = static_cast<std::size_t>(after - std::begin(tables::kMarkRuns)) - 1;
  const char32_t first = tables::kMarkRuns[run] >> 8;
  return c < first + tables::kMarkRunLength[run] ? static_cast<int>(tables::kMarkRuns[run] & 0xFF)
                                                 : -1;
}

// Marks after one letter in one order, whichever order they were typed in.
void OrderMarks(std::u32string* form) {
  std::u32string& f = *form;
  for (std::size_t i = 1; i < f.size(); ++i) {
    const int mark = MarkClass(f[i]);
    if (mark <= 0) continue;
    for (std::size_t j = i; j > 0 && MarkClass(f[j - 1]) > mark; --j) std::swap(f[j - 1], f[j]);
  }
}

}  // namespace

void SearchForm(std::u32string_view text, std::u32string* form) {
  form->clear();
  for (char32_t c : text) AppendFold(c, form);
  OrderMarks(form);
}

std::u32string SearchForm(std::u32string_view text) {
  std::u32string form;
  form.reserve(text.size());
  SearchForm(text, &form);
  return form;
}

bool Holds(std::u32string_view title, std::u32string_view text) {
  // A match ends where the title's letter does: a mark after it would make
  // that letter another one ("ば" is "は" and a mark).
  for (std::size_t at = title.find(text); at != std::u32string_view::npos;
       at = title.find(text, at + 1)) {
    const std::size_t end = at + text.size();
    if (end == title.size() || MarkClass(title[end]) < 0) return true;
  }
  return false;
}

}  // namespace quillet
