#pragma once
// What every command the menus send to the phone must look like: one line
// without control characters, quoted texts without quotes inside, and for a
// page, as many entries as it announces with the selected one among them.
// A violation ends the run.

#include <string>

namespace quillet::fuzzing {

[[noreturn]] void Fail(const char* why, const std::string& command);
void CheckPage(const std::string& command);
void CheckNotice(const std::string& command);
// Any command of the menus: a page, a notice or an input dialog.
void CheckCommand(const std::string& command);

}  // namespace quillet::fuzzing
