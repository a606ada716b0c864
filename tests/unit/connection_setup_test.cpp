#include "link/connection_setup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/monitor.h"
#include "link_fixture.h"
#include "set_up_sequence.h"

namespace quillet {
namespace {

using phone::ReplyRule;
using testing::kConnectedStatus;
using testing::LinkFixture;
using testing::SetUpBytes;
using testing::SetUpPhone;

struct SetupFixture : ::testing::TestWithParam<bool>, LinkFixture {
  SetupFixture() : LinkFixture(GetParam()) {
    phone.model().SetValue("+CGMI", {"SimPhone"});
    phone.model().SetValue("+CGMM", {"QX-1"});
  }
  void PhoneAttached() { phone.device().SetDsr(true, 0); }
  // The set-up's bytes are the hand-written ones for this kind of phone, and
  // the phone received the commands the shared list says.
  void ExpectSetUp(SetUpPhone kind) {
    EXPECT_EQ(phone.device().written(), SetUpBytes(kind));
    EXPECT_EQ(phone.model().history(), testing::SetUpCommands(kind));
  }
};

TEST_P(SetupFixture, DisabledTouchesNothing) {
  portName = "Disabled";
  OnInit(link, false);
  EXPECT_EQ(link.status.Text(), "Disabled.");
  EXPECT_EQ(Trace(), "");
  EXPECT_EQ(link.state.port, kNoHandle);
  EXPECT_FALSE(link.state.connected);
  EXPECT_EQ(os.OpenPortCount(), 0);
}

TEST_P(SetupFixture, PortThatCannotBeOpenedIsBusy) {
  for (const char* name : {"disabled", "COM9", ""}) {
    LinkFixture f(GetParam());
    f.portName = name;
    OnInit(f.link, true);
    EXPECT_EQ(f.link.status.Text(), "Comport busy.") << name;
    EXPECT_EQ(f.link.state.port, kNoHandle);
    EXPECT_EQ(f.link.state.overlapped.event, kNoHandle);
    EXPECT_EQ(f.Trace(), "info: OnInit called by MonitorDevice\r\n");
    EXPECT_EQ(f.os.badCloses, 0);
  }
  phone.device().refuseOpen = true;
  OnInit(link, false);
  EXPECT_EQ(link.status.Text(), "Comport busy.");
}

// Windows finds only COM1 to COM9 by their plain names: every plain name is
// opened through the device namespace, as people type it (blanks about it,
// a trailing colon), and the stored name stays as typed.
TEST_P(SetupFixture, PortsAreOpenedThroughTheDeviceNamespace) {
  struct Case {
    const char* name;
    std::vector<std::string> opened;
    const char* device;            // the one reached, if any
    const char* status = nullptr;  // "Standing by..." with a device, else "Disabled."
  };
  const Case cases[] = {
      {"COM3", {"\\\\.\\COM3"}, "COM3"},
      {"COM12", {"\\\\.\\COM12"}, "COM12"},
      {"\\\\.\\COM7", {"\\\\.\\COM7"}, "COM7"},
      {"Disabled", {}, nullptr},
      {"com3", {"\\\\.\\com3"}, "COM3"},
      {"COM3:", {"\\\\.\\COM3"}, "COM3"},
      {"com3 ", {"\\\\.\\com3"}, "COM3"},
      {" COM12 : ", {"\\\\.\\COM12"}, "COM12"},
      {"\tCOM7\t", {"\\\\.\\COM7"}, "COM7"},
      {"COM3::", {"\\\\.\\COM3:"}, nullptr, "Comport busy."},
      {" : ", {}, nullptr, "Comport busy."},
      {"", {}, nullptr, "Comport busy."},
  };
  for (const Case& c : cases) {
    LinkFixture f(GetParam());
    for (const char* device : {"COM3", "COM7", "COM12"}) f.os.AddDevice(device);
    f.portName = c.name;
    OnInit(f.link, false);
    EXPECT_EQ(f.os.portOpens, c.opened) << c.name;
    for (const char* device : {"COM3", "COM7", "COM12"})
      EXPECT_EQ(f.os.FindDevice(device)->isOpen(), c.device && device == std::string(c.device))
          << c.name << " " << device;
    const char* status = c.status   ? c.status
                         : c.device ? "Standing by for connection."
                                    : "Disabled.";
    EXPECT_EQ(f.link.status.Text(), status) << c.name;
    EXPECT_EQ(f.portName, c.name);
  }
}

TEST_P(SetupFixture, NoDsrStandsByWithoutSendingAnything) {
  OnInit(link, false);
  EXPECT_EQ(link.status.Text(), "Standing by for connection.");
  EXPECT_EQ(phone.device().written(), "");
  EXPECT_NE(link.state.port, kNoHandle);
  EXPECT_FALSE(link.state.connected);
  EXPECT_EQ(link.state.overlapped.event, kNoHandle);
  EXPECT_EQ(Trace(), "info: OnInit started\r\ninfo: comport open.\r\n");
  EXPECT_EQ(os.LineSettings(link.state.port), "baud=9600 parity=N data=8 stop=1");
  PortTimeouts t = os.Timeouts(link.state.port);
  EXPECT_EQ(t.readInterval, 50u);
  EXPECT_EQ(t.readTotalMultiplier, 0u);
  EXPECT_EQ(t.readTotalConstant, 500u);
  EXPECT_EQ(t.writeTotalMultiplier, 0u);
  EXPECT_EQ(t.writeTotalConstant, 500u);
}

TEST_P(SetupFixture, UnreadableModemStatusCountsAsNoPhone) {
  PhoneAttached();
  phone.device().failModemStatus = true;
  OnInit(link, false);
  EXPECT_EQ(link.status.Text(), "Standing by for connection.");
  EXPECT_FALSE(link.state.connected);
}

TEST_P(SetupFixture, AttachedPhoneIsPreparedInOrder) {
  PhoneAttached();
  OnInit(link, false);
  EXPECT_TRUE(link.state.connected);
  ExpectSetUp(SetUpPhone::kOlder);
  EXPECT_EQ(link.status.Text(), kConnectedStatus);
  EXPECT_EQ(phone.model().screen().accessory, "Winamp");
  EXPECT_EQ(link.state.overlapped.event, kNoHandle);
  EXPECT_NE(Trace().find("info: menus available\r\n"), std::string::npos);
  EXPECT_EQ(os.overlappedMisuse, 0);
}

TEST_P(SetupFixture, RefusedIndicationsFallBack) {
  PhoneAttached();
  phone.model().rules().Edit("+CNMI=3,1").result = ReplyRule::Result::Error;
  OnInit(link, false);
  ExpectSetUp(SetUpPhone::kIndicationsRefused);
}

TEST_P(SetupFixture, RefusedMenuIsReported) {
  PhoneAttached();
  phone.model().rules().Edit("*EAM").result = ReplyRule::Result::Error;
  OnInit(link, false);
  EXPECT_TRUE(link.state.connected);
  EXPECT_EQ(link.status.Text(), "Ready and connected to SimPhone QX-1. Menus not available.");
  EXPECT_NE(Trace().find("info: menus not available\r\n"), std::string::npos);
  ExpectSetUp(SetUpPhone::kMenusRefused);
}

TEST_P(SetupFixture, NewerPhoneGetsTheMenuOnTheNewerCommands) {
  PhoneAttached();
  phone.model().SetNewer(true);
  OnInit(link, false);
  ExpectSetUp(SetUpPhone::kNewer);
  EXPECT_EQ(link.status.Text(), kConnectedStatus);
  EXPECT_EQ(link.menus.set, MenuCommandSet::kNewer);
  EXPECT_EQ(link.menus.item, phone::PhoneModel::kNewerItem);
  // Registered without an id, the menu is out of reach.
  phone.model().SetValue("*SEAM=\"Winamp\",2", {});
  OnInit(link, true);
  EXPECT_EQ(link.status.Text(), "Ready and connected to SimPhone QX-1. Menus not available.");
  EXPECT_EQ(link.menus.set, MenuCommandSet::kOlder);
}

TEST_P(SetupFixture, MissingValuesLeaveTwoBlanks) {
  PhoneAttached();
  phone.model().SetValue("+CGMI", {});
  phone.model().SetValue("+CGMM", {});
  OnInit(link, false);
  EXPECT_EQ(link.status.Text(), "Ready and connected to  .");
}

TEST_P(SetupFixture, MissingModelNeverRepeatsTheManufacturer) {
  PhoneAttached();
  phone.model().SetValue("+CGMM", {});
  OnInit(link, false);
  EXPECT_EQ(link.status.Text(), "Ready and connected to SimPhone .");
}

TEST_P(SetupFixture, UnsolicitedLinesDuringPreparationAreDiscarded) {
  PhoneAttached();
  phone.model().rules().Edit("+CNMI").interject = "*EAAI";
  OnInit(link, false);
  EXPECT_EQ(link.status.Text(), kConnectedStatus);
  EXPECT_TRUE(link.rx.drained || link.rx.bytes[link.rx.cursor] == '\r');
  EXPECT_NE(Trace().find("got:  *EAAI\r\n"), std::string::npos);
}

// What the link hands on about calls, as "id,state", a list as "list" and
// its calls, or "no list".
struct RecordedCalls : CallEvents {
  bool CallChanged(const CallStatus& call) override {
    calls.push_back(std::to_string(call.id) + "," + std::to_string(static_cast<int>(call.state)));
    return call.id == askingId;
  }
  int askingId = 0;  // a report of this call asks for the list
  void CallsListed(const std::vector<CallStatus>* listed) override {
    std::string line = listed ? "list" : "no list";
    if (listed)
      for (const CallStatus& call : *listed)
        line += " " + std::to_string(call.id) + "," + std::to_string(static_cast<int>(call.state));
    calls.push_back(line);
  }
  void LinkInterrupted() override {}
  void CallsForgotten() override { ++forgotten; }
  std::vector<std::string> calls;
  int forgotten = 0;
};

TEST_P(SetupFixture, CallReportsAreAskedForLastAndOnlyWhenWanted) {
  const std::string setUp = SetUpBytes(SetUpPhone::kOlder);
  const auto natural = ReplyRule::Result::Natural;
  struct Case {
    const char* what;
    bool wanted;
    ReplyRule::Result answer;
    bool reported;
    ReplyRule::Result listAnswer = ReplyRule::Result::Natural;
    std::vector<std::string> calls = {};
  } cases[] = {
      {"not wanted", false, ReplyRule::Result::Natural, false},
      {"accepted", true, natural, true, natural, {"list"}},
      {"refused", true, ReplyRule::Result::Error, false},
      {"refused with a code", true, ReplyRule::Result::CmeError, false},
      {"list refused", true, natural, true, ReplyRule::Result::Error, {"no list"}},
      {"list unanswered", true, natural, true, ReplyRule::Result::Silent, {"no list"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LinkFixture f(GetParam());
    f.phone.device().SetDsr(true, 0);
    f.phone.model().rules().Edit("*ECAM").result = c.answer;
    f.phone.model().rules().Edit("+CLCC").result = c.listAnswer;
    RecordedCalls recorded;
    if (c.wanted) f.link.callEvents = &recorded;
    OnInit(f.link, false);
    std::string expected = setUp + (c.wanted ? "\rAT*ECAM=1\r" : "");
    for (int i = c.listAnswer == ReplyRule::Result::Silent ? 3 : 1; c.reported && i > 0; --i)
      expected += "\rAT+CLCC\r";
    EXPECT_EQ(f.phone.device().written(), expected);
    EXPECT_EQ(f.link.status.Text(), kConnectedStatus);
    EXPECT_EQ(f.link.callsReported, c.reported);
    EXPECT_EQ(f.phone.model().settings().callReports, c.reported);
    EXPECT_EQ(recorded.calls, c.calls);
    const bool traced = f.Trace().find("info: calls reported\r\n") != std::string::npos;
    EXPECT_EQ(traced, c.reported);
    EXPECT_EQ(f.Trace().find("info: calls not reported\r\n") != std::string::npos,
              c.wanted && !c.reported);
  }
}

// What the phone says while the set-up waits for its answers is handled once
// the set-up has ended, in the order read: a menu opened then gets its page,
// and a call report that raises a question gets the list it asks for.
TEST_P(SetupFixture, LinesReadDuringTheSetupAreHandledWhenItEnds) {
  struct Menus : NoMenuHandlers {
    void MenuActivated() override { seen.push_back("open"); }
    void ChooseEntry(int entry) override { seen.push_back("choose " + std::to_string(entry)); }
    void HandleAnswer(const std::string& answer) override { seen.push_back("answer" + answer); }
    std::vector<std::string> seen;
  } menus;
  LinkFixture f(GetParam());
  f.phone.device().SetDsr(true, 0);
  f.phone.model().SetCharsets({"GSM", "UTF-8"});
  auto& rules = f.phone.model().rules();
  rules.Edit("+CNMI").interject = "*EAAI";
  rules.Edit("+CGMI").interject = "*EAII: 1,2";
  rules.Edit("+CSCS=?").interject = "*ECAV: 2,6,1";
  rules.Edit("+CSCS").interject = "*EAMI: 3";  // with the read and with the choice
  RecordedCalls recorded;
  recorded.askingId = 2;
  f.link.callEvents = &recorded;
  f.link.handlers = &menus;
  f.link.charsetWish = CharsetWish::kAuto;
  OnInit(f.link, false);
  EXPECT_EQ(f.link.status.Text(), kConnectedStatus);
  EXPECT_EQ(menus.seen, std::vector<std::string>{});
  EXPECT_EQ(recorded.calls, std::vector<std::string>{"list"});
  while (!f.link.strays.empty() || !f.link.rx.drained) DispatchLines(f.link, false);
  EXPECT_EQ(menus.seen, (std::vector<std::string>{"open", "answer: 1,2", "choose 3", "choose 3"}));
  EXPECT_EQ(recorded.calls, (std::vector<std::string>{"list", "2,6", "list"}));
}

// A phone still reporting from an earlier connection: what the set-up reads
// of it is kept, in the order read, and handed on once the phone has
// agreed; reports that came with the later answers are handed on in order
// before the list of calls, and the list is read among them.
TEST_P(SetupFixture, CallReportsReadDuringTheSetupAreKept) {
  for (bool accepted : {true, false}) {
    SCOPED_TRACE(accepted);
    LinkFixture f(GetParam());
    f.phone.device().SetDsr(true, 0);
    auto& rules = f.phone.model().rules();
    rules.Edit("+CNMI").interject = "*ECAV: 1,6,1,,,\"+1555\",145";
    rules.Edit("+CMEE").interject = "*ECAV: 1,3,1";
    rules.Edit("+CGMI").interject = "*ECAV: 2,5,1";
    rules.Edit("+CGMM").interject = "*ECAV: 9,9,9";
    rules.Edit("*ECAM").interject = "*ECAV: 2,0,1,8,16";
    rules.Edit("+CLCC").interject = "*ECAV: 3,6,1";
    f.phone.model().SetValue("+CLCC", {"+CLCC: 1,1,0,0,0,\"+1555\",145", "+CLCC: 3,1,4,0,0"});
    if (!accepted) rules.Edit("*ECAM").result = ReplyRule::Result::Error;
    RecordedCalls recorded;
    f.link.callEvents = &recorded;
    OnInit(f.link, false);
    EXPECT_EQ(f.link.status.Text(), kConnectedStatus);
    const std::vector<std::string> handed =
        accepted ? std::vector<std::string>{"1,6", "1,3", "2,5", "2,0", "3,6", "list 1,3 3,6"}
                 : std::vector<std::string>{};
    EXPECT_EQ(recorded.calls, handed);
    DispatchLines(f.link, false);
    EXPECT_EQ(recorded.calls, handed);
  }
}

TEST_P(SetupFixture, LongIdentityIsCutInTheStoredStatus) {
  PhoneAttached();
  phone.model().SetValue("+CGMI", {std::string(200, 'M')});
  OnInit(link, false);
  std::string full = "Ready and connected to " + std::string(200, 'M') + " QX-1.";
  EXPECT_EQ(link.status.Text(), full.substr(0, 151));
}

TEST_P(SetupFixture, SecondSetupClosesThePreviousPortFirst) {
  OnInit(link, false);
  Handle first = link.state.port;
  OnInit(link, true);
  EXPECT_FALSE(os.IsOpen(first));
  EXPECT_NE(link.state.port, first);
  EXPECT_EQ(os.OpenPortCount(), 1);
  EXPECT_EQ(os.badCloses, 0);
}

TEST_P(SetupFixture, SilentPhoneStillEndsTheSetup) {
  PhoneAttached();
  phone.model().rules().Edit("").result = ReplyRule::Result::Silent;
  OnInit(link, false);
  EXPECT_TRUE(link.state.connected);
  EXPECT_EQ(link.status.Text(), "Ready and connected to  . Menus not available.");
  // Seven commands ("*SEAM=?" after the refused "*EAM"), each sent three
  // times and each wait bounded.
  EXPECT_LT(os.NowMs(), 7u * 3u * 2000u);
}

// A phone that sends nothing but blank lines, faster than they are read, after
// a value request: a stop ends the read at once, and without one it gives up
// after 10 s rather than when the phone falls silent a minute later.
TEST_P(SetupFixture, EndlessBlankLinesCannotHoldTheValueRead) {
  for (bool stop : {true, false}) {
    SCOPED_TRACE(stop);
    LinkFixture f(GetParam());
    f.OpenPort();
    for (int i = 0; i < 3000; ++i) f.phone.device().Deliver("\r\n", 20u * i);
    f.link.state.stopRequested = stop;
    f.link.rx.drained = false;  // as a command's answer leaves it
    EXPECT_EQ(ReadValueLine(f.link), "");
    EXPECT_LT(f.os.VirtualMs(), stop ? 1u : 11000u);
  }
}

INSTANTIATE_TEST_SUITE_P(SerialBehaviour, SetupFixture, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wine" : "Windows"; });

}  // namespace
}  // namespace quillet
