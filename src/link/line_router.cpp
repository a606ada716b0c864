#include "link/line_router.h"

#include <algorithm>
#include <cctype>

#include "link/at_transaction.h"
#include "link/call_list.h"
#include "link/call_status.h"
#include "link/decimal.h"
#include "link/key_report.h"
#include "link/line_fields.h"
#include "link/phone_commands.h"

namespace quillet {
namespace {

bool IsRing(const std::string& line) {
  return line == phone::kRing || StartsWithCode(line, phone::kCellularRing);
}

// Key reports with no key screen up were left on by something else (a link
// that blinked, a player that crashed): the phone is asked once a
// connection to stop them.
void SilenceStrayKeys(Link& link) {
  if (link.strayKeysSilenced) return;
  link.strayKeysSilenced = true;
  link.trace.WriteTrace("key reports with no key screen: turned off", kTraceInfo);
  SendCommand(link, phone::kKeyReportsOff);
}

void RouteKeyReport(Link& link, const std::string& line) {
  if (!link.keyEvents->ScreenUp()) {
    SilenceStrayKeys(link);
    return;
  }
  // A report that does not read right is dropped alone.
  KeyReport key;
  if (ParseKeyReport(line, &key)) link.keyEvents->KeyChanged(key);
}

}  // namespace

bool IsPhoneCode(const std::string& line) {
  for (const char* code : {phone::kMenuActivated, phone::kMenuChoice, phone::kDialogAnswer,
                           phone::kCallStatus, phone::kKeyReport, phone::kCellularRing})
    if (StartsWithCode(line, code)) return true;
  return line == phone::kRing;
}

int ScanMenuChoice(const std::string& line, int* entry) {
  const std::string literal = phone::kMenuChoiceLead;
  std::size_t i = 0;
  for (; i < literal.size(); ++i) {
    if (i >= line.size()) return -1;
    if (line[i] != literal[i]) return 0;
  }
  while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  if (i >= line.size()) return -1;
  std::int32_t value = 0;
  if (!ReadDecimal(line, &i, &value)) return 0;
  *entry = value;
  return 1;
}

void ApplyCallReport(Link& link, const std::string& line, bool mayList) {
  // Acted on only while the phone reports calls because this link asked it
  // to; a report that does not read right is dropped alone.
  CallStatus call;
  if (!link.callsReported || link.callEvents == nullptr || !ParseCallStatus(line, &call)) return;
  if (link.callEvents->CallChanged(call) && mayList) ListCalls(link);
}

bool RouteLine(Link& link, const std::string& line) {
  if (IsKeyReport(line)) {
    if (link.keyEvents != nullptr) RouteKeyReport(link, line);
    return false;
  }
  if (IsCallReport(line)) {
    ApplyCallReport(link, line, true);
    return false;
  }
  if (IsRing(line)) {
    if (link.callEvents != nullptr) link.callEvents->Ringing();
    return false;
  }
  MenuHandlers* handlers = link.handlers;
  if (line.size() <= 1 || handlers == nullptr) return false;
  if (line == phone::kMenuActivated) {
    handlers->MenuActivated();
  } else if (StartsWithCode(line, phone::kMenuChoice)) {
    int entry = 0;
    if (ScanMenuChoice(line, &entry) != 0) handlers->ChooseEntry(entry);
    return true;
  } else if (StartsWithCode(line, phone::kDialogAnswer)) {
    handlers->HandleAnswer(line.substr(phone::kCodeLength));
  }
  return false;
}

void KeepStray(Link& link, const std::string& line) {
  if (IsPhoneCode(line)) link.strays.push_back(line);
}

void ApplyStrayCallReports(Link& link) {
  auto& strays = link.strays;
  for (const std::string& line : strays)
    if (IsCallReport(line)) ApplyCallReport(link, line, false);
  strays.erase(std::remove_if(strays.begin(), strays.end(), IsCallReport), strays.end());
}

}  // namespace quillet
