#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "plugin_entries.h"
#include "shell/plugin.h"

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

}  // namespace
}  // namespace quillet
