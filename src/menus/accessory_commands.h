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
