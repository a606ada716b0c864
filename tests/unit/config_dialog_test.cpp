#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "plugin_entries.h"
#include "shell/plugin.h"
#include "shell/port_list.h"

namespace quillet {
namespace {

// The plug-in's dialog on the fake platform; the script plays the user.
struct ConfigDialogFixture : ::testing::Test {
  ConfigDialogFixture() : plugin(os, testing::kNoEntries) {
    os.moduleFileName = "C:\\P\\gen_quillet.dll";
    record = plugin.HandOutRecord();
    record->hostWindow = reinterpret_cast<void*>(0x1234);
    record->moduleInstance = reinterpret_cast<void*>(0x400000);
  }
  void Start(const std::string& port) {
    os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"] = port;
    plugin.Init();
    // The monitor thread's first set-up ends before the user acts.
    os.RunFor(1);
  }
  // Runs the dialog with `script` as the user.
  void Open(std::function<void(DialogProcedure&, Handle)> script) {
    os.dialogScript = std::move(script);
    plugin.Config();
  }
  // Set-ups the monitor thread has begun, from the trace.
  std::size_t SetUps() {
    const std::string& trace = os.files["t.log"];
    std::size_t n = 0;
    for (std::size_t at = 0; (at = trace.find("OnInit", at)) != std::string::npos; ++at) ++n;
    return n;
  }
  fake::FakePlatform os;
  Plugin plugin;
  PluginRecord* record = nullptr;
};

TEST_F(ConfigDialogFixture, ListsThePortsAndSelectsTheStoredOne) {
  const std::vector<std::string> ports = {"Disabled", "COM1", "COM2", "COM3", "COM4",
                                          "COM5",     "COM6", "COM7", "COM8"};
  struct Case {
    std::string stored;
    int selected;  // -1: none
  };
  for (const Case& c :
       {Case{"COM3", 3}, Case{"Disabled", 0}, Case{"COM12", -1}, Case{"com3", -1}}) {
    Start(c.stored);
    Open([&](DialogProcedure& dialog, Handle h) { dialog.OnCommand(h, kCancelButtonId); });
    EXPECT_EQ(os.dialog.templateId, 102);
    EXPECT_EQ(os.dialog.owner, Handle{0x1234});
    EXPECT_EQ(os.dialog.comboItems[kPortComboId], ports);
    EXPECT_EQ(
        os.dialog.comboSelection.count(kPortComboId) ? os.dialog.comboSelection[kPortComboId] : -1,
        c.selected);
    EXPECT_EQ(os.dialog.texts[kPortComboId], c.stored) << "the edit field shows the stored name";
    EXPECT_TRUE(os.dialog.ended);
    plugin.Quit();
  }
}

TEST_F(ConfigDialogFixture, OkWithoutEditsKeepsAnUnlistedPort) {
  os.environment["QUILLET_TRACE"] = "t.log";
  Start("COM12");
  const std::size_t setUps = SetUps();
  Open([&](DialogProcedure& dialog, Handle h) { dialog.OnCommand(h, kOkButtonId); });
  EXPECT_EQ(plugin.PortName(), "COM12");
  os.RunFor(5000);
  EXPECT_EQ(SetUps(), setUps) << "an unchanged name leaves the link alone";
  plugin.Quit();
  EXPECT_EQ(os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"], "COM12");
}

TEST_F(ConfigDialogFixture, ApplyHandsANewPortToTheMonitorAndCancelKeepsIt) {
  os.environment["QUILLET_TRACE"] = "t.log";
  os.AddDevice("COM5");  // no phone: the link stands by there
  Start("COM3");         // no such port
  ASSERT_EQ(plugin.link().status.Text(), "Comport busy.");
  Open([&](DialogProcedure& dialog, Handle h) {
    const std::size_t setUps = SetUps();
    os.dialog.texts[kPortComboId] = "COM3";
    dialog.OnCommand(h, kApplyButtonId);
    os.RunFor(5000);
    EXPECT_EQ(SetUps(), setUps) << "the same name wakes nothing";
    os.dialog.texts[kPortComboId] = "COM5";
    dialog.OnCommand(h, kApplyButtonId);
    EXPECT_FALSE(os.dialog.ended) << "Apply leaves the dialog open";
    // Set up again at once, not at the next 10 s retry.
    EXPECT_TRUE(os.RunUntil(
        [&] { return plugin.link().status.Text() == "Standing by for connection."; }, 1000));
    EXPECT_EQ(os.dialog.postedUpdates, 1) << "the open dialog was told";
    dialog.OnStatusUpdate(h);
    EXPECT_EQ(os.dialog.texts[kStatusControlId], "Standing by for connection.");
    dialog.OnCommand(h, kCancelButtonId);
  });
  EXPECT_EQ(plugin.PortName(), "COM5");
  plugin.Quit();
  EXPECT_EQ(os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"], "COM5");
}

TEST_F(ConfigDialogFixture, StatusChangesArePostedAndShownByTheDialogsThread) {
  Start("Disabled");
  ASSERT_TRUE(os.RunUntil([&] { return plugin.link().status.Text() == "Disabled."; }, 5000));
  Open([&](DialogProcedure& dialog, Handle h) {
    EXPECT_EQ(os.dialog.texts[kStatusControlId], "Disabled.") << "shown at once";
    const std::size_t written = os.controlTexts.size();
    plugin.link().status.SetStatus("Comport busy.");
    EXPECT_EQ(os.controlTexts.size(), written) << "the setter never writes the control";
    EXPECT_EQ(os.dialog.postedUpdates, 1);
    dialog.OnStatusUpdate(h);
    EXPECT_EQ(os.dialog.texts[kStatusControlId], "Comport busy.");
    dialog.OnCommand(h, kCancelButtonId);
    // An update posted before the cancel but arriving after it writes nothing.
    plugin.link().status.SetStatus("Standing by for connection.");
    EXPECT_EQ(os.dialog.postedUpdates, 1);
    dialog.OnStatusUpdate(h);
    EXPECT_EQ(os.dialog.texts[kStatusControlId], "Comport busy.");
  });
  plugin.Quit();
}

TEST_F(ConfigDialogFixture, QuitWhileTheDialogIsOpenEndsItCleanly) {
  Start("COM3");
  Open([&](DialogProcedure& dialog, Handle h) {
    plugin.Quit();  // the host quits from inside the dialog's loop
    EXPECT_TRUE(os.dialog.ended);
    EXPECT_FALSE(plugin.running());
    EXPECT_FALSE(plugin.configDialog().open());
    // Messages already queued for the dialog change nothing and wake nothing.
    plugin.link().status.SetStatus("Disabled.");
    EXPECT_EQ(os.dialog.postedUpdates, 0);
    os.dialog.texts[kPortComboId] = "COM7";
    dialog.OnCommand(h, kApplyButtonId);
  });
  EXPECT_EQ(os.OpenHandles().size(), 0u) << "every event and the thread are closed";
  EXPECT_EQ(os.badCloses, 0);
}

TEST_F(ConfigDialogFixture, HoweverTheDialogEndsNoUpdateFollowsItsHandle) {
  const std::vector<std::pair<const char*, std::function<void(DialogProcedure&, Handle)>>> endings =
      {{"OK", [](DialogProcedure& d, Handle h) { d.OnCommand(h, kOkButtonId); }},
       {"Cancel or the close box",
        [](DialogProcedure& d, Handle h) { d.OnCommand(h, kCancelButtonId); }},
       {"quit", [this](DialogProcedure&, Handle) { plugin.Quit(); }},
       {"the owner destroyed under it", [](DialogProcedure&, Handle) {}}};
  for (const auto& [how, script] : endings) {
    Start("COM3");
    Open(script);
    plugin.link().status.SetStatus("Comport busy.");
    EXPECT_EQ(os.dialog.postsAfterDestroy, 0) << how;
    EXPECT_FALSE(plugin.configDialog().open()) << how;
    plugin.Quit();
  }
}

TEST_F(ConfigDialogFixture, ConfigBeforeInitOnlyStoresTheName) {
  Open([&](DialogProcedure& dialog, Handle h) {
    os.dialog.texts[kPortComboId] = "COM2";
    dialog.OnCommand(h, kOkButtonId);
  });
  EXPECT_EQ(plugin.PortName(), "COM2");
  EXPECT_TRUE(os.OpenHandles().empty());
}

constexpr char kIni[] = "C:\\P\\plugin.ini";

TEST(PortList, SystemPortsFollowTheFixedOnesInNumberOrder) {
  const std::vector<std::string> fixed = {"Disabled", "COM1", "COM2", "COM3", "COM4",
                                          "COM5",     "COM6", "COM7", "COM8"};
  struct Case {
    std::vector<std::string> system;
    std::vector<std::string> added;
  };
  const Case cases[] = {
      {{}, {}},
      {{"COM1", "COM3"}, {}},
      {{"COM12", "COM3", "COM10", "com12", "COM9", "CNCA0", "", "COM12"},
       {"COM9", "COM10", "COM12", "CNCA0"}},
      {{"COM100", "COM20", "BTH0", "ABC"}, {"COM20", "COM100", "ABC", "BTH0"}},
      {{"disabled", "COM", "COMX1"}, {"COM", "COMX1"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> expected = fixed;
    expected.insert(expected.end(), c.added.begin(), c.added.end());
    EXPECT_EQ(ListedPorts(c.system), expected);
  }
}

// The dialog shows the settings in effect, and Apply, OK and Cancel put
// what the user did into effect and into the file.
struct EverySetting : ConfigDialogFixture {
  void Store(const std::map<std::string, std::string>& lines) {
    for (const auto& [key, value] : lines) os.profiles[kIni]["Quillet"][key] = value;
  }
  std::map<std::string, std::string>& File() { return os.profiles[kIni]["Quillet"]; }
  int MenusShown() { return os.dialog.comboSelection[kPluginMenusComboId]; }
};

TEST_F(EverySetting, ControlsShowTheStoredValues) {
  struct Case {
    std::map<std::string, std::string> stored;
    int menus;  // the entry selected
    bool pause, keys, charset;
  };
  const Case cases[] = {
      {{}, 0, false, false, false},
      {{{"PluginMenus", "2"}, {"PauseOnCall", "1"}, {"RemoteKeys", "1"}, {"Charset", "auto"}},
       1,
       true,
       true,
       true},
      {{{"PluginMenus", "1"}, {"Charset", "UTF-8"}}, 2, false, false, true},
      {{{"PluginMenus", "-1"}, {"PauseOnCall", "7"}, {"Charset", ""}}, 2, true, false, false},
  };
  for (const Case& c : cases) {
    os.profiles.clear();
    Store(c.stored);
    os.serialPorts = {"COM12"};
    Start("COM12");
    Open([&](DialogProcedure& dialog, Handle h) { dialog.OnCommand(h, kCancelButtonId); });
    EXPECT_EQ(os.dialog.comboItems[kPluginMenusComboId],
              (std::vector<std::string>{"Show custom menus directly", "Select which menu to use",
                                        "Ignore custom menus"}));
    EXPECT_EQ(MenusShown(), c.menus);
    EXPECT_EQ(os.dialog.checks[kPauseOnCallCheckId], c.pause);
    EXPECT_EQ(os.dialog.checks[kRemoteKeysCheckId], c.keys);
    EXPECT_EQ(os.dialog.checks[kCharsetCheckId], c.charset);
    EXPECT_EQ(os.dialog.comboItems[kPortComboId].back(), "COM12");
    EXPECT_EQ(os.dialog.comboSelection[kPortComboId], 9) << "a listed system port is selected";
    plugin.Quit();
  }
}

TEST_F(EverySetting, ApplyAndOkWriteAtOnceAndCancelKeepsWhatWasApplied) {
  using Lines = std::map<std::string, std::string>;
  struct Case {
    const char* what;
    const char* stored;  // "Key=value" besides Port=COM3, or ""
    std::function<void(fake::FakePlatform&)> user;
    int button;
    Lines written;  // the section right after the button, before any quit
    bool setUpAgain;
  };
  const auto line = [](const std::string& kv) {
    const std::size_t eq = kv.find('=');
    return kv.empty() ? Lines{} : Lines{{kv.substr(0, eq), kv.substr(eq + 1)}};
  };
  // The section a button writes: Port=COM3 and PluginMenus=0 unless `kv` says otherwise.
  const auto saved = [&](const std::string& kv) {
    Lines lines = line(kv);
    lines.insert({{"Port", "COM3"}, {"PluginMenus", "0"}});
    return lines;
  };
  const auto pick = [](int entry) {
    return [entry](fake::FakePlatform& os) {
      os.SetComboSelection(os.dialog.handle, kPluginMenusComboId, entry);
    };
  };
  const auto tick = [](int id, bool on) {
    return [id, on](fake::FakePlatform& os) { os.dialog.checks[id] = on; };
  };
  const auto nothing = [](fake::FakePlatform&) {};
  const auto port12 = [](fake::FakePlatform& os) { os.dialog.texts[kPortComboId] = "COM12"; };
  const auto port3 = [](fake::FakePlatform& os) { os.dialog.texts[kPortComboId] = " com3:"; };
  const auto readOnly = [](fake::FakePlatform& os) {
    os.profilesReadOnly = true;
    os.dialog.checks[kPauseOnCallCheckId] = true;
  };
  const int apply = kApplyButtonId, ok = kOkButtonId;
  const Case cases[] = {
      {"nothing changed: the lines the file had", "", nothing, apply, saved(""), false},
      {"calls ticked", "", tick(kPauseOnCallCheckId, true), apply, saved("PauseOnCall=1"), true},
      {"calls cleared", "PauseOnCall=2", tick(kPauseOnCallCheckId, false), ok,
       saved("PauseOnCall=0"), true},
      // The link acts on key reports from the next set-up on.
      {"keys ticked", "", tick(kRemoteKeysCheckId, true), ok, saved("RemoteKeys=1"), true},
      {"charset ticked", "", tick(kCharsetCheckId, true), apply, saved("Charset=auto"), true},
      // The menus take it at their next opening; the link stays as it is.
      {"find ticked", "", tick(kFindTrackCheckId, true), apply, saved("FindTrack=1"), false},
      {"follow ticked", "", tick(kFollowTrackCheckId, true), ok, saved("FollowTrack=1"), false},
      {"play modes ticked", "", tick(kPlayModesCheckId, true), apply, saved("PlayModes=1"), false},
      {"away cleared", "PauseWhenAway=1", tick(kPauseWhenAwayCheckId, false), apply,
       saved("PauseWhenAway=0"), true},
      {"library ticked", "", tick(kLibraryCheckId, true), ok, saved("Library=1"), false},
      {"a named charset left ticked", "Charset=8859-1", nothing, apply, saved("Charset=8859-1"),
       false},
      {"a named charset cleared", "Charset=8859-1", tick(kCharsetCheckId, false), apply,
       saved("Charset="), true},
      {"an odd mode left as shown", "PluginMenus=-1", pick(2), apply, saved("PluginMenus=-1"),
       false},
      {"the chooser picked", "PluginMenus=-1", pick(1), ok, saved("PluginMenus=2"), false},
      {"direct picked", "PluginMenus=2", pick(0), ok, saved(""), false},
      {"a new port", "", port12, apply, saved("Port=COM12"), true},
      {"the same port typed another way", "", port3, apply, saved("Port= com3:"), false},
      // Not saved, yet in effect; the user is told.
      {"the file cannot be written", "", readOnly, ok, {{"Port", "COM3"}}, true},
      {"cancel", "", tick(kPauseOnCallCheckId, true), kCancelButtonId, {{"Port", "COM3"}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    os.profiles.clear();
    os.files.clear();
    os.environment["QUILLET_TRACE"] = "t.log";
    Store(line(c.stored));
    Start("COM3");
    const std::size_t setUps = SetUps();
    const Settings before = plugin.settings();
    Open([&](DialogProcedure& dialog, Handle h) {
      c.user(os);
      dialog.OnCommand(h, c.button);
      EXPECT_EQ(File(), c.written) << "written at once";
      os.RunFor(100);
      EXPECT_EQ(SetUps() > setUps, c.setUpAgain);
      if (c.button == kApplyButtonId) dialog.OnCommand(h, kCancelButtonId);
    });
    if (c.button == kCancelButtonId) {
      EXPECT_EQ(plugin.settings().pauseOnCall, before.pauseOnCall);
      EXPECT_FALSE(plugin.settings().pauseOnCallStored);
    }
    EXPECT_EQ(os.messages, os.profilesReadOnly
                               ? std::vector<std::string>{"Quillet could not save its settings."}
                               : std::vector<std::string>{});
    const bool named = os.files["t.log"].find("could not write C:\\") != std::string::npos;
    EXPECT_EQ(named, os.profilesReadOnly) << os.files["t.log"];
    os.messages.clear();
    plugin.Quit();
    os.profilesReadOnly = false;
    if (c.button != kCancelButtonId) {
      EXPECT_EQ(File(), c.written) << "quit writes the same";
    }
  }
}

// Each box ticked and cleared again: what the link and the menus use
// follows from the next set-up on, without a restart.
TEST_F(EverySetting, EachBoxTakesEffectAtTheNextSetUp) {
  static const Menu kProbeRecord{};
  static const TextPlace kHeldProbe = TextPlace::Title(kProbeRecord);
  const struct {
    const char* name;
    int box;
    std::function<bool(Plugin&)> inEffect;
  } rows[] = {
      {"calls", kPauseOnCallCheckId,
       [](Plugin& p) { return p.link().callEvents == &p.menus()->calls; }},
      {"keys", kRemoteKeysCheckId,
       [](Plugin& p) {
         return p.link().keyEvents == &p.menus()->keys &&
                p.menus()->player.Wants(MainEntry::kRemoteKeys);
       }},
      // Texts held before a switch would show one title and play another.
      {"charset", kCharsetCheckId,
       [](Plugin& p) {
         return p.link().charsetWish == CharsetWish::kAuto &&
                p.menus()->texts.Of(kHeldProbe, "").empty();
       }},
      {"follow", kFollowTrackCheckId, [](Plugin& p) { return p.menus()->follower.Enabled(); }},
      {"away", kPauseWhenAwayCheckId,
       [](Plugin& p) { return p.link().awayEvents == &p.menus()->away; }},
      {"play modes", kPlayModesCheckId,
       [](Plugin& p) { return p.menus()->player.Wants(MainEntry::kRating); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Start("COM3");
    ASSERT_NE(plugin.menus(), nullptr);
    EXPECT_FALSE(row.inEffect(plugin));
    for (bool ticked : {true, false}) {
      plugin.menus()->texts.Hold(kHeldProbe, U"held");
      Open([&](DialogProcedure& dialog, Handle h) {
        EXPECT_EQ(os.dialog.checks[row.box], !ticked) << "shown as in effect";
        os.dialog.checks[row.box] = ticked;
        dialog.OnCommand(h, kOkButtonId);
      });
      os.RunFor(100);
      EXPECT_EQ(row.inEffect(plugin), ticked);
    }
    plugin.Quit();
  }
}

}  // namespace
}  // namespace quillet
