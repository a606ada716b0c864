#include "link/monitor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>

#include "link/line_reader.h"
#include "link/phone_watch.h"
#include "link_fixture.h"
#include "set_up_sequence.h"

namespace quillet {
namespace {

using testing::LinkFixture;

struct Call {
  Call(std::string w, int e = 0, std::string a = {})
      : what(std::move(w)), entry(e), answer(std::move(a)) {}
  std::string what;
  int entry;
  std::string answer;
  bool operator==(const Call& o) const {
    return what == o.what && entry == o.entry && answer == o.answer;
  }
};

std::ostream& operator<<(std::ostream& out, const Call& c) {
  return out << c.what << "(" << c.entry << "," << c.answer << ")";
}

class RecordingHandlers : public MenuHandlers {
 public:
  void MenuActivated() override { Add({"open"}); }
  void ChooseEntry(int entry) override { Add({"choose", entry}); }
  void HandleAnswer(const std::string& answer) override { Add({"answer", 0, answer}); }
  // Work that goes on until the connection ends.
  bool WorkPending() const override { return working; }
  void DoWork() override {
    ++steps;
    if (step) step();
  }
  void ConnectionEnded() override {
    working = false;
    ++ended;
  }
  bool AwaitingUser() const override { return awaiting; }
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::function<void()> onCall;
  std::function<void()> step;
  std::atomic<bool> working{false};
  std::atomic<bool> awaiting{false};
  std::atomic<int> steps{0};
  std::atomic<int> ended{0};

 private:
  void Add(Call call) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(std::move(call));
    }
    if (onCall) onCall();
  }
  std::mutex mutex_;
  std::vector<Call> calls_;
};

TEST(ScanMenuChoice, ReadsAsScanfWould) {
  const char* lines[] = {"*EAMI: 3",     "*EAMI",     "*EAMI:",    "*EAMI: x", "*EAMI:3",
                         "*EAMI:   12 ", "*EAMI: -2", "*EAMI: +7", "*EAMIx",   "*EAMI 3",
                         "*EAMI: 0",     "*EAMI:\t5", "*EAMI: 4x", "*EAMI: -", "*EAMI:  "};
  for (const char* line : lines) {
    int mine = 0, theirs = 0;
    int expected = std::sscanf(line, "*EAMI: %d", &theirs);
    EXPECT_EQ(ScanMenuChoice(line, &mine), expected) << line;
    EXPECT_EQ(mine, theirs) << line;
  }
  int n = 0;
  EXPECT_EQ(ScanMenuChoice("*EAMI: 99999999999", &n), 1);
  EXPECT_EQ(n, 2147483647);
  EXPECT_EQ(ScanMenuChoice("*EAMI: -99999999999", &n), 1);
  EXPECT_EQ(n, -2147483647 - 1);
}

struct DispatchFixture : ::testing::TestWithParam<bool>, LinkFixture {
  DispatchFixture() : LinkFixture(GetParam()) {
    OpenPort();
    link.handlers = &handlers;
  }
  RecordingHandlers handlers;
};

struct DispatchCase {
  std::string bytes;
  std::vector<Call> calls;
};

TEST_P(DispatchFixture, CodesReachTheirHandlers) {
  const DispatchCase cases[] = {
      {"\r\n*EAAI\r\n", {{"open"}}},
      {"\r\n*EAAI x\r\n", {}},
      {"\r\n*EAMI: 3\r\n", {{"choose", 3}}},
      {"\r\n*EAMI\r\n", {{"choose", 0}}},
      {"\r\n*EAMI:\r\n", {{"choose", 0}}},
      {"\r\n*EAMI: x\r\n", {}},
      {"\r\n*EAII: 0,12\r\n", {{"answer", 0, ": 0,12"}}},
      {"\r\n*EAII\r\n", {{"answer", 0, ""}}},
      {"\r\nOK\r\nERROR\r\nRING\r\nX\r\n\r\n*eaai\r\n", {}},
      {"\r\n*EAAI\r\n*EAII: 4,50\r\n*EAAI\r\n", {{"open"}, {"answer", 0, ": 4,50"}, {"open"}}},
  };
  for (const auto& c : cases) {
    LinkFixture f(GetParam());
    f.OpenPort();
    RecordingHandlers h;
    f.link.handlers = &h;
    f.Arrive({c.bytes}, 0);
    DispatchLines(f.link);
    EXPECT_EQ(h.Calls(), c.calls) << c.bytes;
  }
}

TEST_P(DispatchFixture, MenuChoiceEndsTheDispatch) {
  Arrive({"\r\n*EAMI: 1\r\n*EAAI\r\n"}, 0);
  DispatchLines(link);
  EXPECT_EQ(handlers.Calls(), (std::vector<Call>{{"choose", 1}}));
  EXPECT_FALSE(link.rx.drained);
  DispatchLines(link);
  EXPECT_EQ(handlers.Calls(), (std::vector<Call>{{"choose", 1}, {"open"}}));
}

INSTANTIATE_TEST_SUITE_P(SerialBehaviour, DispatchFixture, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wine" : "Windows"; });

// The monitor thread itself, on the fake platform. The test drives the
// virtual clock: the thread runs until it waits, then the clock moves on to
// the next thing it waits for, so every run takes the same course.
struct MonitorRig : LinkFixture {
  explicit MonitorRig(bool wineQuirks) : LinkFixture(wineQuirks) {
    link.handlers = &handlers;
    link.wakeEvent = os.CreateEvent(nullptr);
    phone.model().SetValue("+CGMI", {"SimPhone"});
    phone.model().SetValue("+CGMM", {"QX-1"});
  }
  ~MonitorRig() { StopMonitor(); }
  void StartMonitor() {
    thread = os.StartThread([this] { MonitorDevice(link); });
  }
  bool StopMonitor() {
    if (thread == kNoHandle) return true;
    link.state.stopRequested = true;
    os.SetEvent(link.wakeEvent);
    // Woken, the thread ends within what its Stop steps take.
    bool ended = os.WaitThread(thread, 2000);
    os.CloseHandle(thread);
    thread = kNoHandle;
    return ended;
  }
  // Runs the thread until `pred` holds, for at most `ms` of virtual time.
  template <typename Pred>
  bool RunUntil(Pred pred, std::uint64_t ms = 120000) {
    return os.RunUntil(pred, ms);
  }
  bool TraceHas(const std::string& text) { return Trace().find(text) != std::string::npos; }
  bool Connected() { return link.status.Text() == testing::kConnectedStatus; }
  RecordingHandlers handlers;
  Handle thread = kNoHandle;
};

struct MonitorFixture : ::testing::TestWithParam<bool>, MonitorRig {
  MonitorFixture() : MonitorRig(GetParam()) {}
};

TEST_P(MonitorFixture, ConnectsDispatchesAndFollowsDsr) {
  phone.device().SetDsr(true, 0);
  phone.At(20000);
  phone.model().OpenAccessoryMenu();
  phone.At(30000);
  phone.model().ChooseEntry(4);
  phone.device().SetDsr(false, 40000);
  phone.device().SetDsr(true, 50000);
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return TraceHas("info: got connection\r\n"); }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(handlers.Calls(), (std::vector<Call>{{"open"}, {"choose", 4}}));
  std::vector<std::string> info;
  for (const auto& line : TraceLines())
    if (line.rfind("info: ", 0) == 0 && line.find("reply") == std::string::npos &&
        line.find("menus") == std::string::npos && line.find("AT") == std::string::npos)
      info.push_back(line);
  EXPECT_EQ(info, (std::vector<std::string>{
                      "info: OnInit started", "info: comport open.",
                      "info: MonitorDevice started with connection.", "info: lost connection",
                      "info: not having connection...", "info: OnInit called by MonitorDevice",
                      "info: comport open.", "info: not having connection...",
                      "info: OnInit called by MonitorDevice", "info: comport open.",
                      "info: got connection"}));
  // Standing by from 40 s, the phone was taken into service as DSR came.
  ASSERT_EQ(portNameReads.size(), 3u);
  EXPECT_EQ(portNameReads[2], 50000u);
  EXPECT_TRUE(Connected());
  EXPECT_EQ(os.overlappedMisuse, 0);
  EXPECT_EQ(os.badCloses, 0);
}

TEST_P(MonitorFixture, CharactersAndDsrInOneReportAreBothActedOn) {
  phone.device().SetDsr(true, 0);
  // The code and the loss of DSR arrive together: the code must not be
  // dispatched on a lost link, and the loss must be seen.
  phone.device().Deliver("\r\n*EAAI\r\n", 20000);
  phone.device().SetDsr(false, 20000);
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return TraceHas("info: lost connection\r\n"); }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_TRUE(handlers.Calls().empty());
}

TEST_P(MonitorFixture, CharactersWithDsrStillOnAreDispatched) {
  phone.device().SetDsr(true, 0);
  phone.device().Deliver("\r\n*EAAI\r\n", 20000);
  phone.device().SetDsr(true, 20000);
  phone.device().SetDsr(false, 20000);
  phone.device().SetDsr(true, 20000);
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return handlers.Calls().size() == 1; }));
  ASSERT_TRUE(StopMonitor());
}

TEST_P(MonitorFixture, DsrLostWhileNoWaitWasArmedIsNoticed) {
  phone.device().SetDsr(true, 0);
  // DSR drops while the monitor is reading the code, before it waits again.
  phone.device().Deliver("\r\n*EAAI\r\n", 20000);
  phone.device().SetDsr(false, 20010);
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return link.status.Text() == "Standing by for connection."; }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_TRUE(TraceHas("info: lost connection\r\n"));
  EXPECT_EQ(handlers.Calls(), (std::vector<Call>{{"open"}}));
}

TEST_P(MonitorFixture, BytesThatNoEventAnnouncedAreReadAtTheTimeOut) {
  phone.device().SetDsr(true, 0);
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return link.state.connected.load(); }));
  // Arrived unannounced: the fake's history is dropped as the wait re-arms.
  phone.device().Deliver("\r\n*EAAI\r\n", os.VirtualMs() + 15000);
  ASSERT_TRUE(RunUntil([&] { return handlers.Calls().size() == 1; }));
  ASSERT_TRUE(StopMonitor());
}

// Without a port or a phone the set-up is tried again every 10 s: no sooner,
// so the thread sleeps, and no later, so a phone is found in time.
TEST_P(MonitorFixture, RetriesEveryTenSecondsWithoutAPort) {
  for (const char* name : {"Disabled", "COM5"}) {
    SCOPED_TRACE(name);
    MonitorRig f(GetParam());
    f.portName = name;
    f.StartMonitor();
    ASSERT_TRUE(f.os.RunFor(60000));
    ASSERT_TRUE(f.StopMonitor());
    ASSERT_EQ(f.portNameReads.size(), 7u);
    for (std::size_t i = 0; i < f.portNameReads.size(); ++i)
      EXPECT_EQ(f.portNameReads[i], 10000u * i);
    EXPECT_EQ(f.link.status.Text(), name == std::string("COM5") ? "Comport busy." : "Disabled.");
    EXPECT_EQ(f.os.OpenPortCount(), 0);
  }
}

TEST_P(MonitorFixture, StandingBySleepsThoughBytesSitOnTheLine) {
  // Junk queued before the thread starts, and more while it stands by.
  phone.device().Deliver("JUNK\r\nJUNK\r\n", 0);
  phone.device().Deliver("NOISE\r\n", 25000);
  phone.device().SetDsr(true, 61000);
  StartMonitor();
  ASSERT_TRUE(os.RunFor(60000));
  // Every 10 s, and once for the bytes that came while waiting.
  EXPECT_LE(portNameReads.size(), 8u);
  EXPECT_EQ(link.status.Text(), "Standing by for connection.");
  // A phone that comes afterwards is still set up, with no junk in its way.
  ASSERT_TRUE(RunUntil([&] { return Connected(); }, 20000));
  ASSERT_TRUE(StopMonitor());
  EXPECT_FALSE(TraceHas("got:  JUNK"));
  EXPECT_FALSE(TraceHas("got:  NOISE"));
}

TEST_P(MonitorFixture, MissingPortComesLater) {
  phone.device().refuseOpen = true;
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return link.status.Text() == "Comport busy."; }));
  phone.device().refuseOpen = false;
  phone.device().SetDsr(true, os.VirtualMs());
  // Found at the next retry, at most 10 s on.
  ASSERT_TRUE(RunUntil([&] { return Connected(); }, 10000 + 5000));
  ASSERT_TRUE(StopMonitor());
}

TEST_P(MonitorFixture, PortChangeIsHandedToTheMonitor) {
  phone.device().SetDsr(true, 0);
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return Connected(); }));
  ASSERT_TRUE(os.RunFor(3000));
  const std::uint64_t changedAt = os.VirtualMs();
  ChangePort("Disabled");
  // Woken at once, not at the next 10 s time-out.
  ASSERT_TRUE(RunUntil([&] { return link.status.Text() == "Disabled."; }, 1000));
  EXPECT_EQ(portNameReads.back(), changedAt);
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(os.OpenPortCount(), 0);
  EXPECT_EQ(os.badCloses, 0);
}

// What the link tells the calls, in order, repeats folded.
class RecordingPhoneEvents : public CallEvents {
 public:
  bool CallChanged(const CallStatus&) override { return Add("call"), false; }
  void CallsListed(const std::vector<CallStatus>* calls) override {
    Add(calls ? "listed" : "not listed");
  }
  void LinkInterrupted() override { Add("interrupted"); }
  void CallsForgotten() override { Add("forgotten"); }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  std::string Last() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_.empty() ? std::string() : events_.back();
  }

 private:
  void Add(const char* event) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (events_.empty() || events_.back() != event) events_.push_back(event);
  }
  std::mutex mutex_;
  std::vector<std::string> events_;
};

// A phone that blinks away leaves the calls unknown until it lists them
// again; only another port and the end forget them.
TEST_P(MonitorFixture, CallsOutliveAPhoneThatBlinksButNotAPortChange) {
  RecordingPhoneEvents calls;
  link.callEvents = &calls;
  phone.device().SetDsr(true, 0);
  phone.device().SetDsr(false, 20000);
  phone.device().SetDsr(true, 25000);
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return TraceHas("info: got connection\r\n"); }));
  ASSERT_TRUE(RunUntil([&] { return calls.Last() == "listed"; }));
  ChangePort("Disabled");
  ASSERT_TRUE(RunUntil([&] { return link.status.Text() == "Disabled."; }, 1000));
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(calls.Events(), (std::vector<std::string>{"listed", "interrupted", "listed",
                                                      "forgotten", "interrupted", "forgotten"}));
}

// Settings applied on the same port set the link up again as a blink of it
// does: the calls are kept, to be listed again.
TEST_P(MonitorFixture, SettingsAppliedOnTheSamePortKeepTheCalls) {
  RecordingPhoneEvents calls;
  link.callEvents = &calls;
  phone.device().SetDsr(true, 0);
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return calls.Last() == "listed"; }));
  RequestSetUpAgain(link);
  ASSERT_TRUE(RunUntil([&] { return calls.Events().size() == 3; }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(calls.Events(),
            (std::vector<std::string>{"listed", "interrupted", "listed", "forgotten"}));
}

// Work for the phone (a search) is its connection's: a blink, a set-up
// again and another port end it before anything of it could reach a phone.
TEST_P(MonitorFixture, WorkEndsWithItsConnection) {
  struct Row {
    const char* what;
    std::function<void(MonitorRig&)> end;
  };
  const Row rows[] = {
      {"the phone blinks",
       [](MonitorRig& r) {
         r.phone.device().SetDsr(false, r.os.VirtualMs());
         r.phone.device().SetDsr(true, r.os.VirtualMs() + 5000);
       }},
      {"set up again", [](MonitorRig& r) { RequestSetUpAgain(r.link); }},
      {"another port", [](MonitorRig& r) { r.ChangePort("COM2"); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MonitorRig r(GetParam());
    r.phone.device().SetDsr(true, 0);
    r.StartMonitor();
    ASSERT_TRUE(r.RunUntil([&] { return r.Connected(); }));
    // A step takes time, as a search's slices do.
    r.handlers.step = [&r] { r.os.Sleep(50); };
    r.handlers.working = true;
    r.os.SetEvent(r.link.wakeEvent);
    ASSERT_TRUE(r.RunUntil([&] { return r.handlers.steps > 3; }));
    EXPECT_EQ(r.handlers.ended, 0) << "work goes on while the connection lasts";
    row.end(r);
    EXPECT_TRUE(r.RunUntil([&] { return r.handlers.ended > 0; }, 20000));
    EXPECT_FALSE(r.handlers.working);
  }
}

TEST_P(MonitorFixture, StopDuringADispatchEndsPromptly) {
  phone.device().SetDsr(true, 0);
  phone.device().Deliver("\r\n*EAAI\r\n*EAAI\r\n*EAAI\r\n", 20000);
  handlers.onCall = [this] { link.state.stopRequested = true; };
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return handlers.Calls().size() >= 1; }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(handlers.Calls().size(), 1u);
  EXPECT_EQ(os.CommMask(link.state.port), 0u);
}

TEST_P(MonitorFixture, VanishingPortIsReopenedWhenItReturns) {
  phone.device().SetDsr(true, 0);
  StartMonitor();
  ASSERT_TRUE(RunUntil([&] { return link.state.connected.load(); }));
  phone.device().Unplug();
  ASSERT_TRUE(RunUntil([&] { return link.status.Text() == "Comport busy."; }));
  phone.device().Replug();
  ASSERT_TRUE(RunUntil([&] { return Connected(); }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(os.overlappedMisuse, 0);
}

// The phone checked while PauseWhenAway is on: when each plain "AT" reached
// it, and what the link told of its going and coming, when. Times are in
// whole seconds: the monitor's own look at the port may add a tenth.
struct AwayRig : MonitorRig, AwayEvents, phone::PhoneObserver, KeyEvents {
  explicit AwayRig(bool wineQuirks) : MonitorRig(wineQuirks) {
    link.clocked.push_back(&watch);
    link.awayEvents = this;
    phone.model().SetObserver(this);
    phone.device().SetDsr(true, 0);
    StartMonitor();
    EXPECT_TRUE(RunUntil([&] { return Connected(); }));
    silentFrom = link.lastLineMs;
  }
  // The thread uses the watch and this rig's events until it has ended.
  ~AwayRig() { StopMonitor(); }
  void PhoneGone() override { Note("gone"); }
  void PhoneBack(std::uint32_t goneMs) override { Note("back after " + Seconds(goneMs)); }
  void AbsenceForgotten() override { Note("forgotten"); }
  void OnCommand(const std::string& line, const std::string&) override {
    if (line == "AT") probes.push_back(Seconds(os.VirtualMs() - silentFrom));
  }
  void KeyChanged(const KeyReport&) override {}
  bool ScreenUp() const override { return keyScreen; }
  void KeysForgotten() override {}
  bool NextDue(std::uint32_t*) const override { return false; }
  void ClockReached(std::uint32_t) override {}
  void Note(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(what + " at " + Seconds(os.VirtualMs() - silentFrom));
  }
  static std::string Seconds(std::uint64_t ms) { return std::to_string((ms + 500) / 1000) + " s"; }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> lock(mutex);
    return events;
  }
  // The phone stops answering, from its last line on.
  void Silence() {
    phone.model().rules().Edit("").result = phone::ReplyRule::Result::Silent;
    silentFrom = link.lastLineMs;
  }
  PhoneWatch watch{link};
  std::mutex mutex;
  std::vector<std::string> events;
  // When each probe came, from the set-up's last line.
  std::vector<std::string> probes;
  std::uint64_t silentFrom = 0;
  bool keyScreen = false;
};

// Silent and idle, the phone is asked 10 s after its last line and 10 s
// later, once each; neither answered, it is gone at 22 s, traced once and
// asked every 10 s until it answers, when it is set up again.
TEST_P(MonitorFixture, ASilentPhoneIsCheckedThenGoneThenBack) {
  AwayRig r(GetParam());
  r.Silence();
  ASSERT_TRUE(r.RunUntil([&] { return !r.Events().empty(); }, 30000));
  EXPECT_EQ(r.probes, (std::vector<std::string>{"10 s", "20 s"}));
  EXPECT_EQ(r.Events(), (std::vector<std::string>{"gone at 22 s"}));
  EXPECT_EQ(r.link.status.Text(), "Standing by for connection.");
  ASSERT_TRUE(r.os.RunFor(30000));
  EXPECT_EQ(r.probes.size(), 5u);
  r.phone.model().rules().Clear();
  r.phone.model().SetPace({2, 20});
  const std::size_t before = r.phone.model().history().size();
  ASSERT_TRUE(r.RunUntil([&] { return r.Events().size() == 2; }, 20000));
  EXPECT_TRUE(r.Connected());
  const auto& history = r.phone.model().history();
  EXPECT_EQ(std::vector<std::string>(history.begin() + before + 1, history.end()),
            testing::SetUpCommands());
  // Asked at 32, 42 and 52 s; answered at 62 s.
  EXPECT_EQ(r.Events()[1], "back after 40 s at 62 s");
  ASSERT_TRUE(r.StopMonitor());
  const auto trace = r.TraceLines();
  for (const char* line : {"info: phone gone", "info: phone back", "put:  \rAT\r"})
    EXPECT_EQ(std::count(trace.begin(), trace.end(), line), line[0] == 'p' ? 0 : 1) << line;
}

// A line from the phone starts the silence afresh; answered probes are
// counted in the status; nothing is asked while a dialog or the key screen
// awaits the user.
TEST_P(MonitorFixture, CheckingWaitsForSilenceAndForAnIdlePhone) {
  {
    AwayRig r(GetParam());
    r.phone.At(r.link.lastLineMs + 8000);
    r.phone.model().SendUnsolicited("RING");
    ASSERT_TRUE(r.os.RunFor(35000));
    ASSERT_GE(r.probes.size(), 2u);
    EXPECT_EQ(r.probes[0], "18 s");
    EXPECT_EQ(r.link.status.Text(), std::string(testing::kConnectedStatus) + " Phone checked " +
                                        std::to_string(r.probes.size()) + " times.");
    EXPECT_TRUE(r.Events().empty());
  }
  for (bool keys : {false, true}) {
    AwayRig r(GetParam());
    r.handlers.awaiting = !keys;
    r.keyScreen = keys;
    r.link.keyEvents = &r;
    r.Silence();
    ASSERT_TRUE(r.os.RunFor(60000));
    EXPECT_TRUE(r.probes.empty()) << keys;
    EXPECT_TRUE(r.Events().empty()) << keys;
  }
}

INSTANTIATE_TEST_SUITE_P(SerialBehaviour, MonitorFixture, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wine" : "Windows"; });

}  // namespace
}  // namespace quillet
