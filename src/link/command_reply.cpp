#include "link/command_reply.h"

#include <cstring>

#include "link/at_transaction.h"
#include "link/line_fields.h"

namespace quillet {

std::vector<std::string> TakeLines(ReceiveBuffer& rx, std::size_t end,
                                   const std::function<bool(const std::string&)>& wanted) {
  std::vector<std::string> taken;
  std::size_t start = static_cast<std::size_t>(rx.cursor);
  while (start < end) {
    std::size_t stop = start;
    while (stop < end && !IsTerminator(rx.bytes[stop])) ++stop;
    if (stop == end) break;
    std::size_t after = stop + 1;
    if (rx.bytes[stop] == '\r' && after < end && rx.bytes[after] == '\n') ++after;
    std::string line(rx.bytes + start, stop - start);
    if (wanted(line)) {
      std::memmove(rx.bytes + start, rx.bytes + after, rx.End() - after + 1);
      end -= after - start;
      taken.push_back(std::move(line));
    } else {
      start = after;
    }
  }
  rx.drained = rx.AtEnd();
  return taken;
}

bool SendCommandForReply(Link& link, std::string_view command, const char* code,
                         std::string* reply) {
  reply->clear();
  if (*code == '\0') return SendCommand(link, command);
  std::size_t answerEnd = 0;
  const bool ok = SendCommand(link, command, &answerEnd);
  for (std::string& line : TakeLines(
           link.rx, answerEnd, [code](const std::string& l) { return StartsWithCode(l, code); })) {
    // Cut out, it would never reach the trace as other lines do.
    link.trace.WriteTrace(line, kTraceGot);
    *reply = std::move(line);
  }
  return ok;
}

}  // namespace quillet
