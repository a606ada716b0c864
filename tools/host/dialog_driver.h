// The `dialog` commands: they look at the dialogs a plug-in has open on the
// host's thread (normally its modal configuration dialog) and drive them
// control by control, as a user would, while the entry point that opened
// them waits in the dialog's message loop.
#pragma once

#include <string>

namespace host {

// Runs `dialog ARG`: show, type, select, check, press, shot or cancel. Logs one
// line per dialog, control or action, or an `error op="dialog"` line.
void RunDialogCommand(const std::string& arg);

}  // namespace host
