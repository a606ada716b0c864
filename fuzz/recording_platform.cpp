#include "recording_platform.h"

#include <algorithm>

namespace quillet::fuzzing {

const char* PortEventName(PortEvent::Type type) {
  switch (type) {
    case PortEvent::Type::ReadStarted:
      return "read started";
    case PortEvent::Type::ReadDone:
      return "read done";
    case PortEvent::Type::WriteStarted:
      return "write started";
    case PortEvent::Type::WriteDone:
      return "write done";
    case PortEvent::Type::Sleep:
      return "sleep";
    case PortEvent::Type::Trace:
      return "trace";
  }
  return "?";
}

void RecordingPlatform::Log(PortEvent event) {
  event.atMs = inner_.NowMs();
  events.push_back(std::move(event));
}

bool RecordingPlatform::StartRead(Handle port, Overlapped& ov, char* buffer, std::uint32_t size) {
  bool ok = inner_.StartRead(port, ov, buffer, size);
  PortEvent event;
  event.type = PortEvent::Type::ReadStarted;
  event.ok = ok;
  event.count = size;
  Log(std::move(event));
  if (ok) outstanding_[&ov] = Outstanding{OpKind::Read, buffer, size, false};
  return ok;
}

bool RecordingPlatform::StartWrite(Handle port, Overlapped& ov, const char* data,
                                   std::uint32_t size) {
  bool ok = inner_.StartWrite(port, ov, data, size);
  PortEvent event;
  event.type = PortEvent::Type::WriteStarted;
  event.ok = ok;
  event.count = size;
  event.bytes.assign(data, size);
  Log(std::move(event));
  if (ok) outstanding_[&ov] = Outstanding{OpKind::Write, nullptr, size, false};
  return ok;
}

bool RecordingPlatform::StartCommWait(Handle port, Overlapped& ov, std::uint32_t* eventMask) {
  bool ok = inner_.StartCommWait(port, ov, eventMask);
  if (ok) outstanding_[&ov] = Outstanding{OpKind::CommWait, nullptr, 0, false};
  return ok;
}

IoResult RecordingPlatform::GetResult(Handle port, Overlapped& ov, bool wait) {
  IoResult result = inner_.GetResult(port, ov, wait);
  auto it = outstanding_.find(&ov);
  if (result.state == IoResult::State::Pending || it == outstanding_.end() || it->second.reported) {
    return result;
  }
  Outstanding& op = it->second;
  op.reported = true;
  PortEvent event;
  event.ok = result.completed();
  if (op.kind == OpKind::Read) {
    event.type = PortEvent::Type::ReadDone;
    // The bytes sit in the caller's buffer now, before it filters them.
    std::uint32_t bytes = std::min(result.bytes, op.size);
    event.count = bytes;
    event.bytes.assign(op.buffer, bytes);
    Log(std::move(event));
  } else if (op.kind == OpKind::Write) {
    event.type = PortEvent::Type::WriteDone;
    event.count = result.bytes;
    Log(std::move(event));
  }
  return result;
}

void RecordingPlatform::Sleep(std::uint32_t ms) {
  inner_.Sleep(ms);
  PortEvent event;
  event.type = PortEvent::Type::Sleep;
  event.ok = true;
  event.count = ms;
  Log(std::move(event));
}

bool RecordingPlatform::WriteFileSync(Handle file, const char* data, std::size_t size) {
  bool ok = inner_.WriteFileSync(file, data, size);
  TraceAssembly& trace = traces_[file];
  std::string piece(data, size);
  switch (trace.stage) {
    case 0:
      trace.record = PortEvent{};
      trace.record.type = PortEvent::Type::Trace;
      trace.record.ok = ok;
      trace.record.prefix = piece;
      if (piece.size() != 6) ++malformedTraces;
      trace.stage = 1;
      break;
    case 1:
      trace.record.bytes = piece;
      trace.stage = 2;
      break;
    default:
      if (piece != "\r\n") ++malformedTraces;
      Log(std::move(trace.record));
      trace.stage = 0;
      break;
  }
  return ok;
}

}  // namespace quillet::fuzzing
