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
  // A code page of double-byte characters may need more bytes than
  // characters: drop whole characters until it fits.
  while (ansi.size() > most && !text.empty()) {
    text.remove_suffix(ansi.size() - most < text.size() ? ansi.size() - most : text.size());
    ansi = os_.UnicodeToAnsi(ToUtf16(text));
  }
  return ansi.size() > most ? std::string() : ansi;
}

std::u32string MenuTexts::Of(const char* where, std::string_view ansi) const {
  auto held = held_.find(where);
  return held != held_.end() ? held->second : FromAnsi(ansi);
}

void MenuTexts::Hold(const char* where, std::u32string text) {
  held_[where] = std::move(text);
}

void MenuTexts::Release(const char* where) {
  held_.erase(where);
}

std::string MenuTexts::Out(std::u32string_view text) const {
  return PhoneBytes(text, set());
}

std::string MenuTexts::OutTitle(std::u32string_view text) const {
  return PhoneBytes(text, set(), kLongestPageTitle, kLongestPageTitle - 3);
}

std::string MenuTexts::Back(std::string_view bytes, std::size_t most) const {
  return ToAnsi(Decode(bytes, set()), most);
}

std::u32string CutLabel(std::u32string_view label) {
  return Cut(label, kFieldSize - 1, kLabelKeep);
}

std::u32string Widen(std::string_view ascii) {
  std::u32string wide;
  wide.reserve(ascii.size());
  for (char c : ascii) wide += static_cast<char32_t>(static_cast<unsigned char>(c));
  return wide;
}

}  // namespace quillet
