#pragma once
// What the link says to the phone and the codes it listens for. The
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
// Sent after the set-up only when the user wants calls to pause the player.
constexpr char kCallMonitoringOn[] = "*ECAM=1";
// The calls going on, asked only of a phone that accepted "*ECAM=1".
constexpr char kListCalls[] = "+CLCC";
constexpr char kCallListReply[] = "+CLCC:";
// The last step of the set-up when the user wants titles in the phone's
// character set: the sets it offers, and the one chosen.
constexpr char kListCharsets[] = "+CSCS=?";
constexpr char kCharsetList[] = "+CSCS:";  // the list, and the set in use
// The phone's own set, read before Quillet first selects one, and put back.
constexpr char kReadCharset[] = "+CSCS?";
constexpr char kSelectCharset[] = "+CSCS=";  // then the set's name in quotes
// The newer accessory commands, asked about only when "*EAM" is refused;
// the menu goes under category 2, Entertainment.
constexpr char kNewerMenuTest[] = "*SEAM=?";
constexpr char kNewerRegisterMenu[] = "*SEAM=\"Winamp\",2";
constexpr char kNewerMenuReply[] = "*SEAM";  // then the item's id
// Key reports, on while the remote-keys screen is up, and off again.
constexpr char kKeyReportsOn[] = "+CMER=3,2,0,0,0";
constexpr char kKeyReportsOff[] = "+CMER=0,0,0,0,0";

// Unsolicited codes from the phone.
constexpr char kMenuActivated[] = "*EAAI";
constexpr char kMenuChoice[] = "*EAMI";
constexpr char kDialogAnswer[] = "*EAII";
constexpr char kCallStatus[] = "*ECAV";  // only once "*ECAM=1" was accepted
constexpr char kKeyReport[] = "+CKEV";   // only once "+CMER=3,2,0,0,0" was accepted
constexpr char kRing[] = "RING";         // the whole line: a call rings
constexpr char kCellularRing[] = "+CRING";
// The newer set's: the menu opened, an object answered, the focus moved.
constexpr char kNewerMenuOpened[] = "*SEAAI";
constexpr char kNewerAnswer[] = "*SEGUII";
constexpr char kNewerFocus[] = "*SESFI";
constexpr int kCodeLength = 5;  // the length of the accessory codes' names
// "*EAMI: %d" as the phone writes it.
constexpr char kMenuChoiceLead[] = "*EAMI:";

// The final results: the one that says a command succeeded, and the others.
constexpr char kOk[] = "OK";
constexpr char kError[] = "ERROR";
constexpr char kEquipmentError[] = "+CME ERROR";
constexpr char kMessageError[] = "+CMS ERROR";

}  // namespace quillet::phone
