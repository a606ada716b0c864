// What opening the main menu costs: host requests and CPU time per opening,
// and, with the monitor thread and the simulated phone, the virtual time from
// the phone's "*EAAI" line to the first byte of the page the plug-in sends
// and to the phone's answer to it. The floors: the line's wire time plus the
// 50 ms read interval that ends the read holding it; for the whole command,
// also the pauses after its send and read and the wire time of the command,
// its echo and the result.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "fake_player.h"
#include "fake_port_phone.h"
#include "link/at_transaction.h"
#include "link/phone_link.h"
#include "platform/fake/fake_platform.h"
#include "shell/menu_bundle.h"
#include "shell/plugin.h"

namespace quillet {
namespace {

constexpr double kWireMsPerByte = 10.0 * 1000.0 / 9600.0;

void BM_MainMenuOpening(benchmark::State& state) {
  fake::FakePlatform os;
  testing::FakePlayer player(os);
  player.Entries(1000);
  player.position = 500;
  Link link(os);
  MenuBundle menus(link, 0x4242, RegisterMenuMessages(os, 0x4242), 0);
  std::string page;
  MenuProtocol protocol(menus.sources, [&](const std::string& c) { page = c; });
  std::int64_t runs = 0;
  const int before = player.requests;
  for (auto _ : state) {
    protocol.MenuActivated();
    benchmark::DoNotOptimize(page.data());
    ++runs;
  }
  state.counters["host_requests"] = double(player.requests - before) / double(runs);
  state.counters["page_bytes"] = double(page.size());
}
BENCHMARK(BM_MainMenuOpening)->Unit(benchmark::kMicrosecond);

int NoInit() {
  return 0;
}
void NoConfig() {}
void NoQuit() {}

// One activation through the plug-in's own thread, in virtual time.
int PrintActivationLatency() {
  fake::FakePlatform os;
  testing::FakePlayer player(os);
  player.Entries(10);
  os.profiles["C:\\P\\plugin.ini"]["Quillet"]["Port"] = "COM1";
  os.moduleFileName = "C:\\P\\gen_quillet.dll";
  testing::FakePortPhone phone(os);
  phone.SetDsr(true);
  Plugin plugin(os, {NoInit, NoConfig, NoQuit});
  PluginRecord* record = plugin.HandOutRecord();
  record->hostWindow = reinterpret_cast<void*>(0x1234);
  plugin.Init();
  auto& history = phone.model().history();
  if (!os.RunUntil([&] { return history.size() == 5; }, 60000)) return 1;
  os.RunFor(1000);
  const std::size_t written = phone.device().written().size();
  const std::size_t sentBefore = phone.bytesSent();
  phone.Now();
  phone.model().OpenAccessoryMenu();
  const std::size_t codeBytes = phone.bytesSent() - sentBefore;
  const std::uint64_t start = os.VirtualMs();
  if (!os.RunUntil([&] { return phone.device().written().size() > written; }, 10000)) return 1;
  const double firstByte = double(os.VirtualMs() - start);
  if (!os.RunUntil([&] { return history.size() == 6; }, 10000)) return 1;
  const std::string command = history.back();
  const double codeWire = double(codeBytes) * kWireMsPerByte;
  const double firstFloor = codeWire + kPortTimeouts.readInterval;
  std::printf(
      "\"*EAAI\" to the first byte of the page: virtual %.0f ms, floor %.1f ms (%.1f ms wire "
      "+ %u ms read interval), ratio %.2f\n",
      firstByte, firstFloor, codeWire, kPortTimeouts.readInterval, firstByte / firstFloor);
  std::printf("page command: %zu bytes on the wire\n", command.size() + 2);
  plugin.Quit();
  return 0;
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
  if (int failed = quillet::PrintActivationLatency()) {
    std::printf("the phone was not set up, or no page came\n");
    return failed;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
