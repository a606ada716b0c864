#pragma once
// What the phone makes of one command, the text after "AT": its natural
// answer and the change it brings about. Pure: the model applies the change
// only when the command is answered "OK".

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "newer_objects.h"
#include "screen.h"

namespace quillet::phone {

// Value lines of query commands, keyed by the command in upper case ("+CGMI").
using ValueTable = std::map<std::string, std::vector<std::string>>;

ValueTable DefaultValues();

// The settings that the phone's own commands change.
struct Settings {
  bool echo = true;          // ATE
  int errorMode = 0;         // +CMEE: 0 plain "ERROR", 1 and 2 "+CME ERROR: n"
  bool callReports = false;  // *ECAM: report each change of a call with *ECAV
  // +CSCS: the sets offered (none: the command is refused) and the one
  // selected, "" for the phone's own default.
  std::vector<std::string> charsets = {"GSM", "IRA", "8859-1", "UTF-8", "UCS2"};
  std::string charset;
  bool keyReports = false;  // +CMER: report each key press and release with +CKEV
  // The accessory commands it speaks, set by no command: the older "*EA..."
  // ones, or only the newer "*SE..." ones.
  bool newer = false;
  // The most characters the newer phone's string input takes, as its
  // "*SESTRI=?" tells and its text fields show.
  std::int32_t textLimit = 100;
};

struct Interpretation {
  bool ok = false;
  std::vector<std::string> values;  // sent before "OK"
  std::string error;                // why it was refused

  std::optional<bool> echo;              // ATE0 / ATE1
  std::optional<int> errorMode;          // +CMEE=n
  std::optional<bool> callReports;       // *ECAM=0|1
  std::optional<std::string> charset;    // +CSCS="set"
  std::optional<bool> keyReports;        // +CMER=...
  std::optional<std::string> accessory;  // *EAM
  std::optional<MenuScreen> menu;        // *EASM
  std::optional<Dialog> dialog;          // *EAID
  std::optional<NewerChange> newer;      // *SE...
};

Interpretation Interpret(std::string_view command, const ValueTable& values,
                         const Settings& settings);

std::string UpperCase(std::string_view text);

}  // namespace quillet::phone
