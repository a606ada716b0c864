#include "link/at_transaction.h"

#include <cstring>

#include "link/final_results.h"
#include "link/line_fields.h"
#include "link/line_reader.h"
#include "link/line_router.h"
#include "link/phone_commands.h"
#include "link/port_io.h"

namespace quillet {
namespace {

// Room a wait wants before it reads; below it, consumed text is reclaimed.
constexpr std::size_t kMinimumRoom = ReceiveBuffer::kSize / 2;

bool Matches(std::string_view line, std::string_view prefix) {
  if (prefix.empty()) return MatchFinalResult(line) != nullptr;
  return line.substr(0, prefix.size()) == prefix;
}

// Moves the unconsumed text to the start of the buffer.
void Reclaim(ReceiveBuffer& rx, long& from) {
  std::size_t end = rx.End();
  std::memmove(rx.bytes, rx.bytes + rx.cursor, end - rx.cursor + 1);
  from -= rx.cursor;
  rx.cursor = 0;
}

}  // namespace

namespace {

// Starts writing `text` on the link's record, traced whether it starts or not.
bool StartWriting(Link& link, std::string_view text) {
  Handle port = link.state.port;
  bool started = port != kNoHandle && link.os.StartWrite(port, link.state.overlapped, text.data(),
                                                         static_cast<std::uint32_t>(text.size()));
  link.trace.WriteTrace(text, kTracePut);
  return started;
}

}  // namespace

bool WritePort(Link& link, std::string_view text) {
  if (!StartWriting(link, text)) return false;
  Overlapped& ov = link.state.overlapped;
  IoResult result = link.os.GetResult(link.state.port, ov, true);
  if (!result.completed() || result.bytes < text.size()) return false;
  link.os.ResetEvent(ov.event);
  return true;
}

bool WritePortWithin(Link& link, std::string_view text, std::uint32_t waitMs) {
  if (!StartWriting(link, text)) return false;
  Handle port = link.state.port;
  Overlapped& ov = link.state.overlapped;
  link.os.WaitForEvents(&ov.event, 1, waitMs);
  IoResult result = link.os.GetResult(port, ov, false);
  if (result.state == IoResult::State::Pending) {
    link.os.CancelIo(port);
    result = link.os.GetResult(port, ov, false);
    if (result.state == IoResult::State::Pending) return false;
  }
  link.os.ResetEvent(ov.event);
  return true;
}

Reply WaitReply(Link& link, std::string_view prefix, bool wait, int tries, long from) {
  ReceiveBuffer& rx = link.rx;
  rx.Prepare();
  if (from < rx.cursor) from = rx.cursor;
  const std::uint32_t startedAt = link.os.NowMs();
  for (;;) {
    std::size_t end = rx.End();
    // Complete lines only: each one ends before the end of the text.
    for (std::size_t start = static_cast<std::size_t>(from); start < end;) {
      std::size_t stop = start;
      while (stop < end && !IsTerminator(rx.bytes[stop])) ++stop;
      if (stop == end) break;
      std::string_view line(rx.bytes + start, stop - start);
      if (!line.empty() && Matches(line, prefix)) {
        Reply reply{true, std::string(line), start};
        std::size_t after = stop + 1;
        if (rx.bytes[stop] == '\r' && rx.bytes[after] == '\n') ++after;
        std::memmove(rx.bytes + start, rx.bytes + after, end - after + 1);
        link.trace.WriteTrace(reply.line, kTraceReply);
        link.lastLineMs = link.os.NowMs();
        rx.drained = rx.AtEnd();
        return reply;
      }
      start = stop + 1;
    }
    if (!link.stopping() && ElapsedMs(startedAt, link.os.NowMs()) < kLongestReplyWaitMs) {
      if (rx.cursor > 0 && ReceiveBuffer::kMaxRead - end < kMinimumRoom) {
        Reclaim(rx, from);
        end = rx.End();
      }
      ReadOutcome read =
          ReadPort(link, rx.bytes + end, static_cast<std::uint32_t>(ReceiveBuffer::kMaxRead - end),
                   wait, kPauseAfterReadMs);
      if (read.brought) continue;
      if (--tries > 0) {
        link.os.Sleep(kPauseBetweenTriesMs);
        continue;
      }
    }
    link.trace.WriteTrace("reply not given", kTraceInfo);
    link.trace.WriteTrace(std::string_view(rx.bytes, std::strlen(rx.bytes)), kTraceInfo);
    rx.drained = false;
    return Reply{};
  }
}

std::string Framed(std::string_view command) {
  return "\r" + std::string(phone::kCommandPrefix) + std::string(command) + "\r";
}

bool SendCommand(Link& link, std::string_view command) {
  return SendCommand(link, command, nullptr);
}

bool SendCommand(Link& link, std::string_view command, std::size_t* answerEnd) {
  const std::string full = std::string(phone::kCommandPrefix) + std::string(command);
  const std::string wire = Framed(command);
  for (int send = 0; send < kMaxSends && !link.stopping(); ++send) {
    if (!WritePort(link, wire)) return false;
    link.os.Sleep(kPauseAfterSendMs);
    Reply echo = WaitReply(link, phone::kCommandPrefix, true, 1);
    if (!echo.found || echo.line != full) continue;
    // Only what follows the echo answers this command.
    Reply result = WaitReply(link, "", true, 1, static_cast<long>(echo.at));
    if (answerEnd != nullptr) *answerEnd = result.found ? result.at : link.rx.End();
    return result.found && result.line == phone::kOk;
  }
  return false;
}

bool SendCommandOnce(Link& link, std::string_view command, std::uint32_t waitMs) {
  if (!WritePort(link, Framed(command))) return false;
  const std::uint32_t began = link.os.NowMs();
  // Each waited read ends at the port's time-out when nothing comes.
  while (!link.stopping() && ElapsedMs(began, link.os.NowMs()) < waitMs) {
    const std::string line = ReadLine(link, true);
    if (const FinalResult* result = MatchFinalResult(line)) return result->success;
    KeepStray(link, line);
  }
  return false;
}

}  // namespace quillet
