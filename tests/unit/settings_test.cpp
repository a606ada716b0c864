#include "shell/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// Every row of the table: the key absent, valid and unreadable, and what
// the file holds after a save (null: no such line).
TEST(SettingsTable, EveryKeyAbsentValidUnreadableAndWrittenBack) {
  std::size_t count = 0;
  const SettingRow* rows = SettingsTable(&count);
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < count; ++i) keys.push_back(rows[i].key);
  EXPECT_EQ(keys, (std::vector<std::string>{"Port", "PluginMenus", "PauseOnCall", "RemoteKeys",
                                            "Charset", "FindTrack", "FollowTrack", "PlayModes",
                                            "PauseWhenAway", "Library"}));
  struct Case {
    const char* key;
    const char* stored;    // null: absent
    std::string inMemory;  // the value as its row writes it
    const char* written;   // null: absent after the save
  };
  const Case cases[] = {
      {"Port", nullptr, "Disabled", "Disabled"},
      {"Port", "COM12", "COM12", "COM12"},
      {"Port", "", "", ""},
      {"PluginMenus", nullptr, "0", "0"},
      {"PluginMenus", "2", "2", "2"},
      {"PluginMenus", "menus", "0", "0"},
      {"PauseOnCall", nullptr, "0", nullptr},
      {"PauseOnCall", "1", "1", "1"},
      {"PauseOnCall", "on", "0", "0"},
      {"RemoteKeys", nullptr, "0", nullptr},
      {"RemoteKeys", "1", "1", "1"},
      {"RemoteKeys", "-", "0", "0"},
      {"RemoteKeys", "0", "0", "0"},
      {"RemoteKeys", " 1 ", "1", "1"},
      {"Charset", nullptr, "", nullptr},
      {"Charset", "auto", "auto", "auto"},
      {"Charset", "8859-1", "8859-1", "8859-1"},
      {"Charset", "UTF-8", "UTF-8", "UTF-8"},
      {"Charset", "junk", "junk", "junk"},
      {"Charset", "", "", ""},
      {"Charset", "?", "?", "?"},
      {"FindTrack", nullptr, "0", nullptr},
      {"FindTrack", "1", "1", "1"},
      {"FindTrack", "by name", "0", "0"},
      {"FindTrack", "0", "0", "0"},
      {"FollowTrack", nullptr, "0", nullptr},
      {"FollowTrack", "1", "1", "1"},
      {"PlayModes", nullptr, "0", nullptr},
      {"PlayModes", "yes", "0", "0"},
      {"PauseWhenAway", nullptr, "0", nullptr},
      {"PauseWhenAway", "1", "1", "1"},
      {"Library", nullptr, "0", nullptr},
      {"Library", "1", "1", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + (c.stored ? c.stored : "(absent)"));
    fake::FakePlatform os;
    os.moduleFileName = kModule;
    if (c.stored) os.profiles[kIni]["Quillet"][c.key] = c.stored;
    Settings settings;
    LoadSettings(os, 1, settings);
    const SettingRow* row = nullptr;
    for (std::size_t i = 0; i < count; ++i)
      if (std::string(rows[i].key) == c.key) row = &rows[i];
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->write(settings), c.inMemory);
    os.profiles.clear();
    SaveSettings(os, 1, settings);
    auto& section = os.profiles[kIni]["Quillet"];
    ASSERT_EQ(section.count(c.key), c.written ? 1u : 0u);
    if (c.written) {
      EXPECT_EQ(section[c.key], c.written);
    }
    // Only the keys always written, and this one when it was there.
    EXPECT_EQ(section.size(), 2u + (c.written && row->stored ? 1u : 0u));
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
