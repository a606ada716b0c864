#include "link/monitor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "link/line_reader.h"
#include "link_fixture.h"

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
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::function<void()> onCall;

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

// The monitor thread itself, on the fake platform. Virtual time runs ahead
// whenever the thread waits; the test only waits (boundedly) for outcomes.
struct MonitorFixture : ::testing::TestWithParam<bool>, LinkFixture {
  MonitorFixture() : LinkFixture(GetParam()) {
    link.handlers = &handlers;
    link.wakeEvent = os.CreateEvent(nullptr);
    phone.model().SetValue("+CGMI", {"SimPhone"});
    phone.model().SetValue("+CGMM", {"QX-1"});
  }
  ~MonitorFixture() override { StopMonitor(); }
  void StartMonitor() {
    thread = os.StartThread([this] { MonitorDevice(link); });
  }
  bool StopMonitor() {
    if (thread == kNoHandle) return true;
    link.state.stopRequested = true;
    os.SetEvent(link.wakeEvent);
    bool ended = os.WaitThread(thread, 10000);
    os.CloseHandle(thread);
    thread = kNoHandle;
    return ended;
  }
  template <typename Pred>
  bool Eventually(Pred pred) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  bool TraceHas(const std::string& text) { return Trace().find(text) != std::string::npos; }
  RecordingHandlers handlers;
  Handle thread = kNoHandle;
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
  ASSERT_TRUE(Eventually([&] { return handlers.Calls().size() == 2; }));
  ASSERT_TRUE(Eventually([&] { return TraceHas("info: got connection\r\n"); }));
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
  EXPECT_EQ(link.status.Text(), "Ready and connected to SimPhone QX-1.");
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
  ASSERT_TRUE(Eventually([&] { return TraceHas("info: lost connection\r\n"); }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_TRUE(handlers.Calls().empty());

  LinkFixture other(GetParam());
  (void)other;
}

TEST_P(MonitorFixture, CharactersWithDsrStillOnAreDispatched) {
  phone.device().SetDsr(true, 0);
  phone.device().Deliver("\r\n*EAAI\r\n", 20000);
  phone.device().SetDsr(true, 20000);
  phone.device().SetDsr(false, 20000);
  phone.device().SetDsr(true, 20000);
  StartMonitor();
  ASSERT_TRUE(Eventually([&] { return handlers.Calls().size() == 1; }));
  ASSERT_TRUE(StopMonitor());
}

TEST_P(MonitorFixture, DsrLostWhileNoWaitWasArmedIsNoticed) {
  phone.device().SetDsr(true, 0);
  // DSR drops while the monitor is reading the code, before it waits again.
  phone.device().Deliver("\r\n*EAAI\r\n", 20000);
  phone.device().SetDsr(false, 20010);
  StartMonitor();
  ASSERT_TRUE(Eventually([&] { return TraceHas("info: lost connection\r\n"); }));
  ASSERT_TRUE(Eventually([&] { return link.status.Text() == "Standing by for connection."; }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(handlers.Calls(), (std::vector<Call>{{"open"}}));
}

TEST_P(MonitorFixture, BytesThatNoEventAnnouncedAreReadAtTheTimeOut) {
  phone.device().SetDsr(true, 0);
  StartMonitor();
  ASSERT_TRUE(Eventually([&] { return link.state.connected.load(); }));
  // Arrived unannounced: the fake's history is dropped as the wait re-arms.
  std::uint64_t later = os.NowMs() + 15000;
  phone.device().Deliver("\r\n*EAAI\r\n", later);
  ASSERT_TRUE(Eventually([&] { return handlers.Calls().size() == 1; }));
  ASSERT_TRUE(StopMonitor());
}

TEST_P(MonitorFixture, DisabledPortKeepsRetrying) {
  portName = "Disabled";
  StartMonitor();
  ASSERT_TRUE(Eventually([&] { return os.NowMs() > 50000; }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(link.status.Text(), "Disabled.");
  EXPECT_EQ(os.OpenPortCount(), 0);
}

TEST_P(MonitorFixture, MissingPortComesLater) {
  portName = "COM5";
  StartMonitor();
  ASSERT_TRUE(Eventually([&] { return link.status.Text() == "Comport busy."; }));
  portName = "COM1";
  phone.device().SetDsr(true, 0);
  ASSERT_TRUE(
      Eventually([&] { return link.status.Text() == "Ready and connected to SimPhone QX-1."; }));
  ASSERT_TRUE(StopMonitor());
}

TEST_P(MonitorFixture, PortChangeIsHandedToTheMonitor) {
  phone.device().SetDsr(true, 0);
  os.realWaitSliceMs = 2;
  StartMonitor();
  ASSERT_TRUE(
      Eventually([&] { return link.state.connected.load() && link.state.port != kNoHandle; }));
  portName = "Disabled";
  RequestReconnect(link);
  ASSERT_TRUE(Eventually([&] { return link.status.Text() == "Disabled."; }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(os.OpenPortCount(), 0);
  EXPECT_EQ(os.badCloses, 0);
}

TEST_P(MonitorFixture, StopDuringADispatchEndsPromptly) {
  phone.device().SetDsr(true, 0);
  phone.device().Deliver("\r\n*EAAI\r\n*EAAI\r\n*EAAI\r\n", 20000);
  handlers.onCall = [this] { link.state.stopRequested = true; };
  StartMonitor();
  ASSERT_TRUE(Eventually([&] { return handlers.Calls().size() >= 1; }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(handlers.Calls().size(), 1u);
  EXPECT_EQ(os.CommMask(link.state.port), 0u);
}

TEST_P(MonitorFixture, VanishingPortIsReopenedWhenItReturns) {
  phone.device().SetDsr(true, 0);
  StartMonitor();
  ASSERT_TRUE(Eventually([&] { return link.state.connected.load(); }));
  phone.device().Unplug();
  ASSERT_TRUE(Eventually([&] { return link.status.Text() == "Comport busy."; }));
  phone.device().Replug();
  ASSERT_TRUE(
      Eventually([&] { return link.status.Text() == "Ready and connected to SimPhone QX-1."; }));
  ASSERT_TRUE(StopMonitor());
  EXPECT_EQ(os.overlappedMisuse, 0);
}

INSTANTIATE_TEST_SUITE_P(SerialBehaviour, MonitorFixture, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wine" : "Windows"; });

}  // namespace
}  // namespace quillet
