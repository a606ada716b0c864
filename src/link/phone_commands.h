#pragma once
// Everything said to the phone and every code the plug-in listens for. The
// transaction adds "\r" "AT" before a command and "\r" after it.

namespace quillet::phone {

constexpr char kCommandPrefix[] = "AT";

// Connection set-up.
constexpr char kRegisterMenu[] = "*EAM=\"Winamp\"";
constexpr char kIndications[] = "+CNMI=3,1";
constexpr char kIndicationsFallback[] = "+CNMI=1,1";
constexpr char kErrorReporting[] = "+CMEE=1";
constexpr char kManufacturer[] = "+CGMI";
constexpr char kModel[] = "+CGMM";

// Accessory-menu pages, notices and input dialogs (printf formats).
constexpr char kShowMenuFormat[] = "*EASM=\"%s\", %c, %d, %d%s";
constexpr char kNoticeFormat[] = "*EAID=14,%c,\"%s\",\"%s\"";
constexpr char kLevelDialogFormat[] = "*EAID=4,2,\"%s\",%d,%d";
constexpr char kListDialogFormat[] = "*EAID=5,2,\"%s\",%d,%d";
constexpr char kSwitchDialogFormat[] = "*EAID=3,2,\"%s\",%d";
constexpr char kNumberDialogFormat[] = "*EAID=7,2,\"%s\",\"%s\",%d,%d,%d";
constexpr char kTextDialogFormat[] = "*EAID=11,2,\"%s\",\"%s\",%d,\"%s\"";

// Unsolicited codes from the phone.
constexpr char kMenuActivated[] = "*EAAI";
constexpr char kMenuChoice[] = "*EAMI";
constexpr char kMenuChoiceFormat[] = "*EAMI: %d";
constexpr char kDialogAnswer[] = "*EAII";
constexpr int kCodeLength = 5;  // the length of each code's name

// Final result lines.
constexpr char kOk[] = "OK";
constexpr char kError[] = "ERROR";

}  // namespace quillet::phone
