#pragma once
// The entries of the dialog's port list: "Disabled", "COM1" to "COM8", then
// every other port the system lists.

#include <string>
#include <vector>

namespace quillet {

// `system` as the system lists its serial ports, in any order, perhaps with
// repeats. Each port appears once: names "COM<n>" in number order after
// "COM8", then any other names in byte order. Names differing only in case
// are one port, as Windows opens them.
std::vector<std::string> ListedPorts(const std::vector<std::string>& system);

}  // namespace quillet
