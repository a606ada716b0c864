#include "link/call_list.h"

#include <cstring>
#include <string>
#include <vector>

#include "link/at_transaction.h"
#include "link/call_status.h"
#include "link/line_fields.h"
#include "link/line_router.h"
#include "link/phone_commands.h"

namespace quillet {
namespace {

// Cuts the lines about calls out of the unconsumed text before `end`, in
// order; every other line stays where it is for dispatch.
std::vector<std::string> TakeCallLines(ReceiveBuffer& rx, std::size_t end) {
  std::vector<std::string> taken;
  std::size_t start = static_cast<std::size_t>(rx.cursor);
  while (start < end) {
    std::size_t stop = start;
    while (stop < end && !IsTerminator(rx.bytes[stop])) ++stop;
    if (stop == end) break;
    std::size_t after = stop + 1;
    if (rx.bytes[stop] == '\r' && after < end && rx.bytes[after] == '\n') ++after;
    std::string line(rx.bytes + start, stop - start);
    if (IsCallListLine(line) || IsCallReport(line)) {
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

}  // namespace

void ListCalls(Link& link) {
  std::size_t answerEnd = 0;
  bool listed = SendCommand(link, phone::kListCalls, &answerEnd);
  std::vector<CallStatus> calls;
  if (listed) {
    for (const std::string& line : TakeCallLines(link.rx, answerEnd)) {
      CallStatus call;
      if (IsCallReport(line)) {
        // The list that follows answers any question this report raises.
        ApplyCallReport(link, line, false);
      } else if (ParseCallListLine(line, &call)) {
        calls.push_back(call);
      } else {
        // A call it cannot read may be one going on: no list is safer
        // than one that ends that call unseen.
        listed = false;
      }
    }
  }
  link.trace.WriteTrace(listed ? "calls listed" : "calls not listed", kTraceInfo);
  link.callEvents->CallsListed(listed ? &calls : nullptr);
}

}  // namespace quillet
