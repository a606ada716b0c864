#include "link/key_report.h"

#include "link/line_fields.h"
#include "link/phone_commands.h"

namespace quillet {
namespace {

// A key is one character, or the maker's prefix and one character.
bool IsKeyText(const std::string& key) {
  if (key.size() == 1) return key[0] != ':';
  return key.size() == 2 && key[0] == ':';
}

}  // namespace

bool IsKeyReport(const std::string& line) {
  return StartsWithCode(line, phone::kKeyReport);
}

bool ParseKeyReport(const std::string& line, KeyReport* report) {
  std::size_t at = 0;
  if (!SkipCode(line, phone::kKeyReport, &at)) return false;
  // The key runs to the comma; "," itself is no key of the table.
  const std::size_t comma = line.find(',', at);
  if (comma == std::string::npos) return false;
  std::size_t end = comma;
  while (end > at && IsBlank(line[end - 1])) --end;
  std::string key = line.substr(at, end - at);
  if (key.size() >= 2 && key.front() == '"' && key.back() == '"')
    key = key.substr(1, key.size() - 2);
  if (!IsKeyText(key)) return false;
  at = comma + 1;
  SkipBlanks(line, &at);
  if (at >= line.size() || (line[at] != '0' && line[at] != '1')) return false;
  const bool pressed = line[at] == '1';
  ++at;
  SkipBlanks(line, &at);
  if (at != line.size()) return false;
  *report = KeyReport{key, pressed};
  return true;
}

}  // namespace quillet
