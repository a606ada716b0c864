#include "link/monitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>

#include "link/line_reader.h"
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
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::function<void()> onCall;
  std::function<void()> step;
  std::atomic<bool> working{false};
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

INSTANTIATE_TEST_SUITE_P(SerialBehaviour, MonitorFixture, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wine" : "Windows"; });

}  // namespace
}  // namespace quillet
