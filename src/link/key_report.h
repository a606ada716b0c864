#pragma once
// A key of the phone going down or coming up, as the phone reports it once
// key reports are on ("+CMER=3,2,0,0,0"): "+CKEV: <key>,<press>", where the
// key is one character of the keypad table, or ':' and one character for
// the maker's own keys, and <press> is 1 for pressed, 0 for released.

#include <string>

namespace quillet {

struct KeyReport {
  std::string key;  // "6", ">", ":J"
  bool pressed = false;
};

// The line carries the "+CKEV" code, well formed or not.
bool IsKeyReport(const std::string& line);

// Reads a "+CKEV" line; the key may stand in double quotes, blanks may
// surround both fields. False, with `report` untouched, for an empty or
// longer key, a <press> other than 0 or 1, or anything after it.
bool ParseKeyReport(const std::string& line, KeyReport* report);

}  // namespace quillet
