// Small questions the host asks of its own process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace host {

// Threads the process has right now (-1 when it cannot tell).
int CountThreads();
// The system's text for an error code, on one line.
std::string ErrorText(DWORD code);
// Bytes from `address` on (at most `limit`) that can be read without a fault.
size_t ReadableBytes(intptr_t address, size_t limit);
// Copies the NUL-terminated text at `address` (at most `limit` bytes, and
// never past readable memory); false when none of it can be read.
bool ReadText(intptr_t address, std::string* text, size_t limit = 4096);
// File name of the module that contains `address`, or empty.
std::string ModuleNameAt(const void* address);

}  // namespace host
