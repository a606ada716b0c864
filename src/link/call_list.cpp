#include "link/call_list.h"

#include <string>
#include <vector>

#include "link/at_transaction.h"
#include "link/call_status.h"
#include "link/command_reply.h"
#include "link/line_fields.h"
#include "link/line_router.h"
#include "link/phone_commands.h"

namespace quillet {

void ListCalls(Link& link) {
  std::size_t answerEnd = 0;
  bool listed = SendCommand(link, phone::kListCalls, &answerEnd);
  std::vector<CallStatus> calls;
  if (listed) {
    for (const std::string& line : TakeLines(link.rx, answerEnd, [](const std::string& line) {
           return IsCallListLine(line) || IsCallReport(line);
         })) {
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
