// What the menus cost. Playlist pages: host requests, time and heap
// allocations per page for playlists of 10, 10,000 and 1,000,000 entries,
// walked from the top to an entry and on by blocks. Opening the main menu:
// host requests and CPU time per opening. And, with the monitor thread and
// the simulated phone, the virtual time from the phone's "*EAAI" (opening the
// menu) and then its "*EAMI" (choosing the video window) to the first byte of
// the page that answers each; the floor is the code's wire time plus the
// 50 ms read interval that ends the read holding it. And a title brought to
// its search form: CPU time and heap allocations per title.
//
// --figures-json PATH also writes the printed figures to PATH, for
// bench/report.py; every other flag goes to Google Benchmark.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "fake_player.h"
#include "fake_port_phone.h"
#include "figures_json.h"
#include "link/at_transaction.h"
#include "link/phone_link.h"
#include "platform/fake/fake_platform.h"
#include "platform/host_messages.h"
#include "player/playlist_pages.h"
#include "player/title_match.h"
#include "plugin_entries.h"
#include "set_up_sequence.h"
#include "shell/menu_bundle.h"
#include "shell/plugin.h"

// Heap allocations made while `counting` is set.
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
// Both deletes free what the counting new took with malloc; the compiler
// cannot see that they pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace quillet {
namespace {

// A player that answers the playlist's requests from its length alone,
// without allocating, so that what is counted is the pages' own.
class PlaylistHost : public fake::FakePlatform {
 public:
  explicit PlaylistHost(std::int64_t length) : length_(length) {}
  long requests = 0;

  std::intptr_t SendHostMessage(Handle, std::uint32_t msg, std::uintptr_t wParam,
                                std::intptr_t lParam) override {
    ++requests;
    if (msg != host::kWmUser) return 0;
    const auto entry = static_cast<std::intptr_t>(wParam);
    switch (lParam) {
      case host::kPlaylistLength:
        return static_cast<std::intptr_t>(length_);
      case host::kEntryTitle: {
        if (entry < 0 || entry >= length_) return 0;
        char* title = titles_[next_++ % 16];
        std::snprintf(title, sizeof titles_[0], "Track %ld", static_cast<long>(entry + 1));
        return reinterpret_cast<std::intptr_t>(title);
      }
      default:
        return 0;  // stopped; positions are taken as given
    }
  }

 private:
  std::int64_t length_;
  char titles_[16][32] = {};
  unsigned next_ = 0;
};

// Walks from the top down to the entry whose digits are all `digit`, then
// on by ten blocks: one page per call.
void BM_PlaylistPage(benchmark::State& state) {
  const std::int64_t length = state.range(0);
  PlaylistHost os(length);
  HostWindow host(os, 0x4242);
  BuiltInMenus menus;
  PlaylistPages pages(menus, host);
  const int levels = DecimalDigits(length - 1);
  std::vector<std::int32_t> walk = {kPlaylistMenuId};
  for (int level = levels - 1; level >= 0; --level)
    walk.push_back(kFirstPlaylistPageId + kIdsPerLevel * level + 3 + 1);
  for (int i = 0; i < 10; ++i) walk.push_back(kFirstPlaylistPageId + 2);  // next block
  std::size_t at = 0;
  long pagesBuilt = 0;
  const long requestsBefore = os.requests;
  allocations = 0;
  for (auto _ : state) {
    counting = true;
    Menu* page = pages.Page(walk[at]);
    counting = false;
    benchmark::DoNotOptimize(page);
    at = (at + 1) % walk.size();
    ++pagesBuilt;
  }
  state.counters["host_requests"] = double(os.requests - requestsBefore) / double(pagesBuilt);
  state.counters["allocations"] = double(allocations) / double(pagesBuilt);
}
BENCHMARK(BM_PlaylistPage)->Arg(10)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Titles in several scripts brought to their search form, as the track
// finder looks at them: one title per iteration, into the one buffer.
void BM_TitleSearchForm(benchmark::State& state) {
  const std::u32string titles[] = {
      U"Caf\u00E9 \u2013 D\u00E9j\u00E0 Vu (Live at the Olympia, 1998)",
      U"Ph\u1EDF B\u00F2 \u2014 N\u01D0 h\u01CEo, STRA\u00DFE",
      U"\u041A\u0418\u041D\u041E \u2013 \u0490\u0430\u043D\u043E\u043A",
      U"\u1F08\u03B8\u03AE\u03BD\u03B1 \uFF21\uFF22\uFF23 \uFB01nal",
      U"\u591C\u306E\u6B4C \u3070\u3089 \uD55C\uAD6D\uC5B4",
      U"Track 4321",
  };
  std::u32string form;
  SearchForm(titles[0], &form);  // warm: the buffer grows once
  for (const auto& title : titles) SearchForm(title, &form);
  std::int64_t folded = 0;
  std::size_t at = 0;
  allocations = 0;
  for (auto _ : state) {
    counting = true;
    SearchForm(titles[at], &form);
    counting = false;
    benchmark::DoNotOptimize(form.data());
    at = (at + 1) % std::size(titles);
    ++folded;
  }
  state.counters["allocations"] = double(allocations) / double(folded);
}
BENCHMARK(BM_TitleSearchForm)->Unit(benchmark::kNanosecond);

// A prime, so that the walks' targets end in every digit at every level.
constexpr std::int64_t kWalkStride = 1009;

// The most host requests any page of a walk to every kWalkStride-th entry
// costs: browsing pages, and the page that jumps to the entry (which also asks
// the play state, sets the position, plays, and on a one-level playlist asks
// the length again for the top page).
std::pair<long, long> MostRequestsPerPage(std::int64_t length) {
  PlaylistHost os(length);
  HostWindow host(os, 0x4242);
  BuiltInMenus menus;
  PlaylistPages pages(menus, host);
  long most = 0, mostJump = 0;
  const int levels = DecimalDigits(length - 1);
  for (std::int64_t target = 0; target < length; target += kWalkStride) {
    std::vector<std::int32_t> walk = {kPlaylistMenuId};
    std::int64_t digits = target;
    std::vector<int> digit(levels);
    for (int l = 0; l < levels; ++l, digits /= 10) digit[l] = static_cast<int>(digits % 10);
    for (int l = levels - 1; l >= 0; --l)
      walk.push_back(kFirstPlaylistPageId + kIdsPerLevel * l + 3 + digit[l]);
    for (std::size_t i = 0; i < walk.size(); ++i) {
      const long before = os.requests;
      pages.Page(walk[i]);
      long& worst = i + 1 == walk.size() ? mostJump : most;
      if (os.requests - before > worst) worst = os.requests - before;
    }
  }
  return {most, mostJump};
}

constexpr double kWireMsPerByte = 10.0 * 1000.0 / 9600.0;
// "Video window" on the main menu, a sub-menu of the player's own.
constexpr std::int32_t kVideoEntry = 10;
constexpr std::int32_t kRemoteKeysEntry = 11;  // with RemoteKeys=1
constexpr int kKeyPresses = 10;

// The main menu opened again and again; with PlayModes=1 it reads shuffle,
// repeat and the rating too.
void MainMenuOpenings(benchmark::State& state, bool playModes) {
  fake::FakePlatform os;
  testing::FakePlayer player(os);
  player.Entries(1000);
  player.position = 500;
  Link link(os);
  MenuBundle menus(link, 0x4242, RegisterMenuMessages(os, 0x4242), 0);
  menus.player.WantPlayModes(playModes);
  std::string page;
  MenuProtocol protocol(menus.router, [&](const std::string& c) { page = c; });
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
void BM_MainMenuOpening(benchmark::State& state) {
  MainMenuOpenings(state, false);
}
BENCHMARK(BM_MainMenuOpening)->Unit(benchmark::kMicrosecond);
void BM_MainMenuOpeningPlayModes(benchmark::State& state) {
  MainMenuOpenings(state, true);
}
BENCHMARK(BM_MainMenuOpeningPlayModes)->Unit(benchmark::kMicrosecond);

// How long a code from the phone took to bring the first byte of the page
// that answers it, in virtual time.
struct Latency {
  double firstByteMs = 0;
  double codeWireMs = 0;
  std::string page;  // the command that the phone received

  double FloorMs() const { return codeWireMs + kPortTimeouts.readInterval; }
  double Ratio() const { return firstByteMs / FloorMs(); }
};

// The user's action on the phone, taken once every earlier transaction is
// over, and the page command that answers it, which must start with
// `pageStart`. False when no such page came.
template <typename Act>
bool MeasureLatency(fake::FakePlatform& os, testing::FakePortPhone& phone, Act act,
                    const std::string& pageStart, Latency* latency) {
  auto& history = phone.model().history();
  // Let the last transaction's pauses run out first.
  os.RunFor(1000);
  const std::size_t commands = history.size();
  const std::size_t written = phone.device().written().size();
  const std::size_t sentBefore = phone.bytesSent();
  phone.Now();
  act();
  latency->codeWireMs = double(phone.bytesSent() - sentBefore) * kWireMsPerByte;
  const std::uint64_t start = os.VirtualMs();
  if (!os.RunUntil([&] { return phone.device().written().size() > written; }, 10000)) return false;
  latency->firstByteMs = double(os.VirtualMs() - start);
  if (!os.RunUntil([&] { return history.size() > commands; }, 10000)) return false;
  latency->page = history[commands];
  return latency->page.rfind(pageStart, 0) == 0;
}

void PrintLatency(const char* code, const Latency& latency) {
  std::printf(
      "\"%s\" to the first byte of the page: virtual %.0f ms, floor %.1f ms (%.1f ms wire "
      "+ %u ms read interval), ratio %.2f; page command: %zu bytes on the wire\n",
      code, latency.firstByteMs, latency.FloorMs(), latency.codeWireMs, kPortTimeouts.readInterval,
      latency.Ratio(), latency.page.size() + 2);
}

void AddLatency(bench::Figures& figures, const char* group, const Latency& latency) {
  auto& out = figures[group];
  out.emplace_back("first_byte_ms", latency.firstByteMs);
  out.emplace_back("floor_ms", latency.FloorMs());
  out.emplace_back("code_wire_ms", latency.codeWireMs);
  out.emplace_back("read_interval_ms", kPortTimeouts.readInterval);
  out.emplace_back("ratio", latency.Ratio());
  out.emplace_back("page_bytes", double(latency.page.size() + 2));
}

// The plug-in started on COM1 with a phone there and a player of ten
// entries, its settings `extra` lines beside the port; `newer`: a phone of
// the newer accessory commands.
struct StartedPlugin {
  explicit StartedPlugin(const std::map<std::string, std::string>& extra = {}, bool newer = false)
      : player(os), phone(os), plugin(os, testing::kNoEntries) {
    phone.model().SetNewer(newer);
    player.Entries(10);
    auto& section = os.profiles["C:\\P\\plugin.ini"]["Quillet"];
    section["Port"] = "COM1";
    for (const auto& [key, value] : extra) section[key] = value;
    os.moduleFileName = "C:\\P\\gen_quillet.dll";
    phone.SetDsr(true);
    plugin.HandOutRecord()->hostWindow = reinterpret_cast<void*>(0x1234);
    plugin.Init();
  }
  ~StartedPlugin() { plugin.Quit(); }
  fake::FakePlatform os;
  testing::FakePlayer player;
  testing::FakePortPhone phone;
  Plugin plugin;
};

// Opening the accessory menu ("*EAAI") and then choosing the video window
// ("*EAMI: 10"), each through the plug-in's own thread, in virtual time.
int PrintActivationLatency(bench::Figures& figures) {
  StartedPlugin rig;
  auto& os = rig.os;
  auto& phone = rig.phone;
  auto& history = phone.model().history();
  int failed = 0;
  Latency opening, choice;
  const std::size_t setUp = testing::SetUpCommands().size();
  if (!os.RunUntil([&] { return history.size() == setUp; }, 60000)) {
    std::printf("the phone was not set up\n");
    failed = 1;
  } else if (!MeasureLatency(
                 os, phone, [&] { phone.model().OpenAccessoryMenu(); }, "AT*EASM=\"Winamp menu\"",
                 &opening)) {
    std::printf("no main menu page came after \"*EAAI\"\n");
    failed = 1;
  } else if (!MeasureLatency(
                 os, phone, [&] { phone.model().ChooseEntry(kVideoEntry); },
                 "AT*EASM=\"Video options\"", &choice)) {
    std::printf("no video window page came after \"*EAMI: %d\"\n", kVideoEntry);
    failed = 1;
  } else {
    PrintLatency("*EAAI", opening);
    PrintLatency("*EAMI", choice);
    AddLatency(figures, "eaai_first_byte", opening);
    AddLatency(figures, "eami_first_byte", choice);
  }
  return failed;
}

// With FollowTrack=1: the player starts another entry from its own side
// while the main menu is on the phone. From its notice to the whole page
// again at the phone, against the page's own wire time: the monitor is
// woken by the notice, not by the read interval, and the opening's host
// requests take no virtual time (BM_MainMenuOpening gives their real cost).
int PrintFollowLatency(bench::Figures& figures) {
  StartedPlugin rig(std::map<std::string, std::string>{{"FollowTrack", "1"}});
  auto& os = rig.os;
  auto& phone = rig.phone;
  auto& history = phone.model().history();
  Latency opening;
  const std::size_t setUp = testing::SetUpCommands().size();
  if (!os.RunUntil([&] { return history.size() == setUp; }, 60000) ||
      !MeasureLatency(
          os, phone, [&] { phone.model().OpenAccessoryMenu(); }, "AT*EASM=\"Winamp menu\"",
          &opening)) {
    std::printf("no main menu page to follow\n");
    return 1;
  }
  os.RunFor(2000);
  const std::size_t commands = history.size();
  const std::uint64_t start = os.VirtualMs();
  rig.player.PlayFromPlayer(5);
  if (!os.RunUntil([&] { return history.size() > commands; }, 10000) ||
      history[commands].find("Next: Track 7") == std::string::npos) {
    std::printf("the main menu did not follow the player\n");
    return 1;
  }
  // The fake port writes without wire time: the page's own comes on top.
  const double writtenMs = double(os.VirtualMs() - start);
  const double wireMs = double(history[commands].size() + 2) * kWireMsPerByte;
  const double wholeMs = writtenMs + wireMs;
  std::printf(
      "player's track change to the whole main menu at the phone: virtual %.0f ms to the page "
      "written + %.1f ms wire (%zu bytes) = %.1f ms; floor %.1f ms wire + one opening's own "
      "cost (BM_MainMenuOpening), ratio %.2f\n",
      writtenMs, wireMs, history[commands].size() + 2, wholeMs, wireMs, wholeMs / wireMs);
  auto& out = figures["follow_whole_page"];
  out.emplace_back("page_written_ms", writtenMs);
  out.emplace_back("whole_page_ms", wholeMs);
  out.emplace_back("page_wire_ms", wireMs);
  out.emplace_back("ratio", wholeMs / wireMs);
  return 0;
}

// On the newer phone: the code, then the whole list at the phone, and the
// transaction `before` (if any) that must end before the list goes out.
struct NewerLatency {
  double wholeListMs = 0;
  double floorMs = 0;
  double codeWireMs = 0;
  double transactionMs = 0;  // its pauses and its bytes both ways
  double listWireMs = 0;
};

template <typename Act>
bool MeasureNewerList(fake::FakePlatform& os, testing::FakePortPhone& phone, Act act,
                      const std::string& before, const std::string& listStart,
                      NewerLatency* latency) {
  auto& history = phone.model().history();
  os.RunFor(1000);
  const std::size_t commands = history.size();
  const std::size_t sentBefore = phone.bytesSent();
  phone.Now();
  act();
  latency->codeWireMs = double(phone.bytesSent() - sentBefore) * kWireMsPerByte;
  const std::uint64_t start = os.VirtualMs();
  const auto listAt = [&]() -> const std::string* {
    for (std::size_t i = commands; i < history.size(); ++i)
      if (history[i].rfind(listStart, 0) == 0) return &history[i];
    return nullptr;
  };
  if (!os.RunUntil([&] { return listAt() != nullptr; }, 10000)) return false;
  latency->wholeListMs = double(os.VirtualMs() - start);
  latency->listWireMs = double(listAt()->size() + 2) * kWireMsPerByte;
  if (!before.empty()) {
    if (history.size() <= commands || history[commands] != before) return false;
    // Its pauses, and its echo, "\r" and "\r\nOK\r\n" back; the fake port
    // writes without wire time, as it writes the list.
    latency->transactionMs =
        kPauseAfterSendMs + kPauseAfterReadMs + double((before.size() + 1) + 6) * kWireMsPerByte;
  }
  latency->floorMs = latency->codeWireMs + kPortTimeouts.readInterval + latency->transactionMs;
  return true;
}

void AddNewerLatency(bench::Figures& figures, const char* group, const NewerLatency& latency) {
  auto& out = figures[group];
  out.emplace_back("whole_list_ms", latency.wholeListMs);
  out.emplace_back("floor_ms", latency.floorMs);
  out.emplace_back("code_wire_ms", latency.codeWireMs);
  out.emplace_back("read_interval_ms", kPortTimeouts.readInterval);
  out.emplace_back("transaction_ms", latency.transactionMs);
  out.emplace_back("list_wire_ms", latency.listWireMs);
  out.emplace_back("ratio", latency.wholeListMs / latency.floorMs);
}

// The same on a phone of the newer commands: "*SEAAI" to the whole main
// list (after "*SEUIS=1"), and the video window's entry to its list.
int PrintNewerLatency(bench::Figures& figures) {
  StartedPlugin rig({}, true);
  auto& os = rig.os;
  auto& phone = rig.phone;
  auto& history = phone.model().history();
  NewerLatency opening, choice;
  // The set-up ends with the character set, auto on a newer phone.
  if (!os.RunUntil([&] { return !history.empty() && history.back().rfind("AT+CSCS=\"", 0) == 0; },
                   60000)) {
    std::printf("the newer phone was not set up\n");
    return 1;
  }
  if (!MeasureNewerList(
          os, phone, [&] { phone.model().OpenAccessoryMenu(); }, "AT*SEUIS=1",
          "AT*SELIST=\"Winamp menu\"", &opening) ||
      !MeasureNewerList(
          os, phone, [&] { phone.model().ChooseEntry(kVideoEntry); }, "",
          "AT*SELIST=\"Video options\"", &choice)) {
    std::printf("no list came on the newer phone\n");
    return 1;
  }
  for (const auto& [code, latency] :
       {std::pair<const char*, const NewerLatency&>{"*SEAAI", opening}, {"*SEGUII", choice}})
    std::printf(
        "\"%s\" to the whole list at the phone: virtual %.0f ms, floor %.1f ms (%.1f ms code "
        "wire + %u ms read interval + %.1f ms transaction before), ratio %.2f; the list: "
        "%.1f ms on a 9600-baud wire, which the fake port does not take\n",
        code, latency.wholeListMs, latency.floorMs, latency.codeWireMs, kPortTimeouts.readInterval,
        latency.transactionMs, latency.wholeListMs / latency.floorMs, latency.listWireMs);
  AddNewerLatency(figures, "seaai_whole_list", opening);
  AddNewerLatency(figures, "seguii_whole_list", choice);
  return 0;
}

// With RemoteKeys=1 and the key screen up: a key press ("+CKEV: 6,1") to the
// player's WM_COMMAND 40048, through the plug-in's own thread, in virtual
// time. The floor is the press line's wire time and the read interval that
// ends the read holding it.
int PrintKeyLatency(bench::Figures& figures) {
  StartedPlugin rig(std::map<std::string, std::string>{{"RemoteKeys", "1"}});
  auto& os = rig.os;
  auto& phone = rig.phone;
  auto& history = phone.model().history();
  auto nextAt = [&](std::size_t from) -> std::optional<std::uint64_t> {
    const auto calls = os.HostCalls();
    for (std::size_t i = from; i < calls.size(); ++i)
      if (calls[i].msg == host::kWmCommand && calls[i].wParam == host::kCommandNext)
        return calls[i].atMs;
    return std::nullopt;
  };
  int failed = 0;
  // RemoteKeys=1 asks for call reports too.
  const std::size_t setUp = testing::SetUpWithCalls().size();
  if (!os.RunUntil([&] { return history.size() == setUp; }, 60000)) {
    std::printf("the phone was not set up\n");
    failed = 1;
  } else {
    phone.Now();
    phone.model().OpenAccessoryMenu();
    os.RunFor(1000);
    phone.Now();
    phone.model().ChooseEntry(kRemoteKeysEntry);
    os.RunFor(1000);
    if (history.empty() || history.back() != "AT+CMER=3,2,0,0,0") {
      std::printf("the key screen did not open\n");
      failed = 1;
    }
  }
  std::vector<double> samples;
  double wireMs = 0;
  for (int i = 0; i < kKeyPresses && failed == 0; ++i) {
    const std::size_t mark = os.HostCalls().size();
    const std::size_t sentBefore = phone.bytesSent();
    phone.Now();
    const std::uint64_t start = os.VirtualMs();
    phone.model().SendUnsolicited("+CKEV: 6,1");
    wireMs = double(phone.bytesSent() - sentBefore) * kWireMsPerByte;
    if (!os.RunUntil([&] { return nextAt(mark).has_value(); }, 10000)) {
      std::printf("no WM_COMMAND 40048 came after \"+CKEV: 6,1\"\n");
      failed = 1;
      break;
    }
    samples.push_back(double(*nextAt(mark) - start));
    phone.Now();
    phone.model().SendUnsolicited("+CKEV: 6,0");
    os.RunFor(300 + 37 * i);  // presses at differing distances
  }
  if (failed == 0) {
    std::sort(samples.begin(), samples.end());
    const double median = samples[samples.size() / 2];
    const double floor = wireMs + kPortTimeouts.readInterval;
    std::printf(
        "\"+CKEV: 6,1\" (next) to WM_COMMAND 40048 at the player: virtual median %.0f ms "
        "(%.0f-%.0f ms, %d presses), floor %.1f ms (%.1f ms wire + %u ms read interval), "
        "ratio %.2f\n",
        median, samples.front(), samples.back(), kKeyPresses, floor, wireMs,
        kPortTimeouts.readInterval, median / floor);
    auto& out = figures["key_press"];
    out.emplace_back("median_ms", median);
    out.emplace_back("min_ms", samples.front());
    out.emplace_back("max_ms", samples.back());
    out.emplace_back("presses", kKeyPresses);
    out.emplace_back("floor_ms", floor);
    out.emplace_back("code_wire_ms", wireMs);
    out.emplace_back("read_interval_ms", kPortTimeouts.readInterval);
    out.emplace_back("ratio", median / floor);
  }
  return failed;
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
  const std::string figuresPath = quillet::bench::TakeFiguresPath(argc, argv);
  quillet::bench::Figures figures;
  if (int failed = quillet::PrintActivationLatency(figures)) return failed;
  if (int failed = quillet::PrintNewerLatency(figures)) return failed;
  if (int failed = quillet::PrintKeyLatency(figures)) return failed;
  if (int failed = quillet::PrintFollowLatency(figures)) return failed;
  for (const long length : {10L, 10000L, 1000000L}) {
    const auto [browse, jump] = quillet::MostRequestsPerPage(length);
    std::printf(
        "playlist of %ld: at most %ld host requests a page (limit 11), %ld for the page "
        "that jumps to the entry\n",
        length, browse, jump);
    auto& out = figures["playlist_" + std::to_string(length)];
    out.emplace_back("entries", double(length));
    out.emplace_back("most_requests_browsing", double(browse));
    out.emplace_back("most_requests_jump", double(jump));
    out.emplace_back("walk_stride", double(quillet::kWalkStride));
  }
  std::fflush(stdout);
  if (!figuresPath.empty() && !figures.Write(figuresPath)) {
    std::fprintf(stderr, "cannot write %s\n", figuresPath.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
