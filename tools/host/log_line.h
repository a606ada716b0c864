// Builds one line of the host's log: an event word, optional bare words and
// key=value fields. Texts are quoted and escaped so a line is plain ASCII.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace host {

// Quotes arbitrary bytes: backslash and double quote are escaped, bytes
// outside printable ASCII become \xNN.
std::string QuoteText(const char* bytes, size_t length);
std::string QuoteText(const std::string& text);

class LogLine {
 public:
  explicit LogLine(const char* event);

  LogLine& Word(const char* word);
  LogLine& Num(const char* key, long long value);
  LogLine& Hex(const char* key, uint64_t value);
  LogLine& Token(const char* key, const char* token);
  LogLine& Text(const char* key, const std::string& text);

  const std::string& str() const { return line_; }

 private:
  std::string line_;
};

}  // namespace host
