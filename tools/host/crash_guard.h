// Reports a crash anywhere in the process as one log line, then ends the
// process with exit code 3. It remembers where unloaded plug-ins lay, so a
// plug-in thread that outlives its module shows up as such.
#pragma once

#include <windows.h>

#include <string>

namespace host {

constexpr int kCrashExitCode = 3;

void InstallCrashGuard();
// Call before FreeLibrary: remembers the module's address range.
void RememberModuleRange(HMODULE module, const std::string& path);

}  // namespace host
