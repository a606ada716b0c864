#include "receive_model.h"

#include "link/at_transaction.h"
#include "link/final_results.h"
#include "link/phone_commands.h"
#include "link/receive_buffer.h"

namespace quillet::fuzzing {
namespace {

constexpr char kTerminators[] = "\r\n";

bool IsTerminator(char c) {
  return c == '\r' || c == '\n';
}

bool Matches(std::string_view line, std::string_view prefix) {
  if (prefix.empty()) return MatchFinalResult(line) != nullptr;
  return line.substr(0, prefix.size()) == prefix;
}

}  // namespace

void ReceiveModel::Prepare() {
  if (cursor < 0) {
    cursor = 0;
    unconsumed.clear();
  }
}

bool ReceiveModel::Read(Replay& log, std::size_t size, std::uint32_t pauseMs, std::string* kept,
                        std::uint64_t* nowMs) {
  if (!portOpen || size == 0) return false;
  const PortEvent& start = log.Expect(PortEvent::Type::ReadStarted);
  log.Check(start.count == size,
            "read of " + std::to_string(start.count) + " bytes, expected " + std::to_string(size));
  if (!start.ok) return false;
  if (pauseMs) log.ExpectSleep(pauseMs);
  const PortEvent& done = log.Expect(PortEvent::Type::ReadDone);
  log.Check(done.bytes.size() <= size, "read brought more than it asked for");
  *nowMs = done.atMs;
  if (done.bytes.empty()) return false;
  kept->clear();
  for (char c : done.bytes) {
    if (c != '\0') kept->push_back(c);
  }
  return true;
}

std::string ReceiveModel::ReadLine(Replay& log) {
  Prepare();
  std::size_t at = 0;
  while (at < unconsumed.size() && IsTerminator(unconsumed[at])) ++at;
  std::string line;
  std::uint64_t nowMs = 0;
  for (;;) {
    if (at == unconsumed.size()) {
      cursor += static_cast<long>(at);
      unconsumed.clear();
      at = 0;
      std::string kept;
      bool brought = Read(log, ReceiveBuffer::kMaxRead, 0, &kept, &nowMs);
      if (brought) {
        cursor = 0;
        unconsumed = kept;
      }
      if (brought && kept.empty() && !stopping) continue;  // only NULs came
      if (kept.empty()) {
        log.ExpectTrace("gto:  ", line);
        drained = true;
        return line;
      }
    }
    if (IsTerminator(unconsumed[at])) {
      char c = unconsumed[at++];
      if (c == '\r' && at < unconsumed.size() && unconsumed[at] == '\n') ++at;
      cursor += static_cast<long>(at);
      unconsumed.erase(0, at);
      log.ExpectTrace("got:  ", line);
      drained = unconsumed.empty();
      return line;
    }
    std::size_t stop = unconsumed.find_first_of(kTerminators, at);
    if (stop == std::string::npos) stop = unconsumed.size();
    line.append(unconsumed, at, stop - at);
    at = stop;
  }
}

ModelReply ReceiveModel::WaitReply(Replay& log, std::string_view prefix, long from,
                                   std::uint64_t startMs) {
  Prepare();
  if (from < cursor) from = cursor;
  const std::uint64_t giveUpAt = startMs + kLongestReplyWaitMs;
  std::uint64_t nowMs = startMs;
  for (;;) {
    log.Check(from - cursor <= static_cast<long>(unconsumed.size()), "search start past the end");
    for (std::size_t start = static_cast<std::size_t>(from - cursor); start < unconsumed.size();) {
      std::size_t stop = unconsumed.find_first_of(kTerminators, start);
      if (stop == std::string::npos) break;
      std::string_view line(unconsumed.data() + start, stop - start);
      if (!line.empty() && Matches(line, prefix)) {
        ModelReply reply{true, std::string(line), cursor + static_cast<long>(start), 0};
        std::size_t after = stop + 1;
        if (unconsumed[stop] == '\r' && after < unconsumed.size() && unconsumed[after] == '\n') {
          ++after;
        }
        unconsumed.erase(start, after - start);
        reply.atMs = log.ExpectTrace("rply: ", reply.line).atMs;
        drained = unconsumed.empty();
        return reply;
      }
      start = stop + 1;
    }
    if (!stopping && nowMs < giveUpAt) {
      std::size_t end = static_cast<std::size_t>(cursor) + unconsumed.size();
      log.Check(end <= ReceiveBuffer::kMaxRead, "model text runs past the buffer");
      if (cursor > 0 && ReceiveBuffer::kMaxRead - end < ReceiveBuffer::kSize / 2) {
        from -= cursor;
        cursor = 0;
        end = unconsumed.size();
      }
      std::string kept;
      if (Read(log, ReceiveBuffer::kMaxRead - end, kPauseAfterReadMs, &kept, &nowMs)) {
        unconsumed += kept;
        continue;
      }
    }
    log.ExpectTrace("info: ", "reply not given");
    const PortEvent& whole = log.ExpectTraceOf("info: ");
    // The whole buffer from its start: consumed text, then the unconsumed.
    const std::string& text = whole.bytes;
    log.Check(
        text.size() == static_cast<std::size_t>(cursor) + unconsumed.size() &&
            text.compare(static_cast<std::size_t>(cursor), std::string::npos, unconsumed) == 0,
        "the give-up trace does not end with the unconsumed text " + Shown(unconsumed));
    drained = false;
    return ModelReply{};
  }
}

bool ReceiveModel::SendCommand(Replay& log, std::string_view command) {
  const std::string full = std::string(phone::kCommandPrefix) + std::string(command);
  const std::string wire = "\r" + full + "\r";
  for (int send = 0; send < kMaxSends && !stopping; ++send) {
    bool started = false;
    if (portOpen) {
      const PortEvent& write = log.Expect(PortEvent::Type::WriteStarted);
      log.Check(write.bytes == wire, "wrote " + Shown(write.bytes) + ", expected " + Shown(wire));
      started = write.ok;
    }
    log.ExpectTrace("put:  ", wire);
    if (!started) return false;
    const PortEvent& written = log.Expect(PortEvent::Type::WriteDone);
    if (!written.ok || written.count < wire.size()) return false;
    const PortEvent& pause = log.ExpectSleep(kPauseAfterSendMs);
    ModelReply echo = WaitReply(log, phone::kCommandPrefix, -1, pause.atMs);
    if (!echo.found || echo.line != full) continue;
    ModelReply result = WaitReply(log, "", echo.at, echo.atMs);
    return result.found && result.line == phone::kOk;
  }
  return false;
}

}  // namespace quillet::fuzzing
