#include "link/call_status.h"

#include <cstdint>

#include "link/decimal.h"
#include "link/phone_commands.h"

namespace quillet {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

void SkipBlanks(const std::string& line, std::size_t* at) {
  while (*at < line.size() && IsBlank(line[*at])) ++*at;
}

// One numeric field, blanks around it allowed; `*at` ends on what follows.
bool ReadField(const std::string& line, std::size_t* at, std::int32_t* value) {
  if (!ReadDecimal(line, at, value)) return false;
  SkipBlanks(line, at);
  return true;
}

bool IsCallType(std::int32_t type) {
  return type == kVoiceCall || type == kDataCall || type == kFaxCall || type == kVoiceCallLine2;
}

}  // namespace

bool IsCallReport(const std::string& line) {
  return line.compare(0, phone::kCodeLength, phone::kCallStatus) == 0;
}

bool ParseCallStatus(const std::string& line, CallStatus* call) {
  const std::string code = std::string(phone::kCallStatus) + ":";
  if (line.compare(0, code.size(), code) != 0) return false;
  std::size_t at = code.size();
  std::int32_t fields[3] = {};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (at >= line.size() || line[at] != ',') return false;
      ++at;
    }
    if (!ReadField(line, &at, &fields[i])) return false;
  }
  if (at < line.size() && line[at] != ',') return false;
  const std::int32_t id = fields[0], state = fields[1], type = fields[2];
  if (id < kFirstCallId || id > kLastCallId) return false;
  if (state < static_cast<int>(CallState::Idle) || state > static_cast<int>(CallState::Busy))
    return false;
  if (!IsCallType(type)) return false;
  *call = CallStatus{id, static_cast<CallState>(state), type};
  return true;
}

}  // namespace quillet
