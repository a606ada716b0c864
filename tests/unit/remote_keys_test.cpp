// The phone's keys as a remote, with RemoteKeys=1: the "Remote keys" entry
// puts the hold dialog up and turns key reports on, "+CKEV" presses act on
// the fake player (held keys repeat on the virtual clock), and the dialog's
// end turns the reports off.

#include "player/remote_keys.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "chunkings.h"
#include "control.h"
#include "fake_player.h"
#include "fake_port_phone.h"
#include "link/key_report.h"
#include "link/monitor.h"
#include "link_fixture.h"
#include "platform/host_messages.h"
#include "plugin_entries.h"
#include "set_up_sequence.h"
#include "shell/plugin.h"

namespace quillet {
namespace {

TEST(KeyReport, ReadsOneKeyAndItsPressOrNothing) {
  struct Case {
    const char* line;
    bool read;
    const char* key = "untouched";
    bool pressed = false;
  } cases[] = {
      {"+CKEV: 6,1", true, "6", true},
      {"+CKEV: >,0", true, ">", false},
      {"+CKEV: :J,1", true, ":J", true},
      {"+CKEV:v,1", true, "v", true},
      {"+CKEV: \"u\",1", true, "u", true},
      {"+CKEV:  e , 0 ", true, "e", false},
      {"+CKEV: ,1", false},
      {"+CKEV: ,", false},
      {"+CKEV:", false},
      {"+CKEV", false},
      {"+CKEV: 6", false},
      {"+CKEV: 6,", false},
      {"+CKEV: 6,2", false},
      {"+CKEV: 6,1,0", false},
      {"+CKEV: 6,1x", false},
      {"+CKEV: 66,1", false},
      {"+CKEV: :,1", false},
      {"+CKEV: :JJ,1", false},
      {"+ckev: 6,1", false},
      {"+CKEVX: 6,1", false},
  };
  for (const Case& c : cases) {
    KeyReport report{"untouched", false};
    EXPECT_EQ(ParseKeyReport(c.line, &report), c.read) << c.line;
    EXPECT_EQ(report.key, c.key) << c.line;
    EXPECT_EQ(report.pressed, c.pressed) << c.line;
  }
}

constexpr std::uint64_t kStepMs = 300;
constexpr char kIni[] = "C:\\P\\plugin.ini";
// With RemoteKeys=1 the phone reports calls too, so a call closes the screen.
const std::vector<std::string> kSetup = testing::SetUpWithCalls();
// The set-up again, then `more`.
std::vector<std::string> AfterSetUp(const std::vector<std::string>& more) {
  std::vector<std::string> sent = kSetup;
  sent.insert(sent.end(), more.begin(), more.end());
  return sent;
}

// The plug-in with RemoteKeys=1 on a phone on COM1, the key screen open.
struct KeyRig {
  // `rule`: how the phone answers, set before the entry is chosen.
  explicit KeyRig(std::int32_t playState, const std::string& rule = "")
      : plugin(os, testing::kNoEntries), player(os), phone(os) {
    os.moduleFileName = "C:\\P\\gen_quillet.dll";
    os.profiles[kIni]["Quillet"]["Port"] = "COM1";
    os.profiles[kIni]["Quillet"]["RemoteKeys"] = "1";
    player.Entries(5);
    player.state = playState;
    phone.SetDsr(true);
    PluginRecord* record = plugin.HandOutRecord();
    record->hostWindow = reinterpret_cast<void*>(0x1234);
    record->moduleInstance = reinterpret_cast<void*>(0x400000);
    plugin.Init();
    EXPECT_TRUE(os.RunUntil([&] { return history().size() == kSetup.size(); }, 20000));
    Control("open");
    EXPECT_TRUE(os.RunUntil([&] { return history().size() == kSetup.size() + 1; }, 5000));
    page = history().back();
    if (!rule.empty()) Control(rule);
    Control("choose 11");
    if (rule.empty()) {
      EXPECT_TRUE(os.RunUntil([&] { return history().size() == kSetup.size() + 3; }, 5000));
    }
    os.RunFor(1000);
    const std::size_t shown = std::min(history().size(), kSetup.size() + 3);
    opened = std::vector<std::string>(history().begin(), history().begin() + shown);
    mark = os.HostCalls().size();
  }
  ~KeyRig() { plugin.Quit(); }

  const std::vector<std::string>& history() { return phone.model().history(); }
  void Control(const std::string& line) {
    phone.Now();
    EXPECT_NE(phone::RunControl(phone.model(), line).kind, phone::ControlOutcome::Kind::Error)
        << line;
  }
  // A step: a control line of the phone simulator, "volume N" set on the
  // player, or "wait N"; each takes 300 ms of virtual time (a line is acted
  // on some 60 ms after it is sent), a hold its length on top.
  void Step(const std::string& step) {
    std::uint64_t ms = kStepMs;
    if (step.rfind("volume ", 0) == 0) {
      player.volume = std::stoi(step.substr(7));
      return;
    }
    if (step.rfind("wait ", 0) == 0 || step.rfind("pass ", 0) == 0) {
      ms = std::stoul(step.substr(5));
    } else {
      Control(step);
      if (step.rfind("hold ", 0) == 0) ms += std::stoul(step.substr(step.rfind(' ')));
    }
    os.RunFor(ms);
    if (step.rfind("pass ", 0) == 0) Actions();  // time passes, unchecked
  }
  std::vector<std::string> SentSinceOpening(std::size_t from = kSetup.size() + 3) {
    std::vector<std::string> sent;
    for (std::size_t i = from; i < history().size(); ++i)
      sent.push_back(history()[i].rfind("AT*EASM=", 0) == 0 ? "menu" : history()[i]);
    return sent;
  }
  // What the player was told since the last call: "next", "vol 178", ...;
  // an action after another one of the same step shows how long after it.
  std::string Actions() {
    const auto calls = os.HostCalls();
    std::string out;
    std::uint64_t first = 0;
    bool any = false;
    for (std::size_t i = mark; i < calls.size(); ++i) {
      const fake::HostCall& call = calls[i];
      std::string action;
      if (call.msg == host::kWmCommand) {
        static const std::pair<std::uintptr_t, const char*> kNames[] = {
            {host::kCommandNext, "next"},    {host::kCommandPrevious, "prev"},
            {host::kCommandPlay, "play"},    {host::kCommandPause, "pause"},
            {host::kCommandStop, "stop"},    {host::kCommandBack5s, "back"},
            {host::kCommandForward5s, "fwd"}};
        action = "cmd " + std::to_string(call.wParam);
        for (const auto& [command, name] : kNames)
          if (call.wParam == command) action = name;
        if (call.posted) action += " (posted)";
      } else if (call.msg == host::kWmUser && call.lParam == host::kVolume &&
                 call.wParam != host::kQueryVolume) {
        action = "vol " + std::to_string(call.wParam);
      } else {
        continue;
      }
      if (!out.empty()) out += ", ";
      out += action;
      if (any) out += " @" + std::to_string(call.atMs - first);
      if (!any) first = call.atMs;
      any = true;
    }
    mark = calls.size();
    return out;
  }

  fake::FakePlatform os;
  Plugin plugin;
  testing::FakePlayer player;
  testing::FakePortPhone phone;
  std::string page;  // the main menu as the phone showed it
  std::vector<std::string> opened;
  std::size_t mark = 0;
};

struct KeyCase {
  const char* what;
  std::int32_t playState;
  // Each step with what the player is told meanwhile.
  std::vector<std::pair<std::string, std::string>> steps;
  // What the phone is sent after the screen opened, a menu page as "menu".
  std::vector<std::string> sent = {};
};

const std::vector<std::string> kClosed = {"AT+CMER=0,0,0,0,0", "menu"};

TEST(RemoteKeys, KeySequencesDriveThePlayer) {
  const KeyCase cases[] = {
      {"transport keys",
       kPlaying,
       {{"k >", "next"},
        {"k 6", "next"},
        {"k <", "prev"},
        {"k 4", "prev"},
        {"k 5", "stop"},
        {"k 1", "back"},
        {"k 3", "fwd"}}},
      {"play/pause while playing", kPlaying, {{"k :J", "pause"}, {"k 2", "pause"}}},
      {"play/pause while paused", kPaused, {{"k 2", "pause"}}},
      {"play/pause while stopped", kStopped, {{"k :J", "play"}}},
      {"volume steps of the Volume dialog",
       kPlaying,
       {{"k ^", "vol 229"},
        {"k U", "vol 255"},
        {"k u", "vol 255"},
        {"k V", "vol 229"},
        {"k v", "vol 204"},
        {"k D", "vol 178"},
        {"k d", "vol 153"},
        {"volume 3", ""},
        {"k d", "vol 0"},
        {"k d", "vol 0"}}},
      {"mute and back",
       kPlaying,
       {{"k 7", "vol 0"},
        {"k 7", "vol 200"},
        {"k 7", "vol 0"},
        {"k u", "vol 25"},
        {"k 7", "vol 0"}}},
      {"held volume repeats after 500 ms, then every 250 ms",
       kPlaying,
       {{"hold v 1100", "vol 178, vol 153 @500, vol 127 @750, vol 102 @1000"},
        {"hold u 400", "vol 127"}}},
      {"held seek repeats; held next does not",
       kPlaying,
       {{"hold 3 800", "fwd, fwd @500, fwd @750"}, {"hold > 800", "next"}}},
      {"another key ends a hold whose release was lost",
       kPlaying,
       {{"urc +CKEV: 1,1", "back"},
        {"wait 600", "back, back @250"},
        {"k 6", "next"},
        {"wait 1000", ""},
        {"urc +CKEV: 1,0", ""}}},
      {"ignored keys and lines lose nothing",
       kPlaying,
       {{"urc +CKEV: e,1", ""},
        {"urc +CKEV: ],1", ""},
        {"urc +CKEV: #,1", ""},
        {"urc +CKEV: ,1", ""},
        {"urc +CKEV:", ""},
        {"urc +CKEV: 66,1", ""},
        {"urc +CKEV: 6,9", ""},
        {"urc +CKEV: 6", ""},
        {"k 6", "next"}}},
      {"a spurious e does not end a hold",
       kPlaying,
       {{"urc +CKEV: d,1", "vol 178"},
        {"urc +CKEV: e,1", "vol 153"},
        {"urc +CKEV: e,0", "vol 127"},
        {"urc +CKEV: d,0", ""},
        {"wait 1000", ""}}},
      {"another key's release does not end a hold",
       kPlaying,
       {{"urc +CKEV: d,1", "vol 178"},
        {"urc +CKEV: u,0", "vol 153"},
        {"wait 300", "vol 127"},
        {"urc +CKEV: d,0", ""},
        {"wait 1000", ""}}},
      {"keys after NO act on nothing", kPlaying, {{"reject", ""}, {"urc +CKEV: 6,1", ""}}, kClosed},
      {"a lost release repeats for 10 s at most",
       kPlaying,
       {{"urc +CKEV: 3,1", "fwd"}, {"pass 9700", ""}, {"wait 1000", ""}}},
      {"mute after the volume moved mutes afresh",
       kPlaying,
       {{"k 7", "vol 0"}, {"volume 100", ""}, {"k 7", "vol 0"}, {"k 7", "vol 100"}}},
      {"a ring closes the screen: digits in the call act on nothing",
       kPlaying,
       {{"urc RING", ""}, {"urc +CKEV: 2,1", ""}, {"urc +CKEV: 5,1", ""}},
       {"AT+CMER=0,0,0,0,0", "menu", "AT+CMER=0,0,0,0,0"}},
      {"so does a call report",
       kPlaying,
       {{"urc *ECAV: 1,3,1", ""}, {"urc +CKEV: 6,1", ""}, {"urc *ECAV: 1,0,1", ""}},
       {"AT+CMER=0,0,0,0,0", "menu", "AT+CMER=0,0,0,0,0"}},
      {"keys after leaving the accessory menu act on nothing",
       kPlaying,
       {{"hold u 800", "vol 229, vol 255 @500, vol 255 @750"},
        {"abort", ""},
        {"urc +CKEV: u,1", ""}},
       kClosed},
      {"the dialog's end stops a hold",
       kPlaying,
       {{"urc +CKEV: 1,1", "back"}, {"reject", ""}, {"wait 1000", ""}},
       kClosed},
      {"the link's end stops a hold and forgets the screen",
       kPlaying,
       {{"urc +CKEV: 3,1", "fwd"},
        {"dsr off", ""},
        {"wait 1000", ""},
        {"dsr on", ""},
        {"wait 3000", ""},
        {"k 6", ""},
        {"reject", ""}},
       // The key after the blink finds no screen: reports off, as no one else will.
       AfterSetUp({"AT+CMER=0,0,0,0,0", "menu"})},
      {"stray reports are turned off once a connection",
       kPlaying,
       {{"reject", ""},
        {"urc +CKEV: 6,1", ""},
        {"urc +CKEV: 6,0", ""},
        {"dsr off", ""},
        {"wait 1000", ""},
        {"dsr on", ""},
        {"wait 3000", ""},
        {"urc +CKEV: 6,1", ""},
        {"urc +CKEV: 6,0", ""}},
       [] {
         std::vector<std::string> sent = {"AT+CMER=0,0,0,0,0", "menu", "AT+CMER=0,0,0,0,0"};
         for (const std::string& command : AfterSetUp({"AT+CMER=0,0,0,0,0"}))
           sent.push_back(command);
         return sent;
       }()},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.what);
    KeyRig rig(c.playState);
    ASSERT_EQ(rig.opened.size(), kSetup.size() + 3);
    EXPECT_EQ(rig.opened[kSetup.size() + 1], "AT*EAID=13,2,\"Remote keys\"");
    EXPECT_EQ(rig.opened[kSetup.size() + 2], "AT+CMER=3,2,0,0,0");
    for (const auto& [step, actions] : c.steps) {
      rig.Step(step);
      EXPECT_EQ(rig.Actions(), actions) << step;
    }
    EXPECT_EQ(rig.SentSinceOpening(), c.sent);
  }
}

// The entry ends the main menu; a phone that refuses the screen or the
// reports gets a notice, and whatever ends the screen turns reports off.
TEST(RemoteKeys, TheEntryOpensTheScreenAndItsEndClosesIt) {
  const std::string kNotice =
      "AT*EAID=14,1,\"Remote keys\",\"This phone does not report its keys.\"";
  const std::string kHold = "AT*EAID=13,2,\"Remote keys\"";
  const std::string kOn = "AT+CMER=3,2,0,0,0";
  const std::string kOff = "AT+CMER=0,0,0,0,0";
  // A key reported after the end turns the reports off once more.
  const std::vector<std::string> kEnded = {kHold, kOn, kOff, "menu", kOff};
  const struct {
    const char* what;
    const char* rule;
    std::vector<std::string> steps;
    std::vector<std::string> sent;  // from the choice of the entry on
    const char* actions;            // what a key press did at the end
  } cases[] = {
      {"NO on the screen", "", {"reject"}, kEnded, ""},
      {"leaving the accessory menu", "", {"abort"}, kEnded, ""},
      {"the accessory menu opened again", "", {"open"}, kEnded, ""},
      {"an entry chosen meanwhile", "", {"choose 3"}, kEnded, ""},
      {"open again after NO",
       "",
       {"reject", "choose 11"},
       {kHold, kOn, kOff, "menu", kHold, kOn},
       "next"},
      {"during a call",
       "urc *ECAV: 1,6,1",
       {"reject"},
       {"AT*EAID=14,1,\"Remote keys\",\"Not during a call.\"", "menu", kOff},
       ""},
      {"reports refused", "reply +CMER error", {"reject"}, {kHold, kOn, kNotice, "menu", kOff}, ""},
      {"hold dialog refused",
       "reply *EAID=13 error",
       {"abort"},
       {kHold, kNotice, "menu", kOff},
       ""},
      {"refused once, then granted",
       "reply +CMER cme 4 times 1",
       {"reject", "choose 11"},
       {kHold, kOn, kNotice, "menu", kHold, kOn},
       "next"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    KeyRig rig(kPlaying, c.rule);
    EXPECT_EQ(rig.page,
              "AT*EASM=\"Winamp menu\", 1, 1, 11,\"Prev: Track 5\",\"Next: Track 2\",\"Play\","
              "\"Pause\",\"Stop\",\"Track info\",\"Go to track: 1\",\"Playlist\",\"Volume: 8\","
              "\"Video window\",\"Remote keys\"");
    for (const std::string& step : c.steps) rig.Step(step);
    rig.Actions();
    rig.Step("urc +CKEV: 6,1");
    rig.Step("urc +CKEV: 6,0");
    EXPECT_EQ(rig.Actions(), c.actions);
    EXPECT_EQ(rig.SentSinceOpening(kSetup.size() + 1), c.sent);
    // Nothing else reaches the player or the other plug-ins.
    for (const fake::HostCall& call : rig.os.HostCalls())
      EXPECT_NE(call.lParam, rig.plugin.menuMessages().valueChanged);
  }
}

// Key reports among other lines, in every chunking: each press acts once,
// the lines that are no keys are ignored, and the dialog's answer behind
// them still reaches the menus.
TEST(RemoteKeys, ReportsInAnyChunkingAmongOtherLines) {
  struct Answers : NoMenuHandlers {
    void HandleAnswer(const std::string& answer) override { answers.push_back(answer); }
    std::vector<std::string> answers;
  };
  const std::string bytes =
      "\r\n+CKEV: 6,1\r\nRING\r\n+CKEV: 6,0\r\n+CKEV: e,1\r\n+CKEV: ,\r\n\r\n+CKEV: u,1\r\n"
      "+CKEV: u,0\r\n+CKEV: 7\r\nOK\r\n+CKEV: :J,1\r\n*EAII: 0\r\n";
  for (const auto& chunked : phone::testing::Chunkings(bytes)) {
    SCOPED_TRACE(chunked.name);
    testing::LinkFixture rig;
    rig.OpenPort();
    testing::FakePlayer player(rig.os);
    player.Entries(5);
    player.state = kPlaying;
    HostWindow host(rig.os, 0x1234);
    BuiltInMenus builtIn;
    std::vector<std::string> sent;
    RemoteKeys keys(rig.os, host, builtIn, [&](const std::string& c) {
      sent.push_back(c);
      return true;
    });
    Answers menus;
    rig.link.handlers = &menus;
    rig.link.keyEvents = &keys;
    ASSERT_EQ(keys.Open([] { return true; }), nullptr);
    rig.Arrive(chunked.pieces, 1);
    while (!rig.link.rx.drained || rig.phone.device().pendingBytes() > 0) DispatchLines(rig.link);
    EXPECT_EQ(player.commands,
              (std::vector<std::uintptr_t>{host::kCommandNext, host::kCommandPause}));
    EXPECT_EQ(player.volume, 229);
    EXPECT_EQ(player.state, kPaused);
    EXPECT_EQ(menus.answers, std::vector<std::string>{": 0"});
    EXPECT_FALSE(keys.holding());
    EXPECT_EQ(sent, std::vector<std::string>{"+CMER=3,2,0,0,0"});
  }
}

}  // namespace
}  // namespace quillet
