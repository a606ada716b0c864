#pragma once
// The settings kept between runs, in "plugin.ini" beside the module.

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/port_name.h"
#include "platform/platform.h"

namespace quillet {

constexpr std::size_t kPathCapacity = 260;  // bytes, terminator included

struct Settings {
  std::string portName = kPortDisabled;  // at most kPathCapacity - 1 bytes
  std::int32_t pluginMenus = 0;          // 0 lets other plug-ins supply the main menu
  std::int32_t pauseOnCall = 0;          // not 0: the phone's calls pause the player
  // The file has a PauseOnCall line: only then is it written back, so a file
  // without one stays without one.
  bool pauseOnCallStored = false;
  std::int32_t remoteKeys = 0;  // not 0: the main menu offers the phone's keys as a remote
  // The file has a RemoteKeys line, written back only then.
  bool remoteKeysStored = false;
};

// The module's directory followed by "plugin.ini".
std::string BuildSettingsPath(Platform& os, Handle moduleInstance);
void LoadSettings(Platform& os, Handle moduleInstance, Settings& settings);
void SaveSettings(Platform& os, Handle moduleInstance, const Settings& settings);

// The leading decimal number of `text` as "%d" reads it; `fallback` when there
// is none. Out-of-range numbers are clamped rather than left undefined.
std::int32_t ParseLeadingInt(const std::string& text, std::int32_t fallback);

}  // namespace quillet
