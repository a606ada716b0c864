// Calls pause the music: the phone's "*ECAV" reports read by the link and
// acted on by the call tracker against the fake player.

#include <gtest/gtest.h>

#include <map>

#include "chunkings.h"
#include "fake_player.h"
#include "link/call_list.h"
#include "link/call_status.h"
#include "link/monitor.h"
#include "link_fixture.h"
#include "platform/host_messages.h"
#include "player/away_pause.h"
#include "player/call_tracker.h"

namespace quillet {
namespace {

using phone::ReplyRule;
using phone::testing::Chunkings;
using phone::testing::Visible;

TEST(CallStatus, ReadsTheFirstThreeFieldsOrNothing) {
  struct Case {
    const char* line;
    bool read;
    int id = 9, state = 7, type = 9;  // untouched unless read
  } cases[] = {
      {"*ECAV: 1,6,1", true, 1, 6, 1},
      {"*ECAV: 7,0,128,8,16", true, 7, 0, 128},
      {"*ECAV: 2,5,1,,,\"+15555550123\",145", true, 2, 5, 1},
      {"*ECAV:3,3,2", true, 3, 3, 2},
      {"*ECAV:  4 , 7 ,4 ,x", true, 4, 7, 4},
      {"*ECAV: 1,6,1 ", true, 1, 6, 1},
      {"*ECAV: 1,0", true, 1, 0, 0},
      {"*ECAV: 1,0,0", true, 1, 0, 0},
      {"*ECAV: 3,0,,8,16", true, 3, 0, 0},
      {"*ECAV: 2,0,3", true, 2, 0, 3},
      {"*ECAV: 1,0,x", false},
      {"*ECAV: 1,6", false},
      {"*ECAV: 1,6,", false},
      {"*ECAV: 1,,1", false},
      {"*ECAV: x,6,1", false},
      {"*ECAV: 1,6,1x", false},
      {"*ECAV: 0,6,1", false},
      {"*ECAV: 8,6,1", false},
      {"*ECAV: 1,8,1", false},
      {"*ECAV: 1,-1,1", false},
      {"*ECAV: 1,6,3", false},
      {"*ECAV: 99999999999,6,1", false},
      {"*ECAV 1,6,1", false},
      {"*ECAVS: 1,6,1", false},
      {"*ECAV", false},
      {"*ecav: 1,6,1", false},
  };
  for (const Case& c : cases) {
    CallStatus call{9, CallState::Busy, 9};
    EXPECT_EQ(ParseCallStatus(c.line, &call), c.read) << c.line;
    EXPECT_EQ(call.id, c.id) << c.line;
    EXPECT_EQ(static_cast<int>(call.state), c.state) << c.line;
    EXPECT_EQ(call.type, c.type) << c.line;
  }
}

TEST(CallStatus, ReadsCallListLines) {
  struct Case {
    const char* line;
    bool read;
    int id = 9, state = 7, type = 9;  // untouched unless read
  } cases[] = {
      {"+CLCC: 1,1,4,0,0,\"+1555\",145", true, 1, 6, kVoiceCall},
      {"+CLCC: 2,0,0,0,0", true, 2, 3, kVoiceCall},
      {"+CLCC:3,0,1,0,1,\"x\",129,\"\",0", true, 3, 4, kVoiceCall},
      {"+CLCC: 4,0,2,0,0", true, 4, 1, kVoiceCall},
      {"+CLCC: 5,0,3,0,0", true, 5, 2, kVoiceCall},
      {"+CLCC: 6,1,5,0,0", true, 6, 5, kVoiceCall},
      {"+CLCC: 7,1,4,1,0", true, 7, 6, kDataCall},
      {"+CLCC: 1,1,4,2,0", true, 1, 6, kFaxCall},
      {"+CLCC: 2,1,4,3,0", true, 2, 6, kVoiceCall},
      {"+CLCC: 3,0,0,5,0", true, 3, 3, kVoiceCall},
      {"+CLCC: 4,0,0,9,0", true, 4, 3, kVoiceCall},
      {"+CLCC: 5,0,0,7,0", true, 5, 3, kDataCall},
      {"+CLCC: 1,1,4,0", false},
      {"+CLCC: 1,1,6,0,0", false},
      {"+CLCC: 1,2,4,0,0", false},
      {"+CLCC: 8,1,4,0,0", false},
      {"+CLCC: 1,1,4,10,0", false},
      {"+CLCC: 1,1,4,0,0x", false},
      {"+CLCC 1,1,4,0,0", false},
      {"*ECAV: 1,6,1", false},
  };
  for (const Case& c : cases) {
    CallStatus call{9, CallState::Busy, 9};
    EXPECT_EQ(ParseCallListLine(c.line, &call), c.read) << c.line;
    EXPECT_EQ(call.id, c.id) << c.line;
    EXPECT_EQ(static_cast<int>(call.state), c.state) << c.line;
    EXPECT_EQ(call.type, c.type) << c.line;
  }
}

// A link whose phone reports calls, with the tracker on the fake player.
struct CallRig : testing::LinkFixture {
  CallRig() : player(os), host(os, 0x1234), pause(host), tracker(pause), away(pause) {
    OpenPort();
    link.callEvents = &tracker;
    link.callsReported = true;
    player.Entries(5);
    player.state = kPlaying;
    ListCalls(link);  // as the set-up does once the phone reports calls
  }
  void Dispatch() {
    while (!link.rx.drained || phone.device().pendingBytes() > 0) DispatchLines(link);
  }
  // A step: "N,S,T..." is a report from the phone, "*..." a raw line, "=S"
  // checks the play state; "~N,S,T" changes a call unreported; "away" and
  // "back" are the link dropping and set up again, "refuse" makes the phone
  // refuse "+CLCC"; "gone", "returns" (25 s later), "returns in time" and
  // "returns late" (either side of the longest absence resumed), "unwanted"
  // are the phone going away and what ends that; the rest is what the user
  // does meanwhile. The phone lists the calls as it last reported or
  // changed them.
  void Step(const std::string& step) {
    if (step == "gone") {
      away.PhoneGone();
    } else if (step.rfind("returns", 0) == 0) {
      const std::uint32_t longest = kLongestAbsenceResumedMs;
      away.PhoneBack(step == "returns" ? 25000 : step == "returns in time" ? longest - 1 : longest);
    } else if (step == "unwanted") {
      away.AbsenceForgotten();
    } else if (step[0] == '~') {
      Change(step.substr(1));
    } else if (step == "away") {
      tracker.LinkInterrupted();
    } else if (step == "back") {
      ListCalls(link);
    } else if (step == "refuse") {
      phone.model().rules().Edit("+CLCC").result = ReplyRule::Result::Error;
    } else if (step[0] == '=') {
      EXPECT_EQ(player.state, std::stoi(step.substr(1))) << "at " << step;
    } else if (step == "stop") {
      player.state = kStopped;
    } else if (step == "toggle") {
      player.state = player.state == kPlaying ? kPaused : kPlaying;
    } else if (step == "next") {
      player.position = (player.position + 1) % 5;
    } else if (step == "forget") {
      tracker.CallsForgotten();
    } else if (step == "nopause" || step == "pause") {
      tracker.SetPausing(step == "pause");
    } else {
      if (step[0] != '*') Change(step);
      const std::string line = step[0] == '*' ? step : "*ECAV: " + step;
      Arrive({"\r\n" + line + "\r\n"}, 0, os.VirtualMs());
      Dispatch();
    }
  }
  // The phone's own record of its calls, "N,S,T".
  void Change(const std::string& report) {
    CallStatus call;
    if (!ParseCallStatus("*ECAV: " + report, &call)) return;
    phoneCalls[call.id] = call;
    if (call.state == CallState::Idle) phoneCalls.erase(call.id);
    std::vector<std::string> lines;
    for (const auto& [id, c] : phoneCalls) {
      static const int kStat[] = {0, 2, 3, 0, 1, 5, 4, 0};  // by ccstatus
      const int mode = c.type == kDataCall ? 1 : c.type == kFaxCall ? 2 : 0;
      lines.push_back("+CLCC: " + std::to_string(id) + ",1," +
                      std::to_string(kStat[static_cast<int>(c.state)]) + "," +
                      std::to_string(mode) + ",0");
    }
    phone.model().SetValue("+CLCC", lines);
  }
  int Pauses() {
    int pauses = 0;
    for (auto id : player.commands) pauses += id == host::kCommandPause;
    return pauses;
  }
  testing::FakePlayer player;
  HostWindow host;
  PlayerPause pause;
  CallTracker tracker;
  AwayPause away;
  std::map<int, CallStatus> phoneCalls;
};

struct TrackerCase {
  const char* what;
  std::int32_t playing;  // the play state when the calls begin
  std::vector<std::string> steps;
  int pauses;        // pause commands Quillet sends
  int requests;      // player requests it makes
  std::int32_t end;  // the play state at the end
};

TEST(CallTracker, PausesForVoiceCallsAndResumesWhatItPaused) {
  const TrackerCase cases[] = {
      {"answered", kPlaying, {"1,6,1,,,\"+1555\",145", "=3", "1,3,1", "1,0,1,8,16"}, 2, 4, 1},
      {"missed", kPlaying, {"1,6,1", "=3", "1,0,1"}, 2, 4, 1},
      {"outgoing", kPlaying, {"1,1,1", "1,2,1", "1,3,1", "=3", "1,7,1", "1,0,1"}, 2, 4, 1},
      {"second line", kPlaying, {"2,6,128", "=3", "2,0,128"}, 2, 4, 1},
      {"waiting call, first ends last",
       kPlaying,
       {"1,6,1", "1,3,1", "2,5,1", "1,4,1", "2,3,1", "2,0,1", "=3", "1,0,1"},
       2,
       4,
       1},
      {"stopped stays stopped", kStopped, {"1,6,1", "1,0,1"}, 0, 1, 0},
      {"paused by the user stays paused", kPaused, {"1,6,1", "1,3,1", "1,0,1"}, 0, 1, 3},
      {"stopped by the user", kPlaying, {"1,6,1", "stop", "1,0,1"}, 1, 3, 0},
      {"resumed by the user", kPlaying, {"1,6,1", "toggle", "2,5,1", "2,0,1", "1,0,1"}, 1, 3, 1},
      {"another track", kPlaying, {"1,6,1", "next", "1,0,1"}, 1, 4, 3},
      {"data and fax", kPlaying, {"1,6,2", "1,3,2", "2,6,4", "2,0,4", "1,0,2"}, 0, 0, 1},
      {"data call outlasts the voice call",
       kPlaying,
       {"1,3,2", "2,6,1", "=3", "2,0,1", "=1", "1,0,2"},
       2,
       4,
       1},
      {"hold alone asks nothing", kPlaying, {"1,4,1", "1,0,1"}, 0, 0, 1},
      {"idle of an unknown call", kPlaying, {"3,0,1"}, 0, 0, 1},
      {"malformed lines lose nothing",
       kPlaying,
       {"1,6", "x,6,1", "8,6,1", "1,6,3", "*ECAV", "1,6,1", "=3", "1,0,1x", "1,0,x", "=3", "1,0,1"},
       2,
       4,
       1},
      {"an idle report without type", kPlaying, {"1,6,1", "1,3,1", "=3", "1,0"}, 2, 4, 1},
      {"an idle report of type 0", kPlaying, {"2,1,1", "=3", "2,0,0"}, 2, 4, 1},
      {"link blip then hang-up",
       kPlaying,
       {"1,6,1", "=3", "away", "~1,3,1", "back", "=3", "1,0,1"},
       2,
       4,
       1},
      {"call ended during the blip", kPlaying, {"1,6,1", "away", "~1,0", "back"}, 2, 4, 1},
      {"a call that began during the blip",
       kPlaying,
       {"away", "~1,3,1", "back", "=3", "1,0"},
       2,
       4,
       1},
      {"the user's change during the blip",
       kPlaying,
       {"1,6,1", "away", "next", "~1,0", "back"},
       1,
       4,
       3},
      {"+CLCC refused: the next end of any call resumes",
       kPlaying,
       {"1,6,1", "away", "~1,0", "refuse", "back", "=3", "3,0,1"},
       2,
       4,
       1},
      {"a call starting on an id still counted",
       kPlaying,
       {"1,6,1", "1,3,1", "~1,0", "1,6,1", "=3", "1,0,1"},
       2,
       6,
       1},
      {"... after the user played again",
       kPlaying,
       {"1,6,1", "1,3,1", "~1,0", "toggle", "1,6,1", "=3", "1,0,1"},
       3,
       6,
       1},
      {"a call starting while others are counted: the phone lists them",
       kPlaying,
       {"1,6,1", "1,3,1", "~1,0", "toggle", "2,6,1", "=3", "2,0,1"},
       3,
       6,
       1},
      {"... and refuses the list",
       kPlaying,
       {"1,6,1", "1,3,1", "~1,0", "refuse", "2,6,1", "2,0,1", "=3"},
       1,
       2,
       3},
      {"blanks and extra fields",
       kPlaying,
       {"*ECAV:1 , 6 ,1", "*ECAV:  1,0,1,8,16,\"x\",129"},
       2,
       4,
       1},
      {"forgotten calls never resume", kPlaying, {"1,6,1", "forget", "1,0,1"}, 1, 2, 3},
      {"a start said twice: the list holds it",
       kPlaying,
       {"1,6,1", "1,6,1", "=3", "1,0,1"},
       2,
       6,
       1},
      {"a start said again, its idle lost, after the user played again",
       kPlaying,
       {"1,6,1", "~1,0", "toggle", "1,6,1", "=3", "1,0,1"},
       3,
       6,
       1},
      {"a start said again that the list lacks",
       kPlaying,
       {"1,6,1", "~1,0", "*ECAV: 1,6,1"},
       2,
       4,
       1},
      {"without pausing, calls are counted and pause nothing",
       kPlaying,
       {"nopause", "1,6,1", "=1", "1,0,1"},
       0,
       0,
       1},
      {"pausing cleared during a call: the pause is the user's",
       kPlaying,
       {"1,6,1", "=3", "nopause", "pause", "1,0,1"},
       1,
       2,
       3},
      {"again after the calls ended",
       kPlaying,
       {"1,6,1", "1,0,1", "1,6,1", "=3", "1,0,1"},
       4,
       8,
       1},
      // The phone going away is one more reason for the same pause.
      {"away, then back", kPlaying, {"gone", "=3", "returns"}, 2, 4, 1},
      {"away: paused by the user stays paused", kPaused, {"gone", "returns"}, 0, 1, 3},
      {"away: stopped stays stopped", kStopped, {"gone", "returns"}, 0, 1, 0},
      {"away while the user's pause holds: no reason is left for a call's end",
       kPaused,
       {"gone", "toggle", "1,6,1", "=3", "1,0,1"},
       2,
       5,
       1},
      {"away: another track", kPlaying, {"gone", "next", "returns"}, 1, 4, 3},
      {"away just under the longest absence", kPlaying, {"gone", "returns in time"}, 2, 4, 1},
      {"away too long", kPlaying, {"gone", "returns late"}, 1, 2, 3},
      {"away too long, a call ending after",
       kPlaying,
       {"1,6,1", "gone", "returns late", "=3", "1,0,1"},
       1,
       4,
       3},
      {"call and away, the call ends first",
       kPlaying,
       {"1,6,1", "gone", "1,0,1", "=3", "returns"},
       2,
       6,
       1},
      {"away and a call, the phone back first",
       kPlaying,
       {"gone", "1,6,1", "returns", "=3", "1,0,1"},
       2,
       6,
       1},
      {"away no longer wanted: the pause is the user's",
       kPlaying,
       {"gone", "unwanted", "returns"},
       1,
       2,
       3},
  };
  for (const TrackerCase& c : cases) {
    SCOPED_TRACE(c.what);
    CallRig rig;
    rig.player.state = c.playing;
    for (const std::string& step : c.steps) rig.Step(step);
    EXPECT_EQ(rig.Pauses(), c.pauses);
    EXPECT_EQ(rig.player.requests, c.requests);
    EXPECT_EQ(rig.player.state, c.end);
    EXPECT_EQ(rig.player.commands.size(), static_cast<std::size_t>(c.pauses));
  }
}

TEST(CallTracker, ReportsInAnyChunkingAmongOtherLines) {
  const std::string bytes =
      "\r\n*ECAV: 1,6,1,,,\"+1555\",145\r\nRING\r\n*ECAV: 1,3,1\r\n\r\n*ECAV: 2,5,1\r\n"
      "*ECAV: 2,0,1,8,16\r\nOK\r\n*ECAV: 1,0,1,8,16\r\n";
  for (std::uint32_t gapMs : {1u, 60u}) {
    for (const auto& chunked : Chunkings(bytes)) {
      SCOPED_TRACE(chunked.name + " gap " + std::to_string(gapMs));
      CallRig rig;
      rig.Arrive(chunked.pieces, gapMs);
      rig.Dispatch();
      EXPECT_EQ(rig.Pauses(), 2);
      EXPECT_EQ(rig.player.state, kPlaying);
      EXPECT_FALSE(rig.tracker.InCall());
    }
  }
}

TEST(CallTracker, ReportsAreIgnoredUnlessThePhoneAgreedToSendThem) {
  CallRig rig;
  rig.link.callsReported = false;
  rig.Step("1,6,1");
  EXPECT_EQ(rig.player.state, kPlaying);
  EXPECT_EQ(rig.player.requests, 0);
  EXPECT_FALSE(rig.tracker.InCall());
}

}  // namespace
}  // namespace quillet
