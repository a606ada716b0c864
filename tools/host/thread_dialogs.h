// Closing the dialogs a plug-in left open on the host's thread, so that an
// entry point blocked in a modal dialog returns.
#pragma once

namespace host {

// Sends IDCANCEL to every dialog window of the calling thread, logging each;
// returns how many there were.
int CancelThreadDialogs();

}  // namespace host
