#include "menus/phone_text.h"

#include "menus/label_limits.h"

namespace quillet {
namespace {

constexpr char32_t kReplacement = U'?';

bool IsHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Base letters of U+00C0 to U+00FF; '\0' where the plain form is two letters
// or there is none (see PlainLatin1).
constexpr char kLatin1Base[] =
    "AAAAAA\0CEEEEIIII"
    "DNOOOOOxOUUUUY\0\0"
    "aaaaaa\0ceeeeiiii"
    "dnooooo\0ouuuuy\0y";
// Base letters of U+0100 to U+017F (Latin Extended-A); '\0' for ligatures.
constexpr char kExtendedABase[] =
    "AaAaAaCcCcCcCcDd"
    "DdEeEeEeEeEeGgGg"
    "GgGgHhHhIiIiIiIi"
    "Ii\0\0JjKkkLlLlLlL"
    "lLlNnNnNnnNnOoOo"
    "Oo\0\0RrRrRrSsSsSs"
    "SsTtTtTtUuUuUuUu"
    "UuUuWwYyYZzZzZzs";

static_assert(sizeof(kLatin1Base) == 0x40 + 1 && sizeof(kExtendedABase) == 0x80 + 1,
              "one base letter a character");

}  // namespace

std::u32string PlainForm(char32_t c) {
  if (c >= 0xC0 && c <= 0xFF) {
    const char base = kLatin1Base[c - 0xC0];
    if (base != '\0') return std::u32string(1, static_cast<char32_t>(base));
    switch (c) {
      case 0xC6:
        return U"AE";
      case 0xDE:
        return U"TH";
      case 0xDF:
        return U"ss";
      case 0xE6:
        return U"ae";
      case 0xF7:
        return U"/";
      case 0xFE:
        return U"th";
      default:
        return U"";
    }
  }
  if (c >= 0x100 && c <= 0x17F) {
    const char base = kExtendedABase[c - 0x100];
    if (base != '\0') return std::u32string(1, static_cast<char32_t>(base));
    switch (c) {
      case 0x132:
        return U"IJ";
      case 0x133:
        return U"ij";
      case 0x152:
        return U"OE";
      case 0x153:
        return U"oe";
      default:
        return U"";
    }
  }
  switch (c) {
    case 0xA0:  // no-break space
    case 0x2002:
    case 0x2003:
    case 0x2004:
    case 0x2005:
    case 0x2006:
    case 0x2007:
    case 0x2008:
    case 0x2009:
    case 0x200A:
    case 0x202F:
      return U" ";
    case 0xAB:
      return U"<<";
    case 0xBB:
      return U">>";
    case 0xB4:
      return U"'";
    case 0x218:
      return U"S";
    case 0x219:
      return U"s";
    case 0x21A:
      return U"T";
    case 0x21B:
      return U"t";
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2015:
    case 0x2212:
      return U"-";
    case 0x2018:
    case 0x2019:
    case 0x201A:
    case 0x201B:
    case 0x2032:
    case 0x201C:
    case 0x201D:
    case 0x201E:
    case 0x201F:
    case 0x2033:
      return U"'";
    case 0x2026:
      return U"...";
    case 0x2022:
      return U"*";
    default:
      return U"";
  }
}

namespace {

bool InSet(char32_t c, PhoneCharset set) {
  switch (set) {
    case PhoneCharset::kUtf8:
      return true;
    case PhoneCharset::kLatin1:
      return c <= 0xFF;
    default:
      return c <= 0x7F;
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::u32string FromUtf16(std::u16string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      out += static_cast<char32_t>(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else {
      out += IsHighSurrogate(c) || IsLowSurrogate(c) ? kReplacement : c;
    }
  }
  return out;
}

std::u32string FromUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int more = 0;
    char32_t c = lead;
    char32_t least = 0;
    if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3, c = lead & 0x07, least = 0x10000;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0x80) {
      out += kReplacement;
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    for (int k = 0; k < more; ++k, ++j) {
      if (j >= text.size() || (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80) break;
      c = (c << 6) | (static_cast<unsigned char>(text[j]) & 0x3F);
    }
    if (j - i != static_cast<std::size_t>(more) + 1 || c < least || c > 0x10FFFF ||
        IsHighSurrogate(c) || IsLowSurrogate(c)) {
      // A malformed sequence: one '?' for its lead byte, then resynchronise.
      out += kReplacement;
      ++i;
      continue;
    }
    out += c;
    i = j;
  }
  return out;
}

std::string ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) AppendUtf8(out, c);
  return out;
}

std::u16string ToUtf16(std::u32string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::u32string FoldInto(std::u32string_view text, PhoneCharset set) {
  std::u32string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c >= 0x300 && c <= 0x36F && set != PhoneCharset::kUtf8) continue;  // combining marks
    if (InSet(c, set)) {
      out += c;
      continue;
    }
    const std::u32string plain = PlainForm(c);
    bool fits = !plain.empty();
    for (char32_t p : plain) fits = fits && InSet(p, set);
    out += fits ? plain : std::u32string(1, kReplacement);
  }
  return out;
}

std::u32string Sanitised(std::u32string_view text) {
  std::u32string out(text);
  for (char32_t& c : out) {
    if (c == U'"')
      c = U'\'';
    else if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
      c = U' ';
  }
  return out;
}

std::u32string Cut(std::u32string_view text, std::size_t longest, std::size_t keep) {
  if (text.size() <= longest) return std::u32string(text);
  return std::u32string(text.substr(0, keep)) + kWideCutMark;
}

std::string Encode(std::u32string_view folded, PhoneCharset set) {
  if (set == PhoneCharset::kUtf8) return ToUtf8(folded);
  std::string out;
  out.reserve(folded.size());
  for (char32_t c : folded) out += InSet(c, set) ? static_cast<char>(c) : '?';
  return out;
}

std::u32string Decode(std::string_view bytes, PhoneCharset set) {
  if (set == PhoneCharset::kUtf8) return FromUtf8(bytes);
  std::u32string out;
  out.reserve(bytes.size());
  for (char b : bytes) {
    const auto c = static_cast<char32_t>(static_cast<unsigned char>(b));
    out += InSet(c, set) ? c : kReplacement;
  }
  return out;
}

std::string PhoneBytes(std::u32string_view text, PhoneCharset set, std::size_t longest,
                       std::size_t keep) {
  std::u32string shown = Sanitised(FoldInto(text, set));
  if (longest > 0) shown = Cut(shown, longest, keep);
  return Encode(shown, set);
}

}  // namespace quillet
