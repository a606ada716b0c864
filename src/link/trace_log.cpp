#include "link/trace_log.h"

#include <string>

namespace quillet {

const char* TracePrefix(int kind) {
  switch (kind) {
    case kTracePut:
      return "put:  ";
    case kTraceGot:
      return "got:  ";
    case kTraceTimeout:
      return "gto:  ";
    case kTraceReply:
      return "rply: ";
    default:
      return "info: ";
  }
}

void TraceLog::AttachFromEnvironment(const char* environmentVariable) {
  if (attached()) return;
  std::string path = os_.GetEnvironmentVariable(environmentVariable);
  if (!path.empty()) sink_ = os_.OpenAppendFile(path);
}

void TraceLog::WriteTrace(std::string_view text, int kind) {
  if (sink_ == kNoHandle) return;
  // Only the monitor thread writes wire lines, so only it reads the flag.
  const bool wire =
      kind == kTracePut || kind == kTraceGot || kind == kTraceTimeout || kind == kTraceReply;
  if (wire && quietWire_) return;
  const char* prefix = TracePrefix(kind);
  os_.WriteFileSync(sink_, prefix, 6);
  os_.WriteFileSync(sink_, text.data(), text.size());
  os_.WriteFileSync(sink_, "\r\n", 2);
}

void TraceLog::Close() {
  if (sink_ == kNoHandle) return;
  os_.CloseHandle(sink_);
  sink_ = kNoHandle;
}

}  // namespace quillet
