#pragma once
// The optional diagnostic trace: one line per event, a six-character prefix
// naming its kind, the text unchanged, then "\r\n". Off (and free) unless a
// sink is attached.

#include <string_view>

#include "platform/platform.h"

namespace quillet {

enum TraceKind : int {
  kTracePut = 0,      // sent to the phone
  kTraceGot = 1,      // a complete line from the phone
  kTraceTimeout = 2,  // what a read that brought nothing had collected
  kTraceInfo = 3,     // an event; every kind not listed here is one too
  kTraceReply = 5,    // the reply line that ended a wait
};

// The prefix for a kind, always six characters.
const char* TracePrefix(int kind);

class TraceLog {
 public:
  explicit TraceLog(Platform& os) : os_(os) {}

  // Opens the file named by `environmentVariable`, if any, for appending.
  void AttachFromEnvironment(const char* environmentVariable);
  void Attach(Handle sink) { sink_ = sink; }
  bool attached() const { return sink_ != kNoHandle; }
  void WriteTrace(std::string_view text, int kind);
  void Close();
  // Leaves the wire's lines (sent, got, timed out, replies) out while set:
  // a phone checked every 10 s would bury the rest. Set on the monitor
  // thread, the only one that talks to the phone.
  void QuietWire(bool quiet) { quietWire_ = quiet; }

 private:
  Platform& os_;
  Handle sink_ = kNoHandle;
  bool quietWire_ = false;
};

}  // namespace quillet
