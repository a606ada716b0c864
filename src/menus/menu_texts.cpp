#include "menus/menu_texts.h"

#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "menus/phone_text.h"

namespace quillet {

std::u32string MenuTexts::FromAnsi(std::string_view ansi) const {
  return FromUtf16(os_.AnsiToUnicode(ansi));
}

std::string MenuTexts::ToAnsi(std::u32string_view text, std::size_t most) const {
  std::string ansi = os_.UnicodeToAnsi(ToUtf16(text));
  if (ansi.size() <= most) return ansi;
  // A code page of double-byte characters (or UTF-8) may need more bytes
  // than characters: the most whole characters that fit.
  std::size_t fits = 0;
  std::size_t fails = text.size();
  std::string best;
  while (fails - fits > 1) {
    const std::size_t mid = fits + (fails - fits) / 2;
    std::string tried = os_.UnicodeToAnsi(ToUtf16(text.substr(0, mid)));
    if (tried.size() <= most) {
      fits = mid;
      best = std::move(tried);
    } else {
      fails = mid;
    }
  }
  return best;
}

std::u32string MenuTexts::Of(const TextPlace& place, std::string_view ansi) const {
  auto held = place.record != nullptr ? held_.find(place) : held_.end();
  return held != held_.end() ? held->second : FromAnsi(ansi);
}

void MenuTexts::Hold(const TextPlace& place, std::u32string text) {
  if (place.record != nullptr) held_[place] = std::move(text);
}

void MenuTexts::Release(const TextPlace& place) {
  held_.erase(place);
}

bool MenuTexts::Take(const TextPlace& place, std::u32string* text) {
  auto held = held_.find(place);
  if (held == held_.end()) return false;
  *text = std::move(held->second);
  held_.erase(held);
  return true;
}

void MenuTexts::ReleaseRecord(const Menu* record) {
  // Places sort by record first: its texts are one run.
  auto first = held_.lower_bound(TextPlace{record, INT32_MIN, TextPlace::Field::kName});
  auto last = first;
  while (last != held_.end() && last->first.record == record) ++last;
  held_.erase(first, last);
}

std::string MenuTexts::Out(std::u32string_view text) const {
  return PhoneBytes(text, set());
}

std::string MenuTexts::OutTitle(std::u32string_view text) const {
  return PhoneBytes(text, set(), kLongestPageTitle, kPageTitleKeep);
}

std::u32string MenuTexts::In(std::string_view bytes) const {
  return Decode(bytes, set());
}

std::u32string CutLabel(std::u32string_view label) {
  return Cut(label, kLongestLabel, kLabelKeep);
}

std::u32string Widen(std::string_view ascii) {
  std::u32string wide;
  wide.reserve(ascii.size());
  for (char c : ascii) wide += static_cast<char32_t>(static_cast<unsigned char>(c));
  return wide;
}

}  // namespace quillet
