#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "control.h"
#include "fake_player.h"
#include "fake_port_phone.h"
#include "link/monitor.h"
#include "link/phone_link.h"
#include "menus/menu_items.h"
#include "platform/fake/fake_platform.h"
#include "platform/host_messages.h"
#include "player/track_follower.h"
#include "plugin_entries.h"
#include "set_up_sequence.h"
#include "shell/plugin.h"

namespace quillet {
namespace {

struct LifecycleFixture : ::testing::Test {
  LifecycleFixture() : plugin(os, testing::kNoEntries) {
    os.moduleFileName = "C:\\P\\gen_quillet.dll";
  }
  PluginRecord* Start() {
    PluginRecord* record = plugin.HandOutRecord();
    record->hostWindow = reinterpret_cast<void*>(0x1234);
    record->moduleInstance = reinterpret_cast<void*>(0x400000);
    EXPECT_EQ(plugin.Init(), 0);
    return record;
  }
  // Starts with a phone on COM1 whose driver wedges the monitor thread in the
  // set-up's first write.
  fake::FakeSerialDevice& StartWedged(bool ioOutlivesClose) {
    os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"] = "COM1";
    fake::FakeSerialDevice& device = os.AddDevice("COM1");
    device.SetDsr(true, 0);
    device.hangIo = true;
    device.ioOutlivesClose = ioOutlivesClose;
    Start();
    EXPECT_TRUE(os.RunUntil([&] { return !device.written().empty(); }, 1000));
    return device;
  }
  // Starts with `phone` on COM1, lets the set-up finish and opens the
  // accessory menu: the command the plug-in answered with.
  std::string StartAndOpenTheMenu(testing::FakePortPhone& phone) {
    os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"] = "COM1";
    phone.SetDsr(true);
    Start();
    const auto& history = phone.model().history();
    const std::size_t setUp = testing::SetUpCommands().size();
    EXPECT_TRUE(os.RunUntil([&] { return history.size() == setUp; }, 20000));
    phone.Now();
    phone.model().OpenAccessoryMenu();
    EXPECT_TRUE(os.RunUntil([&] { return history.size() == setUp + 1; }, 20000));
    return history.empty() ? std::string() : history.back();
  }
  fake::FakePlatform os;
  Plugin plugin;
};

TEST_F(LifecycleFixture, RecordIsHandedOutOnce) {
  PluginRecord* record = plugin.HandOutRecord();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->version, 16);
  EXPECT_STREQ(record->description, "Quillet v0.1");
  EXPECT_EQ(record->init, &testing::NoInit);
  EXPECT_EQ(record->config, &testing::NoConfig);
  EXPECT_EQ(record->quit, &testing::NoQuit);
  EXPECT_EQ(record->hostWindow, nullptr);
  EXPECT_EQ(record->moduleInstance, nullptr);
  EXPECT_EQ(plugin.HandOutRecord(), nullptr);
  EXPECT_EQ(plugin.HandOutRecord(), nullptr);
}

TEST_F(LifecycleFixture, InitRegistersTheFourNamesInOrderAndStartsTheThread) {
  Start();
  auto calls = os.HostCalls();
  ASSERT_EQ(calls.size(), 4u);
  const char* names[] = {"Quillet_QueryMenu", "Quillet_LoadMenu", "Quillet_ValueChanged",
                         "Quillet_MenuClosed"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(calls[i].posted);
    EXPECT_EQ(calls[i].msg, host::kWmUser);
    EXPECT_EQ(calls[i].lParam, 65536);
    EXPECT_EQ(calls[i].name, names[i]);
  }
  const MenuMessageIds& ids = plugin.menuMessages();
  EXPECT_EQ(ids.queryMenu, calls[0].result);
  EXPECT_EQ(ids.loadMenu, calls[1].result);
  EXPECT_EQ(ids.valueChanged, calls[2].result);
  EXPECT_EQ(ids.menuClosed, calls[3].result);
  EXPECT_NE(plugin.monitorThread(), kNoHandle);
  EXPECT_EQ(os.threadPriorities[plugin.monitorThread()], -2);
  EXPECT_FALSE(plugin.link().state.stopRequested);
  plugin.Quit();
}

TEST_F(LifecycleFixture, SettingsAreReadBeforeRegistration) {
  os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"] = "COM7";
  os.profiles["C:\\P\\plugin.ini"]["Quillet"]["PluginMenus"] = "3";
  Start();
  EXPECT_EQ(plugin.PortName(), "COM7");
  EXPECT_EQ(plugin.settings().pluginMenus, 3);
  plugin.Quit();
  // Looked at once the monitor thread, which sets it up, has ended.
  EXPECT_EQ(plugin.link().callEvents, nullptr);  // no PauseOnCall line: calls stay the phone's
  EXPECT_EQ(os.profiles["C:\\P\\plugin.ini"]["Quillet"].count("PauseOnCall"), 0u);
}

TEST_F(LifecycleFixture, QuitWithoutPortEndsTheThreadAndWritesSettings) {
  Start();
  Handle thread = plugin.monitorThread();
  plugin.Quit();
  EXPECT_TRUE(plugin.link().state.stopRequested);
  EXPECT_FALSE(os.IsOpen(thread));
  EXPECT_EQ(std::count(os.closedHandles.begin(), os.closedHandles.end(), thread), 1);
  // No port was opened; the only other handles are events, all closed by now.
  for (Handle h : os.closedHandles) EXPECT_TRUE(h == thread || os.HandleKind(h) == "event");
  EXPECT_EQ(os.OpenPortCount(), 0);
  EXPECT_EQ(os.badCloses, 0);
  EXPECT_EQ(os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"], "Disabled");
  EXPECT_EQ(os.profiles["C:\\P\\plugin.ini"]["Quillet"]["PluginMenus"], "0");
  EXPECT_EQ(plugin.link().status.Text(), "Disabled.");
  EXPECT_FALSE(plugin.running());
}

TEST_F(LifecycleFixture, OpeningTheAccessoryMenuShowsTheMainMenuFromThePlayer) {
  testing::FakePlayer player(os);
  player.titles = {"Intro", "12\" Mix\rAT+CFUN=0", "Outro"};
  player.position = 2;
  player.volume = 128;
  testing::FakePortPhone phone(os);
  EXPECT_EQ(StartAndOpenTheMenu(phone),
            "AT*EASM=\"Winamp menu\", 1, 1, 10,\"Prev: 12' Mix AT+CFUN=0\",\"Next: Intro\","
            "\"Play\",\"Pause\",\"Stop\",\"Track info\",\"Go to track: 3\",\"Playlist\","
            "\"Volume: 5\",\"Video window\"");
  plugin.Quit();
}

// With PauseOnCall=1 the set-up asks for calls, a call pauses the player and
// its end resumes it; a call that outlives the phone's connection is
// forgotten and never resumes the player.
TEST_F(LifecycleFixture, CallsPauseThePlayerWhenTheUserAsks) {
  testing::FakePlayer player(os);
  player.Entries(3);
  player.state = 1;
  auto& ini = os.profiles["C:\\P\\plugin.ini"]["Quillet"];
  ini["Port"] = "COM1";
  ini["PauseOnCall"] = "1";
  testing::FakePortPhone phone(os);
  phone.SetDsr(true);
  Start();
  auto& history = phone.model().history();
  const std::size_t setUp = testing::SetUpCommands().size();
  ASSERT_TRUE(os.RunUntil([&] { return history.size() == setUp + 1; }, 20000));
  EXPECT_EQ(history.back(), testing::CallCommands()[0]);
  phone.Now();
  EXPECT_EQ(phone.model().RingCall(""), "");
  ASSERT_TRUE(os.RunUntil([&] { return player.state == 3; }, 5000));
  phone.Now();
  EXPECT_EQ(phone.model().AnswerCall(0), "");
  EXPECT_EQ(phone.model().HangUpCall(0), "");
  ASSERT_TRUE(os.RunUntil([&] { return player.state == 1; }, 5000));

  phone.Now();
  EXPECT_EQ(phone.model().RingCall(""), "");
  ASSERT_TRUE(os.RunUntil([&] { return player.state == 3; }, 5000));
  phone.Now();
  phone.SetDsr(false);
  ASSERT_TRUE(os.RunUntil(
      [&] { return plugin.link().status.Text() == "Standing by for connection."; }, 5000));
  phone.Now();
  phone.SetDsr(true);
  // The set-up again, up to its call commands.
  const std::size_t again = testing::SetUpWithCalls().size() + setUp;
  ASSERT_TRUE(os.RunUntil([&] { return history.size() == again; }, 20000));
  phone.Now();
  EXPECT_EQ(phone.model().MissCall(), "");
  // The menu's answer comes after the report is dispatched.
  phone.Now();
  phone.model().OpenAccessoryMenu();
  ASSERT_TRUE(os.RunUntil([&] { return history.size() == again + 1; }, 5000));
  EXPECT_EQ(player.state, 3);
  EXPECT_EQ(std::count(player.commands.begin(), player.commands.end(), host::kCommandPause), 3);

  // Cleared during a call and ticked again before the next set-up: the
  // pause became the user's all the same, and the hang-up leaves it.
  player.state = 1;
  phone.Now();
  EXPECT_EQ(phone.model().RingCall(""), "");
  ASSERT_TRUE(os.RunUntil([&] { return player.state == 3; }, 5000));
  Settings next = plugin.CurrentSettings();
  next.pauseOnCall = 0;
  plugin.ApplySettings(next);
  next.pauseOnCall = 1;
  plugin.ApplySettings(next);
  const std::size_t mark = history.size();
  ASSERT_TRUE(
      os.RunUntil([&] { return history.size() > mark + 2 && history.back() == "AT+CLCC"; }, 20000));
  phone.Now();
  EXPECT_EQ(phone.model().HangUpCall(0), "");
  os.RunFor(3000);
  EXPECT_EQ(player.state, 3);
  plugin.Quit();
  EXPECT_EQ(ini["PauseOnCall"], "1");
}

// What Quillet turned on goes off again: the key reports when the setting is
// cleared with the key screen up (before the set-up's first command), and at
// quit, with the phone's own character set, within a second.
TEST_F(LifecycleFixture, ThePhoneIsLeftAsItWasFound) {
  testing::FakePlayer player(os);
  player.Entries(3);
  auto& ini = os.profiles["C:\\P\\plugin.ini"]["Quillet"];
  ini["Port"] = "COM1";
  ini["RemoteKeys"] = "1";
  ini["Charset"] = "UTF-8";
  testing::FakePortPhone phone(os);
  phone.SetDsr(true);
  Start();
  auto& history = phone.model().history();
  const auto sentAfter = [&](std::size_t from) {
    return std::vector<std::string>(history.begin() + static_cast<long>(from), history.end());
  };
  const auto openKeys = [&] {
    const std::size_t before = history.size();
    phone.Now();
    phone.model().OpenAccessoryMenu();
    EXPECT_TRUE(os.RunUntil([&] { return history.size() == before + 1; }, 5000));
    phone.Now();
    EXPECT_NE(phone::RunControl(phone.model(), "choose 11").kind,
              phone::ControlOutcome::Kind::Error);
    EXPECT_TRUE(os.RunUntil([&] { return plugin.menus()->keys.up(); }, 5000));
  };
  const std::size_t setUp = testing::SetUpWithCalls().size();
  ASSERT_TRUE(os.RunUntil([&] { return history.size() == setUp + 2; }, 20000));
  EXPECT_EQ(sentAfter(setUp), (std::vector<std::string>{"AT+CSCS?", "AT+CSCS=\"UTF-8\""}));
  openKeys();
  Settings cleared = plugin.CurrentSettings();
  cleared.remoteKeys = 0;
  std::size_t mark = history.size();
  plugin.ApplySettings(cleared);
  ASSERT_TRUE(os.RunUntil([&] { return history.size() >= mark + 2; }, 5000));
  EXPECT_EQ(sentAfter(mark)[0], "AT+CMER=0,0,0,0,0");
  EXPECT_EQ(sentAfter(mark)[1], testing::SetUpCommands()[0]);
  cleared.remoteKeys = 1;
  plugin.ApplySettings(cleared);
  ASSERT_TRUE(os.RunUntil([&] { return history.back() == "AT+CSCS=\"UTF-8\""; }, 20000));
  openKeys();
  // Quillet's own: no other program can signal or reset it by name.
  EXPECT_EQ(os.EventName(plugin.link().state.overlapped.event), "");
  const std::size_t written = phone.device().written().size();
  const std::uint64_t began = os.VirtualMs();
  plugin.Quit();
  EXPECT_LE(os.VirtualMs() - began, 1000u);
  EXPECT_EQ(phone.device().written().substr(written), "\rAT+CMER=0,0,0,0,0\r\rAT+CSCS=\"GSM\"\r");
}

// On a newer phone Quillet's object and session are taken off before a
// set-up again, a port change and quit, whatever is up; a blink sends
// nothing, and an answer on an object it left up takes that object off.
// A set-up again takes one path whichever setting asked for it, so the rows
// pair each screen with one of the settings.
TEST_F(LifecycleFixture, ANewerPhonesScreenIsTakenOffBeforeItIsLeft) {
  enum class Up { kList, kGauge, kKeyNotice };
  enum class Leave { kPauseOnCall, kRemoteKeys, kCharset, kPortChange, kQuit, kBlink };
  const struct {
    const char* what;
    Up up;
    Leave leave;
    bool wedged = false;  // the port's writes never end by themselves
  } rows[] = {
      {"list, pause on call applied", Up::kList, Leave::kPauseOnCall},
      {"gauge, remote keys applied", Up::kGauge, Leave::kRemoteKeys},
      {"key notice, remote keys cleared", Up::kKeyNotice, Leave::kRemoteKeys},
      {"key notice, charset applied", Up::kKeyNotice, Leave::kCharset},
      {"list, another port", Up::kList, Leave::kPortChange},
      {"key notice, another port", Up::kKeyNotice, Leave::kPortChange},
      {"list, quit", Up::kList, Leave::kQuit},
      {"key notice, quit", Up::kKeyNotice, Leave::kQuit},
      {"key notice, quit on a wedged port", Up::kKeyNotice, Leave::kQuit, true},
      {"list, a blink", Up::kList, Leave::kBlink},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fake::FakePlatform os;
    os.moduleFileName = "C:\\P\\gen_quillet.dll";
    Plugin plugin(os, testing::kNoEntries);
    testing::FakePlayer player(os);
    player.Entries(3);
    auto& ini = os.profiles["C:\\P\\plugin.ini"]["Quillet"];
    ini["Port"] = "COM1";
    ini["RemoteKeys"] = "1";
    ini["Charset"] = "";
    testing::FakePortPhone phone(os);
    phone.model().SetNewer(true);
    phone.SetDsr(true);
    PluginRecord* record = plugin.HandOutRecord();
    record->hostWindow = reinterpret_cast<void*>(0x1234);
    ASSERT_EQ(plugin.Init(), 0);
    const auto& history = phone.model().history();
    const auto& objects = phone.model().objects();
    const auto settled = [&] {
      return os.RunUntil([&] { return !history.empty() && history.back() == "AT+CGMM"; }, 20000);
    };
    const auto showMain = [&] {
      const std::size_t before = history.size();
      phone.Now();
      phone.model().OpenAccessoryMenu();
      return os.RunUntil(
          [&] { return history.size() > before && history.back().rfind("AT*SELIST", 0) == 0; },
          5000);
    };
    ASSERT_TRUE(settled());
    ASSERT_TRUE(showMain());
    if (row.up != Up::kList) {
      const std::size_t before = history.size();
      phone.Now();
      phone.model().ChooseEntry(row.up == Up::kGauge ? 9 : 11);
      const char* shows = row.up == Up::kGauge ? "AT*SEGAUGE" : "AT*SELERT";
      ASSERT_TRUE(os.RunUntil(
          [&] {
            for (std::size_t i = before; i < history.size(); ++i)
              if (history[i].rfind(shows, 0) == 0) return true;
            return false;
          },
          5000));
    }
    // The last transaction's answer is in.
    os.RunFor(1000);
    ASSERT_FALSE(objects.empty());
    const std::int32_t id = objects.back().id;
    const std::string deleteIt = "AT*SEDEL=" + std::to_string(id);
    std::vector<std::string> takenOff = {deleteIt, "AT*SEUIS=0"};
    if (row.up == Up::kKeyNotice) takenOff.insert(takenOff.begin(), "AT+CMER=0,0,0,0,0");
    const std::size_t mark = history.size();
    const std::size_t written = phone.device().written().size();
    Settings next = plugin.CurrentSettings();
    switch (row.leave) {
      case Leave::kPauseOnCall:
        next.pauseOnCall = 1;
        break;
      case Leave::kRemoteKeys:
        next.remoteKeys = row.up == Up::kKeyNotice ? 0 : 1;
        next.pauseOnCall = row.up == Up::kKeyNotice ? 0 : 1;
        break;
      case Leave::kCharset:
        next.charset = "auto";
        break;
      case Leave::kPortChange:
        next.portName = "COM2";
        break;
      case Leave::kQuit: {
        if (row.wedged) {
          // Idle, past the reads that follow the last answer: only quit's
          // own writes meet the wedged driver.
          os.RunFor(kLongestEventWaitMs);
          phone.device().hangIo = true;
        }
        const std::uint64_t began = os.VirtualMs();
        plugin.Quit();
        EXPECT_LE(os.VirtualMs() - began, kQuitWritesMs);
        EXPECT_FALSE(plugin.abandoned());
        std::string bytes;
        for (const std::string& command : takenOff) bytes += "\r" + command + "\r";
        EXPECT_EQ(phone.device().written().substr(written), bytes);
        continue;
      }
      case Leave::kBlink:
        phone.SetDsr(false);
        ASSERT_TRUE(os.RunUntil([&] { return !plugin.link().state.connected; }, 5000));
        phone.SetDsr(true);
        ASSERT_TRUE(settled());
        // Nothing reached the phone between the blink and the set-up.
        EXPECT_EQ(history[mark], "AT*EAM=\"Winamp\"");
        // The user answers on the list the blink left up: it goes, and so
        // does the session.
        phone.Now();
        phone.model().ChooseEntry(4);
        ASSERT_TRUE(os.RunUntil([&] { return history.back() == "AT*SEUIS=0"; }, 5000));
        EXPECT_EQ(history[history.size() - 2], deleteIt);
        EXPECT_TRUE(objects.empty());
        // Once taken off, the same answer again is another object's.
        phone.model().SendUnsolicited("*SEGUII: " + std::to_string(id) + ",5,4");
        os.RunFor(2000);
        EXPECT_EQ(history.back(), "AT*SEUIS=0");
        break;
    }
    if (row.leave != Leave::kBlink) {
      plugin.ApplySettings(next);
      ASSERT_TRUE(os.RunUntil([&] { return history.size() >= mark + takenOff.size(); }, 5000));
      EXPECT_EQ(
          std::vector<std::string>(history.begin() + static_cast<long>(mark),
                                   history.begin() + static_cast<long>(mark + takenOff.size())),
          takenOff);
      if (row.leave == Leave::kPortChange) {
        plugin.Quit();
        continue;
      }
      ASSERT_TRUE(settled());
    }
    // The next opening starts afresh, and a choice on it acts.
    ASSERT_TRUE(showMain());
    const std::size_t calls = os.HostCalls().size();
    phone.Now();
    phone.model().ChooseEntry(4);
    EXPECT_TRUE(os.RunUntil(
        [&] {
          const auto all = os.HostCalls();
          for (std::size_t i = calls; i < all.size(); ++i)
            if (all[i].posted && all[i].wParam == host::kCommandPause) return true;
          return false;
        },
        5000));
    plugin.Quit();
  }
}

// With FollowTrack=1 the player's window is watched and the main menu on the
// phone is sent again when a notice the player gives changes one of its
// entries, with the same entry selected, while it is known to be on the
// phone's screen; the box clear leaves the window and the wire alone.
TEST_F(LifecycleFixture, TheMainMenuFollowsThePlayer) {
  enum class Before {
    kNothing,
    kDialog,
    kKeyScreen,
    kCall,
    kSilence,
    kSilenceThenCode,
    kBack,
    kBareAnswer,
    kObjectLeft,
    kSubmenu,
    kLongTitles,
  };
  enum class Flow { kOnce, kTwiceInASecond, kPlaylistBurst };
  struct Tell {
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };
  constexpr std::uint32_t kUser = host::kWmUser;
  constexpr std::uint32_t kSysCommand = 0x0112;
  const struct {
    const char* what;
    bool newer;
    Tell tell;
    bool resent;
    Before before = Before::kNothing;
    Flow flow = Flow::kOnce;
    bool follow = true;      // FollowTrack=1
    bool byApply = false;    // ticked in the dialog after init
    bool moved = true;       // the player changed what the menu shows
    bool takenOver = false;  // another subclass went in front of ours before quit
  } rows[] = {
      {"box clear", false, {kUser, 0, 603}, false, Before::kNothing, Flow::kOnce, false},
      {"box clear, newer", true, {kUser, 0, 3003}, false, Before::kNothing, Flow::kOnce, false},
      {"title", false, {kUser, 0, 603}, true},
      {"title, ticked by apply",
       true,
       {kUser, 0, 603},
       true,
       Before::kNothing,
       Flow::kOnce,
       true,
       true},
      {"volume", true, {kUser, 1, 603}, true},
      {"status", false, {kUser, 2, 603}, true},
      {"rating", true, {kUser, 6, 603}, true},
      {"pause", false, {kUser, 7, 603}, true},
      {"unpause", true, {kUser, 8, 603}, true},
      {"equaliser: not watched", false, {kUser, 3, 603}, false},
      {"playing file", true, {kUser, 0, 3003}, true},
      {"playing file, wide", false, {kUser, 0, 13003}, true},
      {"repeat command", false, {host::kWmCommand, 40022, 0}, true},
      {"shuffle system command", true, {kSysCommand, 0x10000 + 40023, 0}, true},
      {"nothing the menu shows changed",
       false,
       {kUser, 0, 603},
       false,
       Before::kNothing,
       Flow::kOnce,
       true,
       false,
       false},
      {"two changes in a second",
       false,
       {kUser, 0, 603},
       true,
       Before::kNothing,
       Flow::kTwiceInASecond},
      {"two changes in a second, newer",
       true,
       {kUser, 0, 603},
       true,
       Before::kNothing,
       Flow::kTwiceInASecond},
      {"playlist burst", true, {kUser, 0, 3002}, true, Before::kNothing, Flow::kPlaylistBurst},
      {"a dialog up", false, {kUser, 0, 603}, false, Before::kDialog},
      {"a dialog up, newer", true, {kUser, 0, 603}, false, Before::kDialog},
      {"key screen up", false, {kUser, 0, 603}, false, Before::kKeyScreen},
      {"in a call", true, {kUser, 0, 603}, false, Before::kCall},
      {"older phone silent a minute", false, {kUser, 0, 603}, false, Before::kSilence},
      {"older phone silent a minute, then a choice",
       false,
       {kUser, 0, 603},
       true,
       Before::kSilenceThenCode},
      {"older phone went back", false, {kUser, 0, 603}, false, Before::kBack},
      {"older phone left with a bare answer", false, {kUser, 0, 603}, false, Before::kBareAnswer},
      {"newer object left", true, {kUser, 0, 603}, false, Before::kObjectLeft},
      {"a submenu shown", false, {kUser, 0, 603}, false, Before::kSubmenu},
      {"a page break would move", false, {kUser, 0, 603}, false, Before::kLongTitles},
      {"another subclass at quit",
       false,
       {kUser, 0, 603},
       true,
       Before::kNothing,
       Flow::kOnce,
       true,
       false,
       true,
       true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fake::FakePlatform os;
    os.moduleFileName = "C:\\P\\gen_quillet.dll";
    Plugin plugin(os, testing::kNoEntries);
    testing::FakePlayer player(os);
    player.Entries(3);
    player.state = 1;
    const std::string longer(36, 'x');
    if (row.before == Before::kLongTitles)
      player.titles = {"A" + longer, "B" + longer, "C" + longer};
    auto& ini = os.profiles["C:\\P\\plugin.ini"]["Quillet"];
    ini["Port"] = "COM1";
    if (row.follow && !row.byApply) ini["FollowTrack"] = "1";
    if (row.before == Before::kKeyScreen || row.before == Before::kLongTitles)
      ini["RemoteKeys"] = "1";
    if (row.before == Before::kLongTitles) ini["FindTrack"] = "1";
    if (row.before == Before::kCall) ini["PauseOnCall"] = "1";
    testing::FakePortPhone phone(os);
    phone.model().SetNewer(row.newer);
    phone.SetDsr(true);
    PluginRecord* record = plugin.HandOutRecord();
    record->hostWindow = reinterpret_cast<void*>(0x1234);
    ASSERT_EQ(plugin.Init(), 0);
    EXPECT_EQ(os.WatchedWindows(), row.follow && !row.byApply ? 1u : 0u);
    if (row.byApply) {
      Settings next = plugin.CurrentSettings();
      next.followTrack = 1;
      plugin.ApplySettings(next);
      EXPECT_EQ(os.WatchedWindows(), 1u);
    }
    const auto& history = phone.model().history();
    const char* listCode = row.newer ? "AT*SELIST" : "AT*EASM";
    const auto lists = [&](std::size_t from) {
      std::vector<std::string> found;
      for (std::size_t i = from; i < history.size(); ++i)
        if (history[i].rfind(listCode, 0) == 0) found.push_back(history[i]);
      return found;
    };
    const auto act = [&](const std::function<void()>& step) {
      const std::size_t before = history.size();
      phone.Now();
      step();
      return os.RunUntil([&] { return history.size() > before; }, 5000) && os.RunFor(1000);
    };
    ASSERT_TRUE(
        os.RunUntil([&] { return !history.empty() && history.back() == "AT+CGMM"; }, 20000));
    ASSERT_TRUE(act([&] { phone.model().OpenAccessoryMenu(); }));
    // "Play" keeps the main menu up with its entry selected.
    ASSERT_TRUE(act([&] { phone.model().ChooseEntry(3); }));
    switch (row.before) {
      case Before::kDialog:
        ASSERT_TRUE(act([&] { phone.model().ChooseEntry(7); }));
        break;
      case Before::kKeyScreen:
        ASSERT_TRUE(act([&] { phone.model().ChooseEntry(11); }));
        break;
      case Before::kCall:
        phone.Now();
        ASSERT_EQ(phone.model().RingCall("555"), "");
        ASSERT_TRUE(os.RunUntil([&] { return plugin.menus()->calls.InCall(); }, 5000));
        break;
      case Before::kSilence:
        os.RunFor(kOlderMenuSilenceMs);
        break;
      case Before::kSilenceThenCode:
        os.RunFor(kOlderMenuSilenceMs);
        ASSERT_TRUE(act([&] { phone.model().ChooseEntry(3); }));
        break;
      case Before::kBack:
        phone.Now();
        phone.model().ChooseEntry(0);
        ASSERT_TRUE(os.RunUntil(
            [&] { return plugin.menus()->protocol.screen() == MenuProtocol::Screen::kNothing; },
            5000));
        break;
      case Before::kBareAnswer:
        ASSERT_TRUE(act([&] { phone.model().SendUnsolicited("*EAII"); }));
        break;
      case Before::kObjectLeft:
        ASSERT_TRUE(act([&] { phone.model().Cancel(); }));
        break;
      case Before::kSubmenu:
        ASSERT_TRUE(act([&] { phone.model().ChooseEntry(8); }));
        break;
      default:
        break;
    }
    const std::vector<std::string> before = lists(0);
    ASSERT_FALSE(before.empty());
    const std::size_t mark = history.size();
    const std::size_t hostCalls = os.HostCalls().size();
    const auto tell = [&] {
      os.PlayerMessage(0x1234, row.tell.msg, row.tell.wParam, row.tell.lParam);
    };
    std::uint64_t lastTold = 0;
    if (row.moved) player.position = 1;
    if (row.before == Before::kLongTitles) player.titles = {"A", "B", "C"};
    if (row.before == Before::kSubmenu) player.titles[2] = "Other";
    if (row.flow == Flow::kTwiceInASecond) {
      // One look sends at once; the next two within the second wait for its
      // end and go as one, with the last state.
      tell();
      ASSERT_TRUE(os.RunUntil([&] { return lists(mark).size() == 1; }, 500));
      const std::uint64_t first = os.VirtualMs();
      os.RunFor(200);
      player.position = 2;
      tell();
      os.RunFor(300);
      player.position = 0;
      player.titles[1] = "Last";
      tell();
      ASSERT_TRUE(os.RunUntil([&] { return lists(mark).size() == 2; }, 3000));
      EXPECT_GE(os.VirtualMs() - first, kLeastResendGapMs);
      os.RunFor(3000);
      ASSERT_EQ(lists(mark).size(), 2u);
      EXPECT_NE(lists(mark)[1].find("Next: Last"), std::string::npos);
    } else if (row.flow == Flow::kPlaylistBurst) {
      for (int i = 0; i < 5; ++i) {
        tell();
        lastTold = os.VirtualMs();
        os.RunFor(100);
      }
      ASSERT_TRUE(os.RunUntil([&] { return !lists(mark).empty(); }, 3000));
      EXPECT_GE(os.VirtualMs() - lastTold, kPlaylistQuietMs);
      os.RunFor(3000);
      EXPECT_EQ(lists(mark).size(), 1u);
    } else {
      tell();
      os.RunFor(3000);
      const std::vector<std::string> after = lists(mark);
      ASSERT_EQ(after.size(), row.resent ? 1u : 0u);
      if (row.resent) {
        // The page as it was, but for the neighbours' labels.
        std::string expected = before.back();
        const auto swap = [&](const std::string& from, const std::string& to) {
          const std::size_t at = expected.find(from);
          ASSERT_NE(at, std::string::npos);
          expected.replace(at, from.size(), to);
        };
        swap("Prev: Track 3", "Prev: Track 1");
        swap("Next: Track 2", "Next: Track 3");
        swap("Go to track: 1", "Go to track: 2");
        EXPECT_EQ(after[0], expected);
      }
    }
    if (!row.follow) {
      EXPECT_EQ(os.HostCalls().size(), hostCalls);
    }
    if (row.before == Before::kDialog) {
      // The change waited for the dialog: the menu shown after it follows.
      ASSERT_TRUE(act([&] { phone.model().RejectDialog(); }));
      os.RunFor(2000);
      ASSERT_FALSE(lists(mark).empty());
      EXPECT_NE(lists(mark).back().find("Next: Track 3"), std::string::npos);
    }
    if (row.takenOver) os.TakeOverWindow(0x1234);
    plugin.Quit();
    EXPECT_EQ(os.WatchedWindows(), row.takenOver ? 1u : 0u);
    EXPECT_EQ(os.ForwardingOnly(), row.takenOver ? 1u : 0u);
    EXPECT_EQ(os.modulePinned, row.takenOver);
  }
}

TEST_F(LifecycleFixture, PluginMenusSetKeepsTheBuiltInMainMenu) {
  testing::FakePlayer player(os);
  Menu supplied{};
  MenuItem item{};
  SetFieldText(item.name, "Theirs");
  supplied.items = &item;
  supplied.count = 1;
  supplied.id = 1000;
  player.supplied[1000] = &supplied;
  os.profiles["C:\\P\\plugin.ini"]["Quillet"]["PluginMenus"] = "1";
  testing::FakePortPhone phone(os);
  const std::string head = "AT*EASM=\"Winamp menu\", 1, 1, 10,";
  EXPECT_EQ(StartAndOpenTheMenu(phone).substr(0, head.size()), head);
  for (const fake::HostCall& call : os.HostCalls())
    EXPECT_FALSE(call.lParam == plugin.menuMessages().loadMenu && call.wParam == 1000);
  plugin.Quit();
}

TEST_F(LifecycleFixture, QuitClosesAnOpenPortAndTheTraceOnce) {
  os.environment["QUILLET_TRACE"] = "t.log";
  os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"] = "COM1";
  os.AddDevice("COM1");  // DSR off: the port stays open, standing by
  Start();
  ASSERT_TRUE(plugin.link().trace.attached());
  plugin.Quit();
  EXPECT_EQ(os.OpenPortCount(), 0);
  EXPECT_EQ(plugin.link().state.port, kNoHandle);
  EXPECT_FALSE(plugin.link().trace.attached());
  EXPECT_EQ(os.badCloses, 0);
  EXPECT_EQ(os.overlappedMisuse, 0);
  EXPECT_EQ(plugin.link().status.Text(), "Standing by for connection.");
  EXPECT_NE(os.files["t.log"].find("info: OnInit started\r\ninfo: comport open.\r\n"),
            std::string::npos);
  EXPECT_EQ(os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"], "COM1");
}

TEST_F(LifecycleFixture, OnlyAChangedPortNameWakesTheMonitor) {
  os.environment["QUILLET_TRACE"] = "t.log";
  os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"] = "COM3";  // no such port
  os.AddDevice("COM1");                                          // DSR off
  Start();
  auto status = [&] { return plugin.link().status.Text(); };
  // As the user applies a name: typed into the dialog, then Apply.
  auto apply = [&](const std::string& name) {
    os.dialogScript = [&](DialogProcedure& dialog, Handle h) {
      os.dialog.texts[kPortComboId] = name;
      dialog.OnCommand(h, kApplyButtonId);
      dialog.OnCommand(h, kCancelButtonId);
    };
    plugin.Config();
  };
  ASSERT_TRUE(os.RunUntil([&] { return status() == "Comport busy."; }, 1000));
  const std::string traceBefore = os.files["t.log"];
  // The same name again: the monitor sleeps on (its next retry is 10 s off).
  apply("COM3");
  ASSERT_TRUE(os.RunFor(5000));
  EXPECT_EQ(os.files["t.log"], traceBefore);
  // Another name: woken at once, it sets the link up there.
  apply("COM1");
  ASSERT_TRUE(os.RunUntil([&] { return status() == "Standing by for connection."; }, 1000));
  EXPECT_EQ(os.OpenPortCount(), 1);
  EXPECT_NE(
      os.files["t.log"].find("info: OnInit called by MonitorDevice\r\ninfo: comport open.\r\n",
                             traceBefore.size()),
      std::string::npos);
  apply(std::string(300, 'C'));
  EXPECT_EQ(plugin.PortName(), std::string(259, 'C'));
  plugin.Quit();
  EXPECT_EQ(os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"], std::string(259, 'C'));
}

// A monitor thread wedged in a write. Closing the port ends the write, so the
// second wait sees the thread end; every handle is closed once, by its owner.
TEST_F(LifecycleFixture, QuitClosesThePortUnderAThreadStuckInIo) {
  StartWedged(false);
  plugin.Quit();
  EXPECT_FALSE(plugin.abandoned());
  EXPECT_FALSE(os.modulePinned);
  EXPECT_GE(os.VirtualMs(), kStopTimeoutMs);
  EXPECT_TRUE(os.OpenHandles().empty());
  EXPECT_EQ(os.badCloses, 0);
  EXPECT_EQ(os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"], "COM1");
}

// Not even closing the port frees the thread: quit writes the settings but
// leaves the thread everything it may still touch, and keeps the code loaded.
TEST_F(LifecycleFixture, QuitLeavesAThreadItCannotStopAllItUses) {
  os.environment["QUILLET_TRACE"] = "t.log";
  fake::FakeSerialDevice& device = StartWedged(true);
  const Handle wake = plugin.link().wakeEvent;
  const Handle linkEvent = plugin.link().state.overlapped.event;
  plugin.Quit();
  EXPECT_TRUE(plugin.abandoned());
  EXPECT_TRUE(os.modulePinned);
  EXPECT_TRUE(os.IsOpen(wake));
  EXPECT_TRUE(os.IsOpen(linkEvent));
  EXPECT_TRUE(plugin.link().trace.attached());
  EXPECT_NE(plugin.link().dialogLock, nullptr);
  EXPECT_EQ(os.badCloses, 0);
  EXPECT_EQ(os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"], "COM1");
  // Should the driver let go at last, the thread ends on its own and closes
  // its own events; nobody closes anything twice.
  device.ioOutlivesClose = false;
  device.hangIo = false;
  ASSERT_TRUE(os.RunUntilThreadsEnd(60000));
  EXPECT_FALSE(os.IsOpen(linkEvent));
  EXPECT_EQ(os.badCloses, 0);
}

TEST_F(LifecycleFixture, CloseLinkTwiceClosesEachHandleOnce) {
  os.AddDevice("COM2");
  PhoneLink link;
  TraceLog trace(os);
  trace.Attach(os.OpenAppendFile("x"));
  link.port = os.OpenPort("COM2");
  link.overlapped.event = os.CreateEvent(nullptr);
  CloseLink(os, link, trace);
  CloseLink(os, link, trace);
  EXPECT_EQ(os.closedHandles.size(), 3u);
  EXPECT_EQ(os.badCloses, 0);
  EXPECT_EQ(link.port, kNoHandle);
  EXPECT_EQ(link.overlapped.event, kNoHandle);
}

TEST_F(LifecycleFixture, QuitAndConfigAreHarmlessWhenNotRunning) {
  plugin.Config();
  plugin.Quit();
  EXPECT_TRUE(os.closedHandles.empty());
  EXPECT_TRUE(os.profiles.empty());
}

}  // namespace
}  // namespace quillet
