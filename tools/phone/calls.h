#pragma once
// The phone's calls, as its user and the far ends make them, and the
// "*ECAV" line that reports each change while call monitoring ("*ECAM=1")
// is on: "*ECAV: <ccid>,<ccstatus>,<calltype>[,<processid>][,<exit_cause>]
// [,<number>,<type>]".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::phone {

// <ccstatus>
enum class CallState : std::int32_t {
  Idle = 0,
  Calling = 1,
  Connecting = 2,
  Active = 3,
  Hold = 4,
  Waiting = 5,
  Alerting = 6,
  Busy = 7,
};

constexpr std::int32_t kVoice = 1;  // <calltype>
constexpr std::int32_t kMostCalls = 7;
constexpr char kDefaultNumber[] = "+15555550123";

struct PhoneCall {
  std::int32_t id = 0;  // <ccid>, 1 to 7
  CallState state = CallState::Idle;
  std::int32_t type = kVoice;
  std::string number;
  bool incoming = true;
};

const char* CallStateName(CallState state);

// The lines that report what happened, in order, or why nothing did.
struct CallChanges {
  std::vector<std::string> reports;
  std::string error;
};

// Each changes `calls` (ended calls leave the list) only when it succeeds.
// An incoming call rings (alerting), or waits when another call is active;
// `waiting` insists on the latter.
CallChanges Ring(std::vector<PhoneCall>& calls, std::string_view number, bool waiting);
// An outgoing call: calling, then connecting; an active call goes on hold.
CallChanges Dial(std::vector<PhoneCall>& calls, std::string_view number);
// Call `id` (0: the ringing, waiting or connecting one) becomes active; the
// active one goes on hold.
CallChanges Answer(std::vector<PhoneCall>& calls, std::int32_t id);
// Call `id` (0: every call) ends.
CallChanges HangUp(std::vector<PhoneCall>& calls, std::int32_t id);
// The ringing or waiting call ends unanswered.
CallChanges Miss(std::vector<PhoneCall>& calls);

std::string ReportLine(const PhoneCall& call);

// The answer to "+CLCC": one line a call, "+CLCC: <id>,<dir>,<stat>,<mode>,
// <mpty>,<number>,<type>", all voice (mode 0), none in a conference.
std::vector<std::string> ListLines(const std::vector<PhoneCall>& calls);

}  // namespace quillet::phone
