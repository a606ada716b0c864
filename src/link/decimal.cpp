#include "link/decimal.h"

#include <cctype>
#include <climits>

namespace quillet {

bool ReadDecimal(std::string_view text, std::size_t* at, std::int32_t* value) {
  std::size_t i = *at;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
  long long number = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    number = number * 10 + (text[i] - '0');
    if (number > kLimit) number = kLimit;
  }
  if (negative) number = -number;
  *value = number > INT_MAX ? INT_MAX : static_cast<std::int32_t>(number);
  *at = i;
  return true;
}

}  // namespace quillet
