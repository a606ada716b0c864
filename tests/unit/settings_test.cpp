#include "shell/settings.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace quillet {
namespace {

constexpr char kModule[] = "C:\\Winamp\\Plugins\\gen_quillet.dll";
constexpr char kIni[] = "C:\\Winamp\\Plugins\\plugin.ini";

struct SettingsFixture : ::testing::Test {
  SettingsFixture() { os.moduleFileName = kModule; }
  std::string Stored(const std::string& key) { return os.profiles[kIni]["Quillet"][key]; }
  fake::FakePlatform os;
};

TEST_F(SettingsFixture, MissingFileGivesDefaultsAndSaveCreatesBothKeys) {
  Settings settings;
  LoadSettings(os, 1, settings);
  EXPECT_EQ(settings.portName, "Disabled");
  EXPECT_EQ(settings.pluginMenus, 0);
  SaveSettings(os, 1, settings);
  ASSERT_EQ(os.profiles.count(kIni), 1u);
  EXPECT_EQ(os.profiles[kIni].size(), 1u);
  EXPECT_EQ(Stored("Port"), "Disabled");
  EXPECT_EQ(Stored("PluginMenus"), "0");
  EXPECT_EQ(os.profiles[kIni]["Quillet"].size(), 2u);
}

struct RoundTrip {
  const char* storedPort;
  const char* storedMode;
  const char* port;
  int mode;
  const char* writtenMode;
  // PauseOnCall as stored and written back; null: no such line.
  const char* storedPause = nullptr;
  int pause = 0;
  const char* writtenPause = nullptr;
};

TEST_F(SettingsFixture, ValuesRoundTripAsReadByPercentD) {
  const RoundTrip cases[] = {
      {"COM12", "0", "COM12", 0, "0"},
      {"COM3", "-1", "COM3", -1, "-1"},
      {"COM1", "2x", "COM1", 2, "2"},
      {"disabled", "x", "disabled", 0, "0"},
      {"", " 7", "", 7, "7"},
      {"\\\\.\\COM10", "+4", "\\\\.\\COM10", 4, "4"},
      {"COM2", "", "COM2", 0, "0"},
      {"COM2", "-", "COM2", 0, "0"},
      {"COM2", "99999999999", "COM2", 2147483647, "2147483647"},
      {"COM2", "-99999999999", "COM2", -2147483647 - 1, "-2147483648"},
      {"COM1", "0", "COM1", 0, "0", "1", 1, "1"},
      {"COM1", "0", "COM1", 0, "0", "0", 0, "0"},
      {"COM1", "0", "COM1", 0, "0", "", 0, "0"},
      {"COM1", "0", "COM1", 0, "0", "yes", 0, "0"},
      {"COM1", "0", "COM1", 0, "0", " 1 ", 1, "1"},
      {"COM1", "0", "COM1", 0, "0", "2x", 2, "2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.storedPort) + " / " + c.storedMode);
    fake::FakePlatform fresh;
    fresh.moduleFileName = kModule;
    fresh.profiles[kIni]["Quillet"]["Port"] = c.storedPort;
    fresh.profiles[kIni]["Quillet"]["PluginMenus"] = c.storedMode;
    if (c.storedPause) fresh.profiles[kIni]["Quillet"]["PauseOnCall"] = c.storedPause;
    Settings settings;
    LoadSettings(fresh, 1, settings);
    EXPECT_EQ(settings.portName, c.port);
    EXPECT_EQ(settings.pluginMenus, c.mode);
    EXPECT_EQ(settings.pauseOnCall, c.pause);
    SaveSettings(fresh, 1, settings);
    auto& section = fresh.profiles[kIni]["Quillet"];
    EXPECT_EQ(section["Port"], c.port);
    EXPECT_EQ(section["PluginMenus"], c.writtenMode);
    // A file without the line keeps without it.
    EXPECT_EQ(section.count("PauseOnCall"), c.writtenPause ? 1u : 0u);
    if (c.writtenPause) {
      EXPECT_EQ(section["PauseOnCall"], c.writtenPause);
    }
  }
}

TEST_F(SettingsFixture, RemoteKeysIsWrittenBackOnlyWhenTheFileHasIt) {
  const struct {
    const char* stored;  // null: no such line
    std::int32_t keys;
    const char* written;  // null: still no line
  } cases[] = {
      {nullptr, 0, nullptr}, {"1", 1, "1"},   {"0", 0, "0"},  {"", 0, "0"},
      {"on", 0, "0"},        {" 1 ", 1, "1"}, {"2x", 2, "2"}, {"-1", -1, "-1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "(none)");
    fake::FakePlatform fresh;
    fresh.moduleFileName = kModule;
    if (c.stored) fresh.profiles[kIni]["Quillet"]["RemoteKeys"] = c.stored;
    Settings settings;
    LoadSettings(fresh, 1, settings);
    EXPECT_EQ(settings.remoteKeys, c.keys);
    EXPECT_EQ(settings.pauseOnCall, 0);
    SaveSettings(fresh, 1, settings);
    auto& section = fresh.profiles[kIni]["Quillet"];
    EXPECT_EQ(section.count("RemoteKeys"), c.written ? 1u : 0u);
    if (c.written) {
      EXPECT_EQ(section["RemoteKeys"], c.written);
    }
    EXPECT_EQ(section.count("PauseOnCall"), 0u);
    EXPECT_EQ(section.size(), c.written ? 3u : 2u);  // Port, PluginMenus
  }
}

TEST_F(SettingsFixture, OtherSectionsAndKeysAreLeftAlone) {
  os.profiles[kIni]["Other"]["Port"] = "COM9";
  os.profiles[kIni]["Quillet"]["Extra"] = "kept";
  Settings settings;
  LoadSettings(os, 1, settings);
  EXPECT_EQ(settings.portName, "Disabled");
  SaveSettings(os, 1, settings);
  EXPECT_EQ(os.profiles[kIni]["Other"]["Port"], "COM9");
  EXPECT_EQ(Stored("Extra"), "kept");
}

TEST_F(SettingsFixture, OverlongPortNameIsCutToItsBuffer) {
  os.profiles[kIni]["Quillet"]["Port"] = std::string(400, 'P');
  Settings settings;
  LoadSettings(os, 1, settings);
  EXPECT_EQ(settings.portName, std::string(259, 'P'));
}

TEST(SettingsPath, FileLiesBesideTheModule) {
  struct Case {
    std::string module;
    std::string path;
  } cases[] = {
      {kModule, kIni},
      {"gen_quillet.dll", "plugin.ini"},
      {"C:\\gen_quillet.dll", "C:\\plugin.ini"},
      {"\\\\server\\share\\x\\gen_quillet.dll", "\\\\server\\share\\x\\plugin.ini"},
  };
  for (const auto& c : cases) {
    fake::FakePlatform os;
    os.moduleFileName = c.module;
    EXPECT_EQ(BuildSettingsPath(os, 1), c.path);
  }
}

TEST(SettingsPath, LongestModulePathStaysInItsFolder) {
  fake::FakePlatform os;
  std::string folder = "C:\\" + std::string(240, 'd') + "\\";
  os.moduleFileName = folder + std::string(100, 'm') + ".dll";  // cut to 259 by the OS call
  std::string path = BuildSettingsPath(os, 1);
  EXPECT_EQ(path, folder + "plugin.ini");
  Settings settings;
  settings.portName = "COM4";
  SaveSettings(os, 1, settings);
  EXPECT_EQ(os.profiles[path]["Quillet"]["Port"], "COM4");
}

}  // namespace
}  // namespace quillet
