#pragma once
// The settings kept between runs, in "plugin.ini" beside the module. Every
// key is one row of the table in settings.cpp: its default, how its text is
// read and written, and whether a file without it stays without it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/phone_charset.h"
#include "link/port_name.h"
#include "platform/platform.h"

namespace quillet {

constexpr std::size_t kPathCapacity = 260;  // bytes, terminator included

struct Settings {
  std::string portName = kPortDisabled;  // at most kPathCapacity - 1 bytes
  std::int32_t pluginMenus = 0;          // 0 lets other plug-ins supply the main menu
  std::int32_t pauseOnCall = 0;          // not 0: the phone's calls pause the player
  std::int32_t remoteKeys = 0;           // not 0: the phone's keys drive the player
  std::string charset;                   // empty: texts go out as they always did
  std::int32_t findTrack = 0;            // not 0: the main menu finds tracks by name
  std::int32_t followTrack = 0;          // not 0: the main menu on the phone follows the player
  std::int32_t playModes = 0;            // not 0: shuffle, repeat and rating in the main menu
  std::int32_t pauseWhenAway = 0;        // not 0: a phone gone silent pauses the player
  std::int32_t library = 0;              // not 0: the main menu browses the media library
  // The file has the line (or the user set the value in the dialog): only
  // then is it written back, so a file without one stays without one.
  bool pauseOnCallStored = false;
  bool remoteKeysStored = false;
  bool charsetStored = false;
  bool findTrackStored = false;
  bool followTrackStored = false;
  bool playModesStored = false;
  bool pauseWhenAwayStored = false;
  bool libraryStored = false;
};

// What applying a changed setting does, from least to most.
enum class ApplyEffect {
  kNextOpening,  // the menus take it the next time they are opened
  kSetUpAgain,   // the link is set up again on the same port, calls kept
  kReconnect,    // another port: the link starts afresh, calls forgotten
};

// One key of the section. `stored` is null for a key that is always written.
struct SettingRow {
  const char* key;
  const char* fallback;  // the text a missing key reads as
  void (*read)(Settings& settings, const std::string& text);
  std::string (*write)(const Settings& settings);
  bool Settings::*stored;
  ApplyEffect effect;
  // What the setting means: a change counts only when this differs.
  std::string (*meaning)(const Settings& settings);
};

// The rows, in the order they are read and written.
const SettingRow* SettingsTable(std::size_t* count);

// The module's directory followed by "plugin.ini".
std::string BuildSettingsPath(Platform& os, Handle moduleInstance);
void LoadSettings(Platform& os, Handle moduleInstance, Settings& settings);
// Writes every key that is always written or stored; false when the file
// could not be written.
bool SaveSettings(Platform& os, Handle moduleInstance, const Settings& settings);

// What putting `next` in place of `current` into effect takes.
ApplyEffect EffectOfChange(const Settings& current, const Settings& next);

// The leading decimal number of `text` as "%d" reads it; `fallback` when there
// is none. Out-of-range numbers are clamped rather than left undefined.
std::int32_t ParseLeadingInt(const std::string& text, std::int32_t fallback);

}  // namespace quillet
