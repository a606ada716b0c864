#include "shell/settings.h"

#include <cctype>
#include <limits>

namespace quillet {
namespace {

constexpr char kSection[] = "Quillet";
constexpr char kPortKey[] = "Port";
constexpr char kPluginMenusKey[] = "PluginMenus";
constexpr char kPauseOnCallKey[] = "PauseOnCall";
constexpr char kRemoteKeysKey[] = "RemoteKeys";
constexpr char kFileName[] = "plugin.ini";

}  // namespace

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
  settings.portName = os.GetProfileString(kSection, kPortKey, kPortDisabled, path, kPathCapacity);
  std::string mode = os.GetProfileString(kSection, kPluginMenusKey, "0", path, kPathCapacity);
  settings.pluginMenus = ParseLeadingInt(mode, settings.pluginMenus);
  // The profile functions tell a missing key only by the default they give
  // back: a key that is there reads the same under two different defaults.
  std::string pause = os.GetProfileString(kSection, kPauseOnCallKey, "0", path, kPathCapacity);
  settings.pauseOnCallStored =
      pause == os.GetProfileString(kSection, kPauseOnCallKey, "1", path, kPathCapacity);
  settings.pauseOnCall = ParseLeadingInt(pause, 0);
  std::string keys = os.GetProfileString(kSection, kRemoteKeysKey, "0", path, kPathCapacity);
  settings.remoteKeysStored =
      keys == os.GetProfileString(kSection, kRemoteKeysKey, "1", path, kPathCapacity);
  settings.remoteKeys = ParseLeadingInt(keys, 0);
}

void SaveSettings(Platform& os, Handle moduleInstance, const Settings& settings) {
  const std::string path = BuildSettingsPath(os, moduleInstance);
  os.WriteProfileString(kSection, kPortKey, settings.portName, path);
  // std::to_string of an int is exactly "%d".
  os.WriteProfileString(kSection, kPluginMenusKey, std::to_string(settings.pluginMenus), path);
  if (settings.pauseOnCallStored)
    os.WriteProfileString(kSection, kPauseOnCallKey, std::to_string(settings.pauseOnCall), path);
  if (settings.remoteKeysStored)
    os.WriteProfileString(kSection, kRemoteKeysKey, std::to_string(settings.remoteKeys), path);
}

}  // namespace quillet
