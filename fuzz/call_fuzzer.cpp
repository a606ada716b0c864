// Fuzzes the phone's calls as PauseOnCall=1 meets them: "*ECAV" reports and
// "+CLCC" answers, well formed or garbled, in any order, with the link
// dropping and coming back, the phone refusing its list, and the user
// changing the player in between. Checked (abort on violation):
// - the player gets nothing but the pause toggle, never while stopped, and
//   while paused only as a resume: Quillet paused it since it last forgot its
//   calls, and it is still on the entry Quillet paused it on;
// - the phone gets nothing but "AT+CLCC";
// - once every call id has reported its end, no call is counted.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/call_list.h"
#include "link/monitor.h"
#include "link_fixture.h"
#include "platform/host_messages.h"
#include "player/call_tracker.h"
#include "player/host_window.h"
#include "player/player_pause.h"

namespace {

using namespace quillet;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "call_fuzzer: %s\n", what);
  std::abort();
}

// The player, checking each command against what Quillet may do.
struct CheckedPlayer {
  std::int32_t state = kPlaying;
  std::intptr_t position = 0;
  bool quilletPaused = false;  // since the tracker last forgot
  std::intptr_t pausedAt = 0;

  std::intptr_t Answer(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (msg == host::kWmCommand) {
      if (wParam != host::kCommandPause) Fail("a command other than pause");
      if (state == kStopped) Fail("pause toggled on a stopped player");
      if (state == kPlaying) {
        state = kPaused;
        quilletPaused = true;
        pausedAt = position;
      } else {
        if (!quilletPaused || position != pausedAt) Fail("resumed a pause not Quillet's");
        state = kPlaying;
      }
      return 0;
    }
    if (msg != host::kWmUser) return 0;
    if (lParam == host::kPlayState) return state;
    if (lParam == host::kPlaylistPosition) return position;
    return 0;
  }
};

std::string Number(FuzzedDataProvider& in, int low, int high) {
  return std::to_string(in.ConsumeIntegralInRange(low, high));
}

std::string ReportLine(FuzzedDataProvider& in) {
  static const int kTypes[] = {1, 2, 4, 128, 0, 3};
  std::string line = "*ECAV: " + Number(in, 0, 8) + "," + Number(in, -1, 8);
  if (in.ConsumeBool()) line += "," + std::to_string(in.PickValueInArray(kTypes));
  if (in.ConsumeBool()) line += ",8,16";
  return line;
}

std::string ListLine(FuzzedDataProvider& in) {
  return "+CLCC: " + Number(in, 0, 8) + "," + Number(in, 0, 2) + "," + Number(in, -1, 6) + "," +
         Number(in, 0, 10) + "," + Number(in, 0, 1) + ",\"+1555\",145";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  testing::LinkFixture f;
  f.OpenPort();
  CheckedPlayer player;
  f.os.SetHostHandler([&](std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return player.Answer(msg, wParam, lParam);
  });
  HostWindow host(f.os, 0x1234);
  PlayerPause pause(host);
  CallTracker tracker(pause);
  f.link.callEvents = &tracker;
  f.link.callsReported = true;

  auto arrive = [&](const std::string& line) {
    f.Arrive({"\r\n" + line + "\r\n"}, 0, f.os.VirtualMs());
    for (int i = 0; i < 100 && (!f.link.rx.drained || f.phone.device().pendingBytes() > 0); ++i)
      DispatchLines(f.link);
  };
  for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
    switch (in.ConsumeIntegralInRange(0, 9)) {
      case 0:
      case 1:
        arrive(ReportLine(in));
        break;
      case 2:
        arrive(in.PickValueInArray({"*ECAV", "+CLCC", ""}) + in.ConsumeRandomLengthString(40));
        break;
      case 3: {
        std::vector<std::string> lines;
        for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n)
          lines.push_back(in.ConsumeBool() ? ListLine(in) : in.ConsumeRandomLengthString(30));
        f.phone.model().SetValue("+CLCC", lines);
        break;
      }
      case 4:
        f.phone.model().rules().Edit("+CLCC").result =
            in.ConsumeBool() ? phone::ReplyRule::Result::Error : phone::ReplyRule::Result::Natural;
        break;
      case 5:
        tracker.LinkInterrupted();
        break;
      case 6:
        ListCalls(f.link);
        break;
      case 7: {
        const int what = in.ConsumeIntegralInRange(0, 2);
        if (what == 0) player.state = player.state == kPlaying ? kPaused : kPlaying;
        if (what == 1) player.state = kStopped;
        if (what == 2) player.position = (player.position + 1) % 3;
        break;
      }
      case 8:
        tracker.CallsForgotten();
        player.quilletPaused = false;
        break;
      default:
        f.os.AdvanceMs(in.ConsumeIntegralInRange(0, 20000));
        break;
    }
  }
  for (int id = 1; id <= 7; ++id) arrive("*ECAV: " + std::to_string(id) + ",0");
  if (tracker.InCall()) Fail("a call still counted after every call ended");
  const std::string written = f.phone.device().written();
  const std::string ask = "\rAT+CLCC\r";
  for (std::size_t at = 0; at < written.size(); at += ask.size())
    if (written.compare(at, ask.size(), ask) != 0) Fail("a command other than AT+CLCC");
  return 0;
}
