// Reads commands from standard input on a thread of its own (blocking reads
// of a pipe), and posts each line to the host's window as a heap copy that
// the window procedure takes over. At end of input it posts kEndOfInput.
#pragma once

#include <windows.h>

namespace host {

constexpr UINT kLineMessage = WM_APP + 1;  // lParam: char* from new[], NUL-terminated
constexpr UINT kEndOfInput = WM_APP + 2;

bool StartStdinReader(HWND window);

}  // namespace host
