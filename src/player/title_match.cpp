#include "player/title_match.h"

#include "menus/phone_text.h"

namespace quillet {
namespace {

bool IsCombiningMark(char32_t c) {
  return c >= 0x300 && c <= 0x36F;
}

// Greek with its tonos and dialytika: the base letter in lower case, final
// sigma as sigma.
char32_t GreekBase(char32_t c) {
  switch (c) {
    case 0x386:
    case 0x3AC:
      return 0x3B1;  // alpha
    case 0x388:
    case 0x3AD:
      return 0x3B5;  // epsilon
    case 0x389:
    case 0x3AE:
      return 0x3B7;  // eta
    case 0x38A:
    case 0x3AA:
    case 0x3AF:
    case 0x3CA:
    case 0x390:
      return 0x3B9;  // iota
    case 0x38C:
    case 0x3CC:
      return 0x3BF;  // omicron
    case 0x38E:
    case 0x3AB:
    case 0x3CD:
    case 0x3CB:
    case 0x3B0:
      return 0x3C5;  // upsilon
    case 0x38F:
    case 0x3CE:
      return 0x3C9;  // omega
    case 0x3C2:
      return 0x3C3;  // final sigma
    default:
      return c >= 0x391 && c <= 0x3A9 ? c + 0x20 : c;
  }
}

// Cyrillic in lower case, the letters with a mark as their base letter.
char32_t CyrillicBase(char32_t c) {
  if (c >= 0x410 && c <= 0x42F) c += 0x20;
  if (c >= 0x400 && c <= 0x40F) c += 0x50;
  switch (c) {
    case 0x450:
    case 0x451:
      return 0x435;  // ie
    case 0x439:
    case 0x45D:
      return 0x438;  // i
    case 0x453:
      return 0x433;  // ghe
    case 0x457:
      return 0x456;  // byelorussian-ukrainian i
    case 0x45C:
      return 0x43A;  // ka
    case 0x45E:
      return 0x443;  // u
    default:
      return c;
  }
}

char32_t Lower(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + (U'a' - U'A');
  if (c >= 0x386 && c <= 0x3CE) return GreekBase(c);
  if (c >= 0x400 && c <= 0x45F) return CyrillicBase(c);
  return c;
}

}  // namespace

std::u32string SearchForm(std::u32string_view text) {
  std::u32string form;
  form.reserve(text.size());
  for (char32_t c : text) {
    if (IsCombiningMark(c)) continue;
    if (c < 0x80) {
      form += Lower(c);
      continue;
    }
    const std::u32string plain = PlainForm(c);
    if (plain.empty()) {
      form += Lower(c);
      continue;
    }
    for (char32_t p : plain) form += Lower(p);
  }
  return form;
}

}  // namespace quillet
