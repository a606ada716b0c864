#pragma once
// The phone's keys: "+CMER=<mode>,<keyp>[,<disp>[,<ind>[,<bfr>]]]" turns
// their reports on (mode 3, keyp 2) and off, and while they are on every
// press and release goes out as "+CKEV: <key>,<1|0>".

#include <string>
#include <string_view>

namespace quillet::phone {

struct EventReporting {
  bool keyReports = false;
  std::string error;  // set when the arguments fit no reading
};

// The text after "+CMER=".
EventReporting ReadEventReporting(std::string_view args);
// "+CMER: <mode>,<keyp>,0,0,0" for "+CMER?".
std::string EventReportingValue(bool keyReports);

// One character of the keypad table, or ':' and one character for the
// maker's own keys.
bool IsKeyName(std::string_view key);
std::string KeyReportLine(std::string_view key, bool pressed);

}  // namespace quillet::phone
