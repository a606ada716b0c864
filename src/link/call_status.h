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
// third are not looked at. An idle report may lack its type (0 then).
bool ParseCallStatus(const std::string& line, CallStatus* call);

// A line of the answer to "+CLCC": "+CLCC: <id>,<dir>,<stat>,<mode>,<mpty>
// [,<number>,<type>...]", one a call going on.
bool IsCallListLine(const std::string& line);
// Reads one, with its stage as "*ECAV" names it and `type` kVoiceCall for
// voice (<mode> 0). False, with `call` untouched, as ParseCallStatus.
bool ParseCallListLine(const std::string& line, CallStatus* call);

}  // namespace quillet
