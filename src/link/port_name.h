#pragma once
// The port name the link is set up on (the settings' portName), "Disabled"
// or a name such as "COM3". The dialog replaces it on the host's thread while
// the monitor thread reads it; both go through the link's dialogLock.

#include <string>

namespace quillet {

constexpr char kPortDisabled[] = "Disabled";

struct Link;

// What the port named `name` is opened by: a plain name through the device
// namespace ("\\.\" + name), because Windows finds only COM1 to COM9 by
// their plain names and every port by that form; blanks around it and one
// trailing colon are dropped first, and a name left empty gives "" (no
// port). A name that already holds a backslash is a path the user chose,
// taken as it is.
std::string DevicePath(const std::string& name);

// A consistent copy of `stored`.
std::string ReadPortName(const Link& link, const std::string& stored);

// Replaces `stored` with `name`. When the name changed, the monitor thread is
// woken to drop the port and set the link up again on the new one.
void ChangePortName(Link& link, std::string& stored, const std::string& name);

}  // namespace quillet
