#include "link/line_fields.h"

#include <cstring>

namespace quillet {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsTerminator(char c) {
  return c == '\r' || c == '\n';
}

void SkipBlanks(const std::string& line, std::size_t* at) {
  while (*at < line.size() && IsBlank(line[*at])) ++*at;
}

bool StartsWithCode(const std::string& line, const char* code) {
  return line.compare(0, std::strlen(code), code) == 0;
}

bool SkipCode(const std::string& line, const char* code, std::size_t* at) {
  const std::size_t length = std::strlen(code);
  if (!StartsWithCode(line, code) || line.size() <= length || line[length] != ':') return false;
  *at = length + 1;
  SkipBlanks(line, at);
  return true;
}

}  // namespace quillet
