#include "charsets.h"

namespace quillet::phone {
namespace {

constexpr char32_t kUnreadable = 0xFFFD;
// What the keypad types for a character the selected set does not have.
constexpr char kLacking = '?';

// `whole` is cleared when a byte was malformed.
std::u32string DecodeUtf8(std::string_view bytes, bool* whole = nullptr) {
  std::u32string out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    int more = lead < 0x80                    ? 0
               : lead >= 0xF0 && lead <= 0xF4 ? 3
               : lead >= 0xE0                 ? 2
               : lead >= 0xC2                 ? 1
                                              : -1;
    if (more < 0) {
      out += kUnreadable;
      if (whole) *whole = false;
      ++i;
      continue;
    }
    char32_t c = more == 0 ? lead : lead & (0x3F >> more);
    std::size_t j = i + 1;
    for (; j < bytes.size() && j <= i + static_cast<std::size_t>(more); ++j) {
      const auto next = static_cast<unsigned char>(bytes[j]);
      if ((next & 0xC0) != 0x80) break;
      c = (c << 6) | (next & 0x3F);
    }
    const bool complete = j == i + static_cast<std::size_t>(more) + 1;
    const char32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : more == 3 ? 0x10000 : 0;
    if (!complete || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += kUnreadable;
      if (whole) *whole = false;
      ++i;
      continue;
    }
    out += c;
    i = j;
  }
  return out;
}

}  // namespace

Interpretation CharacterSet(std::string_view rest, const Settings& settings) {
  Interpretation result;
  if (settings.charsets.empty()) {
    result.error = "no character sets";
    return result;
  }
  if (rest == "?") {
    result.ok = true;
    result.values.push_back(
        "+CSCS: \"" + (settings.charset.empty() ? settings.charsets.front() : settings.charset) +
        "\"");
    return result;
  }
  if (rest == "=?") {
    std::string list = "+CSCS: (";
    for (std::size_t i = 0; i < settings.charsets.size(); ++i)
      list += (i > 0 ? ",\"" : "\"") + settings.charsets[i] + "\"";
    result.ok = true;
    result.values.push_back(list + ")");
    return result;
  }
  if (rest.size() >= 4 && rest[0] == '=' && rest[1] == '"' && rest.back() == '"') {
    const std::string wanted = UpperCase(rest.substr(2, rest.size() - 3));
    for (const std::string& offered : settings.charsets) {
      if (UpperCase(offered) == wanted) {
        result.ok = true;
        result.charset = offered;
        return result;
      }
    }
    result.error = "character set " + wanted + " not offered";
    return result;
  }
  result.error = "character set " + std::string(rest);
  return result;
}

std::u32string Shown(std::string_view bytes, const std::string& charset) {
  if (UpperCase(charset) == "UTF-8") return DecodeUtf8(bytes);
  std::u32string out;
  for (char b : bytes) out += static_cast<char32_t>(static_cast<unsigned char>(b));
  return out;
}

std::optional<std::string> Typed(std::string_view utf8, const std::string& charset) {
  bool whole = true;
  const std::u32string characters = DecodeUtf8(utf8, &whole);
  if (!whole) return std::nullopt;
  const std::string set = UpperCase(charset);
  if (set == "UTF-8") return std::string(utf8);
  // Before any set is selected the phone reads its texts as 8859-1 (see
  // Shown), so its keypad types that set too.
  const char32_t highest = set.empty() || set == "8859-1" ? 0xFF : 0x7F;
  std::string bytes;
  for (char32_t c : characters) bytes += c <= highest ? static_cast<char>(c) : kLacking;
  return bytes;
}

}  // namespace quillet::phone
