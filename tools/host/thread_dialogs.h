// The dialogs a plug-in has open on the host's thread: closing them, so that
// an entry point blocked in a modal dialog returns, and finding them for the
// commands that look at and drive them (dialog_driver.h).
#pragma once

#include <windows.h>

#include <vector>

namespace host {

// Every dialog window of the calling thread, topmost first.
std::vector<HWND> ThreadDialogs();

// Sends IDCANCEL to every dialog window of the calling thread, logging each;
// returns how many there were.
int CancelThreadDialogs();

}  // namespace host
