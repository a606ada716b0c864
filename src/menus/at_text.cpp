#include "menus/at_text.h"

#include <cstdarg>
#include <cstdio>

namespace quillet {

std::string QuotedText(std::string_view text) {
  std::string safe(text);
  for (char& c : safe) {
    if (c == '"')
      c = '\'';
    else if (static_cast<unsigned char>(c) < 32 || c == 0x7F)
      c = ' ';
  }
  return safe;
}

// NOLINTNEXTLINE(cert-dcl50-cpp): printf formats are the commands' own, checked by the compiler.
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

}  // namespace quillet
