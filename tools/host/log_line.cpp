#include "log_line.h"

#include <cinttypes>
#include <cstdio>

namespace host {

std::string QuoteText(const char* bytes, size_t length) {
  std::string out;
  out.reserve(length + 2);
  out += '"';
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7e) {
      char esc[5];
      std::snprintf(esc, sizeof esc, "\\x%02X", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
  return out;
}

std::string QuoteText(const std::string& text) {
  return QuoteText(text.data(), text.size());
}

LogLine::LogLine(const char* event) : line_(event) {}

LogLine& LogLine::Word(const char* word) {
  line_ += ' ';
  line_ += word;
  return *this;
}

LogLine& LogLine::Num(const char* key, long long value) {
  return Token(key, std::to_string(value).c_str());
}

LogLine& LogLine::Hex(const char* key, uint64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%08" PRIX64, value);
  return Token(key, buf);
}

LogLine& LogLine::Token(const char* key, const char* token) {
  line_ += ' ';
  line_ += key;
  line_ += '=';
  line_ += token;
  return *this;
}

LogLine& LogLine::Text(const char* key, const std::string& text) {
  return Token(key, QuoteText(text).c_str());
}

}  // namespace host
