// What the link's transactions cost against the simulated phone: in virtual
// time (the fake clock), next to the floor that the link's own pauses and the
// 9600-baud wire set, and in real CPU time per call.
//
// The floor of a run of transactions is the pause after each send and after
// the read that takes the answer (kPauseAfterSendMs + kPauseAfterReadMs each),
// plus the wire time of every byte sent and received at 10 bits a byte.
// The answer can arrive while the link sleeps, so a run can come in a little
// under that floor; the ratio shows how far the link is from it either way.
// The hard floor counts only the bytes sent, which nothing can overlap: each
// send is waited for before the pause after it begins.
//
// --figures-json PATH also writes the virtual figures to PATH, for
// bench/report.py; every other flag goes to Google Benchmark.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "fake_port_phone.h"
#include "figures_json.h"
#include "link/at_transaction.h"
#include "link/connection_setup.h"
#include "link/line_reader.h"
#include "link/link.h"
#include "link/monitor.h"
#include "link/phone_commands.h"
#include "link/phone_watch.h"
#include "platform/fake/fake_platform.h"
#include "set_up_sequence.h"

namespace quillet {
namespace {

constexpr char kCommand[] = "+CMEE=1";
constexpr double kWireMsPerByte = 10.0 * 1000.0 / 9600.0;

struct Rig {
  Rig() : phone(os), link(os) {
    link.portName = [] { return std::string("COM1"); };
  }
  void OpenPort() {
    link.state.port = os.OpenPort("COM1");
    os.SetPortTimeouts(link.state.port, kPortTimeouts);
    link.state.overlapped.event = os.CreateEvent(nullptr);
  }
  void Drain() {
    while (!link.rx.drained) ReadLine(link, false);
  }

  fake::FakePlatform os;
  testing::FakePortPhone phone;
  Link link;
};

// Virtual time and traffic of one or more transactions.
struct Cost {
  std::uint64_t virtualMs = 0;
  std::size_t bytesSent = 0;
  std::size_t bytesReceived = 0;
  int transactions = 0;

  double WireMs() const { return static_cast<double>(bytesSent + bytesReceived) * kWireMsPerByte; }
  double PauseMs() const { return transactions * double(kPauseAfterSendMs + kPauseAfterReadMs); }
  double FloorMs() const { return PauseMs() + WireMs(); }
  double Ratio() const { return static_cast<double>(virtualMs) / FloorMs(); }
  double HardFloorMs() const { return PauseMs() + static_cast<double>(bytesSent) * kWireMsPerByte; }
  double HardRatio() const { return static_cast<double>(virtualMs) / HardFloorMs(); }
};

int CountSends(const std::string& written) {
  const std::string start = std::string("\r") + phone::kCommandPrefix;
  int count = 0;
  for (std::size_t at = 0; (at = written.find(start, at)) != std::string::npos; at += start.size())
    ++count;
  return count;
}

// Runs `call` on the rig and measures it; the clock and the counts go on.
template <typename Call>
Cost Measure(Rig& rig, Call call) {
  const std::uint64_t startMs = rig.os.VirtualMs();
  const std::size_t writtenBefore = rig.phone.device().written().size();
  const std::size_t sentBefore = rig.phone.bytesSent();
  call();
  Cost cost;
  cost.virtualMs = rig.os.VirtualMs() - startMs;
  const std::string written = rig.phone.device().written().substr(writtenBefore);
  cost.bytesSent = written.size();
  cost.bytesReceived = rig.phone.bytesSent() - sentBefore;
  cost.transactions = CountSends(written);
  return cost;
}

Cost OneSendCommand(Rig& rig, bool* ok) {
  return Measure(rig, [&] { *ok = SendCommand(rig.link, kCommand); });
}

// Calls reported to nobody: the set-up's cost with PauseOnCall=1.
struct IgnoredCalls : CallEvents {
  bool CallChanged(const CallStatus&) override { return false; }
  void CallsListed(const std::vector<CallStatus>*) override {}
  void LinkInterrupted() override {}
  void CallsForgotten() override {}
};

Cost OneSetUp(Rig& rig, CallEvents* calls = nullptr, CharsetWish charset = CharsetWish::kOff) {
  rig.link.callEvents = calls;
  rig.link.charsetWish = charset;
  rig.phone.device().SetDsr(true, rig.os.VirtualMs());
  return Measure(rig, [&] { OnInit(rig.link, false); });
}

// When the link told that the phone went away: the pause is asked for then.
struct AwayClock : AwayEvents {
  explicit AwayClock(fake::FakePlatform& platform) : os(platform) {}
  void PhoneGone() override { goneAtMs = os.VirtualMs(); }
  void PhoneBack(std::uint32_t) override {}
  void AbsenceForgotten() override {}
  fake::FakePlatform& os;
  std::uint64_t goneAtMs = 0;
};

// With PauseWhenAway=1, from the phone's last answer (it falls silent, DSR
// still on) to the pause, on the monitor thread; 0 when it never came.
std::uint64_t LastAnswerToPause() {
  Rig rig;
  PhoneWatch watch(rig.link);
  AwayClock away(rig.os);
  rig.link.clocked.push_back(&watch);
  rig.link.awayEvents = &away;
  rig.link.wakeEvent = rig.os.CreateEvent(nullptr);
  rig.phone.device().SetDsr(true, 0);
  Handle thread = rig.os.StartThread([&rig] { MonitorDevice(rig.link); });
  std::uint64_t figure = 0;
  if (rig.os.RunUntil([&] { return rig.link.status.Text() == testing::kConnectedStatus; }, 30000)) {
    rig.phone.model().rules().Edit("").result = phone::ReplyRule::Result::Silent;
    const std::uint32_t lastAnswerMs = rig.link.lastLineMs;
    if (rig.os.RunUntil([&] { return away.goneAtMs != 0; }, 60000))
      figure = away.goneAtMs - lastAnswerMs;
  }
  rig.link.state.stopRequested = true;
  rig.os.SetEvent(rig.link.wakeEvent);
  rig.os.WaitThread(thread, 5000);
  rig.os.CloseHandle(thread);
  return figure;
}

void Report(benchmark::State& state, const Cost& total, std::int64_t runs) {
  const double n = static_cast<double>(runs);
  state.counters["virtual_ms"] = static_cast<double>(total.virtualMs) / n;
  state.counters["floor_ms"] = total.FloorMs() / n;
  state.counters["pause_ms"] = total.PauseMs() / n;
  state.counters["wire_ms"] = total.WireMs() / n;
  state.counters["ratio"] = total.Ratio();
  state.counters["hard_floor_ms"] = total.HardFloorMs() / n;
  state.counters["hard_ratio"] = total.HardRatio();
  state.counters["bytes"] = static_cast<double>(total.bytesSent + total.bytesReceived) / n;
}

void Add(Cost& total, const Cost& one) {
  total.virtualMs += one.virtualMs;
  total.bytesSent += one.bytesSent;
  total.bytesReceived += one.bytesReceived;
  total.transactions += one.transactions;
}

void BM_SendCommand(benchmark::State& state) {
  Rig rig;
  rig.OpenPort();
  Cost total;
  std::int64_t runs = 0;
  for (auto _ : state) {
    bool ok = false;
    Cost one = OneSendCommand(rig, &ok);
    state.PauseTiming();
    if (!ok) {
      state.SkipWithError("the phone did not answer OK");
      break;
    }
    Add(total, one);
    ++runs;
    // The "\r\n" ahead of each "OK" stays behind, as after every command.
    rig.Drain();
    rig.phone.device().ClearWritten();
    state.ResumeTiming();
  }
  if (runs > 0) Report(state, total, runs);
}
BENCHMARK(BM_SendCommand);

void BM_OnInitWithDsrOn(benchmark::State& state) {
  Cost total;
  std::int64_t runs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto rig = std::make_unique<Rig>();
    rig->phone.device().SetDsr(true, 0);
    state.ResumeTiming();
    Cost one = Measure(*rig, [&] { OnInit(rig->link, false); });
    state.PauseTiming();
    if (rig->link.status.Text() != testing::kConnectedStatus) {
      state.SkipWithError(("set-up ended with status: " + rig->link.status.Text()).c_str());
      break;
    }
    Add(total, one);
    ++runs;
    rig.reset();
    state.ResumeTiming();
  }
  if (runs > 0) Report(state, total, runs);
}
BENCHMARK(BM_OnInitWithDsrOn)->Unit(benchmark::kMicrosecond);

void PrintLine(const char* what, const Cost& cost) {
  std::printf(
      "%s: virtual %llu ms, floor %.1f ms (%d transaction(s): %.0f ms pauses + %.1f ms wire for "
      "%zu bytes sent, %zu received), ratio %.3f; hard floor (pauses + bytes sent) %.1f ms, "
      "ratio %.3f\n",
      what, static_cast<unsigned long long>(cost.virtualMs), cost.FloorMs(), cost.transactions,
      cost.PauseMs(), cost.WireMs(), cost.bytesSent, cost.bytesReceived, cost.Ratio(),
      cost.HardFloorMs(), cost.HardRatio());
}

void AddFigures(bench::Figures& figures, const char* group, const Cost& cost) {
  auto& out = figures[group];
  out.emplace_back("virtual_ms", static_cast<double>(cost.virtualMs));
  out.emplace_back("floor_ms", cost.FloorMs());
  out.emplace_back("pause_ms", cost.PauseMs());
  out.emplace_back("wire_ms", cost.WireMs());
  out.emplace_back("ratio", cost.Ratio());
  out.emplace_back("hard_floor_ms", cost.HardFloorMs());
  out.emplace_back("hard_ratio", cost.HardRatio());
  out.emplace_back("transactions", cost.transactions);
  out.emplace_back("bytes_sent", static_cast<double>(cost.bytesSent));
  out.emplace_back("bytes_received", static_cast<double>(cost.bytesReceived));
}

// The virtual figures do not depend on the machine: one run of each shows them.
int PrintVirtualFigures(const std::string& figuresPath) {
  Rig single;
  single.OpenPort();
  bool ok = false;
  Cost send = OneSendCommand(single, &ok);
  if (!ok) {
    std::printf("SendCommand(\"%s\") failed against the simulated phone\n", kCommand);
    return 1;
  }
  Rig setUp;
  Cost init = OneSetUp(setUp);
  if (setUp.link.status.Text() != testing::kConnectedStatus) {
    std::printf("OnInit ended with status \"%s\"\n", setUp.link.status.Text().c_str());
    return 1;
  }
  IgnoredCalls ignored;
  Rig withCalls;
  Cost initWithCalls = OneSetUp(withCalls, &ignored);
  if (withCalls.link.status.Text() != testing::kConnectedStatus || !withCalls.link.callsReported) {
    std::printf("OnInit with call reports ended with status \"%s\"\n",
                withCalls.link.status.Text().c_str());
    return 1;
  }
  Rig withCharset;
  Cost initWithCharset = OneSetUp(withCharset, nullptr, CharsetWish::kAuto);
  if (withCharset.link.status.Text() != testing::kConnectedStatus ||
      withCharset.link.charset != PhoneCharset::kUtf8) {
    std::printf("OnInit with Charset=auto ended with status \"%s\" and no UTF-8\n",
                withCharset.link.status.Text().c_str());
    return 1;
  }
  PrintLine("SendCommand(\"+CMEE=1\")", send);
  PrintLine("OnInit with DSR on", init);
  PrintLine("OnInit with DSR on and PauseOnCall=1", initWithCalls);
  PrintLine("OnInit with DSR on and Charset=auto", initWithCharset);
  const std::uint64_t awayMs = LastAnswerToPause();
  if (awayMs == 0) {
    std::printf("PauseWhenAway=1: the silent phone was never taken as gone\n");
    return 1;
  }
  // Its floor: silence before each of the two probes, and the last one's wait.
  const std::uint32_t awayFloorMs =
      kUnansweredProbesForGone * kSilenceBeforeProbeMs + kProbeAnswerMs;
  std::printf(
      "PauseWhenAway=1, the phone's last answer to the pause: virtual %llu ms, floor %u ms "
      "(%d probes %u ms apart, the last waited %u ms), target at most 25000 ms\n",
      static_cast<unsigned long long>(awayMs), awayFloorMs, kUnansweredProbesForGone,
      kSilenceBeforeProbeMs, kProbeAnswerMs);
  std::fflush(stdout);
  if (figuresPath.empty()) return 0;
  bench::Figures figures;
  AddFigures(figures, "send_command", send);
  AddFigures(figures, "set_up", init);
  AddFigures(figures, "set_up_calls", initWithCalls);
  AddFigures(figures, "set_up_charset", initWithCharset);
  figures["away_pause"].emplace_back("virtual_ms", static_cast<double>(awayMs));
  figures["away_pause"].emplace_back("floor_ms", awayFloorMs);
  figures["away_pause"].emplace_back("target_ms", 25000);
  if (figures.Write(figuresPath)) return 0;
  std::fprintf(stderr, "cannot write %s\n", figuresPath.c_str());
  return 1;
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
  const std::string figuresPath = quillet::bench::TakeFiguresPath(argc, argv);
  if (int failed = quillet::PrintVirtualFigures(figuresPath)) return failed;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
