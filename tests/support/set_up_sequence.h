#pragma once
// The commands the link's set-up sends, for every test and bench that waits
// for a set-up or looks at what follows it. The lists are built from the
// link's own strings (link/phone_commands.h), so they follow a change there.
//
// The one copy written out by hand is `kSetUpsOnTheWire`: the set-up's bytes
// on the wire for each kind of phone. connection_setup_test.cpp checks the
// link's output against it, so a wrong string in phone_commands.h, or a
// command added, dropped or moved, fails there; the same test checks the
// lists below against the commands the phone received.

#include <string>
#include <vector>

#include "link/phone_commands.h"

namespace quillet::testing {

// The kinds of phone whose set-up differs on the wire.
enum class SetUpPhone {
  kOlder,               // accepts every command
  kIndicationsRefused,  // refuses "+CNMI=3,1", accepts "+CNMI=1,1"
  kMenusRefused,        // refuses "*EAM" and knows no newer commands either
  kNewer,               // refuses "*EAM", registers with "*SEAM"
};

struct WireSetUp {
  SetUpPhone phone;
  const char* bytes;
};

constexpr WireSetUp kSetUpsOnTheWire[] = {
    {SetUpPhone::kOlder, "\rAT*EAM=\"Winamp\"\r\rAT+CNMI=3,1\r\rAT+CMEE=1\r\rAT+CGMI\r\rAT+CGMM\r"},
    {SetUpPhone::kIndicationsRefused,
     "\rAT*EAM=\"Winamp\"\r\rAT+CNMI=3,1\r\rAT+CNMI=1,1\r\rAT+CMEE=1\r\rAT+CGMI\r\rAT+CGMM\r"},
    {SetUpPhone::kMenusRefused,
     "\rAT*EAM=\"Winamp\"\r\rAT*SEAM=?\r\rAT+CNMI=3,1\r\rAT+CMEE=1\r\rAT+CGMI\r\rAT+CGMM\r"},
    {SetUpPhone::kNewer,
     "\rAT*EAM=\"Winamp\"\r\rAT*SEAM=?\r\rAT*SEAM=\"Winamp\",2\r\rAT+CNMI=3,1\r\rAT+CMEE=1\r"
     "\rAT+CGMI\r\rAT+CGMM\r"},
};

// The row of `kSetUpsOnTheWire` for this kind of phone.
inline const char* SetUpBytes(SetUpPhone kind) {
  for (const WireSetUp& row : kSetUpsOnTheWire)
    if (row.phone == kind) return row.bytes;
  return "";
}

// What the set-up shows once it is done on the simulated phone, which calls
// itself "SimPhone" "QX-1".
constexpr char kConnectedStatus[] = "Ready and connected to SimPhone QX-1.";

// A command as the phone's history keeps it.
inline std::string At(const char* command) {
  return std::string(phone::kCommandPrefix) + command;
}

// The set-up of a phone that accepts every command, as the phone's history
// keeps it; on a newer phone, the newer registration after "*EAM".
inline std::vector<std::string> SetUpCommands(SetUpPhone kind = SetUpPhone::kOlder) {
  std::vector<std::string> commands{At(phone::kRegisterMenu)};
  if (kind == SetUpPhone::kMenusRefused || kind == SetUpPhone::kNewer)
    commands.push_back(At(phone::kNewerMenuTest));
  if (kind == SetUpPhone::kNewer) commands.push_back(At(phone::kNewerRegisterMenu));
  commands.push_back(At(phone::kIndications));
  if (kind == SetUpPhone::kIndicationsRefused) commands.push_back(At(phone::kIndicationsFallback));
  for (const char* command : {phone::kErrorReporting, phone::kManufacturer, phone::kModel})
    commands.push_back(At(command));
  return commands;
}

// What PauseOnCall=1 or RemoteKeys=1 adds to the end of the set-up on a phone
// that reports calls: call reports on, and the calls going on asked for.
inline std::vector<std::string> CallCommands() {
  return {At(phone::kCallMonitoringOn), At(phone::kListCalls)};
}

// The set-up followed by the call commands.
inline std::vector<std::string> SetUpWithCalls() {
  std::vector<std::string> commands = SetUpCommands();
  for (const std::string& command : CallCommands()) commands.push_back(command);
  return commands;
}

}  // namespace quillet::testing
