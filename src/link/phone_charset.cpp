#include "link/phone_charset.h"

#include <cctype>

#include "link/phone_commands.h"

namespace quillet {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

CharsetWish ParseCharsetWish(std::string_view setting, bool stored) {
  if (setting.empty()) return stored ? CharsetWish::kOff : CharsetWish::kAutoOnNewer;
  if (SameName(setting, kCharsetUtf8)) return CharsetWish::kUtf8;
  if (SameName(setting, kCharsetLatin1)) return CharsetWish::kLatin1;
  return CharsetWish::kAuto;
}

bool WantsCharset(CharsetWish wish, bool newerMenus) {
  return wish == CharsetWish::kAutoOnNewer ? newerMenus : wish != CharsetWish::kOff;
}

const char* CharsetName(PhoneCharset set) {
  switch (set) {
    case PhoneCharset::kUtf8:
      return kCharsetUtf8;
    case PhoneCharset::kLatin1:
      return kCharsetLatin1;
    default:
      return "";
  }
}

PhoneCharset ChooseCharset(std::string_view listLine) {
  constexpr std::string_view kPrefix = phone::kCharsetList;
  if (listLine.substr(0, kPrefix.size()) != kPrefix) return PhoneCharset::kNone;
  bool utf8 = false;
  bool latin1 = false;
  std::size_t at = kPrefix.size();
  for (;;) {
    const std::size_t open = listLine.find('"', at);
    if (open == std::string_view::npos) break;
    const std::size_t close = listLine.find('"', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = listLine.substr(open + 1, close - open - 1);
    utf8 = utf8 || SameName(name, kCharsetUtf8);
    latin1 = latin1 || SameName(name, kCharsetLatin1);
    at = close + 1;
  }
  return utf8 ? PhoneCharset::kUtf8 : latin1 ? PhoneCharset::kLatin1 : PhoneCharset::kNone;
}

}  // namespace quillet
