#pragma once
// A change of a call's state, as the phone reports it once call monitoring is
// on: "*ECAV: <ccid>,<ccstatus>,<calltype>[,<processid>][,<exit_cause>]
// [,<number>,<type>]".

#include <string>

namespace quillet {

enum class CallState {
  Idle = 0,
  Calling = 1,     // outgoing, dialled
  Connecting = 2,  // outgoing, the far end rings
  Active = 3,
  Hold = 4,
  Waiting = 5,   // incoming while another call is active
  Alerting = 6,  // incoming, ringing
  Busy = 7,
};

// Call types.
constexpr int kVoiceCall = 1;
constexpr int kDataCall = 2;
constexpr int kFaxCall = 4;
constexpr int kVoiceCallLine2 = 128;

constexpr int kFirstCallId = 1;
constexpr int kLastCallId = 7;

struct CallStatus {
  int id = 0;  // ccid, kFirstCallId to kLastCallId
  CallState state = CallState::Idle;
  int type = 0;  // one of the call types above
};

// The line carries the "*ECAV" code, well formed or not.
bool IsCallReport(const std::string& line);

// Reads a "*ECAV" line. False, with `call` untouched, when a field is missing
// or not a number, or a number lies outside its range; fields after the
// third are not looked at.
bool ParseCallStatus(const std::string& line, CallStatus* call);

}  // namespace quillet
