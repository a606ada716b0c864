#pragma once
// The accessory-menu commands that show a menu page, a notice or an input
// dialog on the phone (printf formats; the link adds "AT").

namespace quillet::phone {

constexpr char kShowMenuFormat[] = "*EASM=\"%s\", %c, %d, %d%s";
constexpr char kNoticeFormat[] = "*EAID=14,%c,\"%s\",\"%s\"";
constexpr char kLevelDialogFormat[] = "*EAID=4,2,\"%s\",%d,%d";
constexpr char kListDialogFormat[] = "*EAID=5,2,\"%s\",%d,%d";
constexpr char kSwitchDialogFormat[] = "*EAID=3,2,\"%s\",%d";
constexpr char kNumberDialogFormat[] = "*EAID=7,2,\"%s\",\"%s\",%d,%d,%d";
// The blank dialog that stays up while the phone's keys drive the player.
constexpr char kHoldDialogFormat[] = "*EAID=13,2,\"%s\"";
constexpr char kTextDialogFormat[] = "*EAID=11,2,\"%s\",\"%s\",%d,\"%s\"";

}  // namespace quillet::phone

// The newer set: each list, alert and dialog is an object with an id that
// the phone gives back; what replaces it deletes it.
namespace quillet::phone::newer {

constexpr char kSessionStart[] = "*SEUIS=1";
constexpr char kSessionEnd[] = "*SEUIS=0";
constexpr char kDelete[] = "*SEDEL=%d";
// Title, type (3 a menu, 1 one of many), focus from 0, entries; then each
// entry as text, image, dimmed, selected, deletable.
constexpr char kList[] = "*SELIST=\"%s\",%d,%d,%d,0,1%s";
constexpr char kListEntry[] = ",\"%s\",%s,0,%d,0";
constexpr char kListReply[] = "*SELIST";
// Type 4: information, with a title.
constexpr char kAlert[] = "*SELERT=\"%s\",4,1,\"%s\"";
constexpr char kAlertReply[] = "*SELERT";
// Interactive 2: a level the user moves; the step, then the steps.
constexpr char kGauge[] = "*SEGAUGE=\"%s\",2,1,0,%d,%d";
constexpr char kGaugeReply[] = "*SEGAUGE";
constexpr char kOnOff[] = "*SEONO=\"%s\",%d,1";
constexpr char kOnOffReply[] = "*SEONO";
// Input mode 2 takes an integer, 0 any text.
constexpr char kNumberInput[] = "*SESTRI=\"%s\",\"%s\",\"%d\",0,2,1";
constexpr char kTextInput[] = "*SESTRI=\"%s\",\"%s\",\"%s\",0,0,1";
constexpr char kInputReply[] = "*SESTRI";
constexpr char kKeyScreenText[] = "Keys drive the player.";

}  // namespace quillet::phone::newer
