#include "shell/settings.h"

#include <cctype>
#include <limits>

#include "link/phone_charset.h"

namespace quillet {
namespace {

constexpr char kSection[] = "Quillet";
constexpr char kFileName[] = "plugin.ini";

std::string OnOff(std::int32_t value) {
  return value != 0 ? "1" : "0";
}

// The port as it is opened: "COM3", "com3:" and " COM3" are one port.
std::string PortMeaning(const Settings& s) {
  std::string path = DevicePath(s.portName);
  for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s.portName == kPortDisabled ? std::string(kPortDisabled) : path;
}

// std::to_string of an int is exactly "%d".
const SettingRow kRows[] = {
    {"Port", kPortDisabled, [](Settings& s, const std::string& text) { s.portName = text; },
     [](const Settings& s) { return s.portName; }, nullptr, ApplyEffect::kReconnect, PortMeaning},
    // A text without a leading number leaves the default.
    {"PluginMenus", "0",
     [](Settings& s, const std::string& text) { s.pluginMenus = ParseLeadingInt(text, 0); },
     [](const Settings& s) { return std::to_string(s.pluginMenus); }, nullptr,
     ApplyEffect::kNextOpening, [](const Settings& s) { return std::to_string(s.pluginMenus); }},
    {"PauseOnCall", "0",
     [](Settings& s, const std::string& text) { s.pauseOnCall = ParseLeadingInt(text, 0); },
     [](const Settings& s) { return std::to_string(s.pauseOnCall); }, &Settings::pauseOnCallStored,
     ApplyEffect::kSetUpAgain, [](const Settings& s) { return OnOff(s.pauseOnCall); }},
    {"RemoteKeys", "0",
     [](Settings& s, const std::string& text) { s.remoteKeys = ParseLeadingInt(text, 0); },
     [](const Settings& s) { return std::to_string(s.remoteKeys); }, &Settings::remoteKeysStored,
     ApplyEffect::kSetUpAgain, [](const Settings& s) { return OnOff(s.remoteKeys); }},
    // Any name is kept as it stands: the set-up decides what it can use.
    {"Charset", "", [](Settings& s, const std::string& text) { s.charset = text; },
     [](const Settings& s) { return s.charset; }, &Settings::charsetStored,
     ApplyEffect::kSetUpAgain,
     [](const Settings& s) {
       return std::to_string(static_cast<int>(ParseCharsetWish(s.charset)));
     }},
    {"FindTrack", "0",
     [](Settings& s, const std::string& text) { s.findTrack = ParseLeadingInt(text, 0); },
     [](const Settings& s) { return std::to_string(s.findTrack); }, &Settings::findTrackStored,
     ApplyEffect::kNextOpening, [](const Settings& s) { return OnOff(s.findTrack); }},
    {"FollowTrack", "0",
     [](Settings& s, const std::string& text) { s.followTrack = ParseLeadingInt(text, 0); },
     [](const Settings& s) { return std::to_string(s.followTrack); }, &Settings::followTrackStored,
     ApplyEffect::kNextOpening, [](const Settings& s) { return OnOff(s.followTrack); }},
    {"PlayModes", "0",
     [](Settings& s, const std::string& text) { s.playModes = ParseLeadingInt(text, 0); },
     [](const Settings& s) { return std::to_string(s.playModes); }, &Settings::playModesStored,
     ApplyEffect::kNextOpening, [](const Settings& s) { return OnOff(s.playModes); }},
    {"PauseWhenAway", "0",
     [](Settings& s, const std::string& text) { s.pauseWhenAway = ParseLeadingInt(text, 0); },
     [](const Settings& s) { return std::to_string(s.pauseWhenAway); },
     // The monitor takes it at a set-up: a phone already there is watched
     // from the next one, so Apply sets the link up again.
     &Settings::pauseWhenAwayStored, ApplyEffect::kSetUpAgain,
     [](const Settings& s) { return OnOff(s.pauseWhenAway); }},
    {"Library", "0",
     [](Settings& s, const std::string& text) { s.library = ParseLeadingInt(text, 0); },
     [](const Settings& s) { return std::to_string(s.library); }, &Settings::libraryStored,
     ApplyEffect::kNextOpening, [](const Settings& s) { return OnOff(s.library); }},
};

}  // namespace

const SettingRow* SettingsTable(std::size_t* count) {
  *count = sizeof kRows / sizeof kRows[0];
  return kRows;
}

std::string BuildSettingsPath(Platform& os, Handle moduleInstance) {
  std::string module = os.GetModuleFileName(moduleInstance, kPathCapacity);
  std::size_t slash = module.rfind('\\');
  std::string directory = slash == std::string::npos ? std::string() : module.substr(0, slash + 1);
  // The module name is at most 259 bytes, so the path may exceed that by the
  // file name; it is handed on whole rather than cut into another folder.
  return directory + kFileName;
}

std::int32_t ParseLeadingInt(const std::string& text, std::int32_t fallback) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return fallback;
  long long value = 0;
  constexpr long long kLimit = static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max())
    value = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

void LoadSettings(Platform& os, Handle moduleInstance, Settings& settings) {
  const std::string path = BuildSettingsPath(os, moduleInstance);
  for (const SettingRow& row : kRows) {
    const std::string text =
        os.GetProfileString(kSection, row.key, row.fallback, path, kPathCapacity);
    if (row.stored) {
      // The profile functions tell a missing key only by the default they
      // give back: a key that is there reads the same under two defaults.
      const std::string other = std::string(row.fallback) + "?";
      settings.*row.stored =
          text == os.GetProfileString(kSection, row.key, other, path, kPathCapacity);
    }
    row.read(settings, text);
  }
}

bool SaveSettings(Platform& os, Handle moduleInstance, const Settings& settings) {
  const std::string path = BuildSettingsPath(os, moduleInstance);
  bool written = true;
  for (const SettingRow& row : kRows) {
    if (row.stored && !(settings.*row.stored)) continue;
    written = os.WriteProfileString(kSection, row.key, row.write(settings), path) && written;
  }
  return written;
}

ApplyEffect EffectOfChange(const Settings& current, const Settings& next) {
  ApplyEffect effect = ApplyEffect::kNextOpening;
  for (const SettingRow& row : kRows)
    if (row.effect > effect && row.meaning(current) != row.meaning(next)) effect = row.effect;
  return effect;
}

}  // namespace quillet
