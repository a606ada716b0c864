#pragma once
// What every command the menus send to the phone must look like: one line
// without control characters, quoted texts without quotes inside, and for a
// page, as many entries as it announces with the selected one among them.
// The page rules need the menu the page shows as well: see CheckPageRules.
// A violation ends the run.

#include <string>

#include "menus/menu_protocol.h"

namespace quillet::fuzzing {

[[noreturn]] void Fail(const char* why, const std::string& command);
void CheckPage(const std::string& command);
void CheckNotice(const std::string& command);
// Any command of the menus: a page, a notice, an input dialog, or the key
// screen's reports turned on or off.
void CheckCommand(const std::string& command);
// A page `protocol` has just sent for `menu` against how pages are cut: a
// title over 15 characters shown as its first 12 and "...", pages cut from
// the first item on with at most 199 characters of entries each (an entry
// too long for that alone on its page), the page that holds the selection
// sent with it selected, "<<" and ">>" exactly where pages lie before and
// after, and the paging state that maps entry numbers back to items.
void CheckPageRules(const std::string& command, const Menu& menu, const MenuProtocol& protocol);

}  // namespace quillet::fuzzing
