#include "link/call_status.h"

#include <cstdint>

#include "link/decimal.h"
#include "link/line_fields.h"
#include "link/phone_commands.h"

namespace quillet {
namespace {

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
  return StartsWithCode(line, phone::kCallStatus);
}

bool ParseCallStatus(const std::string& line, CallStatus* call) {
  std::size_t at = 0;
  if (!SkipCode(line, phone::kCallStatus, &at)) return false;
  std::int32_t fields[3] = {};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      // An idle report ends its call by id alone: a lost type must not
      // leave the call counted for ever.
      const bool idle = i == 2 && fields[1] == static_cast<int>(CallState::Idle);
      if (at >= line.size() && idle) break;
      if (at >= line.size() || line[at] != ',') return false;
      ++at;
      SkipBlanks(line, &at);
      if (idle && (at >= line.size() || line[at] == ',')) break;
    }
    if (!ReadField(line, &at, &fields[i])) return false;
  }
  if (at < line.size() && line[at] != ',') return false;
  const std::int32_t id = fields[0], state = fields[1], type = fields[2];
  if (id < kFirstCallId || id > kLastCallId) return false;
  if (state < static_cast<int>(CallState::Idle) || state > static_cast<int>(CallState::Busy))
    return false;
  if (state != static_cast<int>(CallState::Idle) && !IsCallType(type)) return false;
  *call = CallStatus{id, static_cast<CallState>(state), type};
  return true;
}

bool IsCallListLine(const std::string& line) {
  return StartsWithCode(line, phone::kCallListReply);
}

bool ParseCallListLine(const std::string& line, CallStatus* call) {
  if (!IsCallListLine(line)) return false;
  std::size_t at = std::char_traits<char>::length(phone::kCallListReply);
  // <id>,<dir>,<stat>,<mode>,<mpty>, then the number and more, not looked at.
  std::int32_t fields[5] = {};
  for (int i = 0; i < 5; ++i) {
    if (i > 0) {
      if (at >= line.size() || line[at] != ',') return false;
      ++at;
    }
    SkipBlanks(line, &at);
    if (!ReadField(line, &at, &fields[i])) return false;
  }
  if (at < line.size() && line[at] != ',') return false;
  const std::int32_t id = fields[0], direction = fields[1], stat = fields[2], mode = fields[3];
  if (id < kFirstCallId || id > kLastCallId || direction < 0 || direction > 1) return false;
  // <stat> 0 active, 1 held, 2 dialling, 3 alerting the far end, 4 incoming,
  // 5 waiting: as "*ECAV" names the same stages.
  static constexpr CallState kStages[] = {CallState::Active,   CallState::Hold,
                                          CallState::Calling,  CallState::Connecting,
                                          CallState::Alerting, CallState::Waiting};
  if (stat < 0 || stat > 5 || mode < 0 || mode > 9) return false;
  // <mode> 0 is voice, and so are the mixes that begin with voice (3, 4, 5)
  // and 9 (unknown): a call going on that is taken for data would look ended
  // after a blink. 1 is data, 2 fax, 6 to 8 data first.
  const int type = mode == 1 || (mode >= 6 && mode <= 8) ? kDataCall
                   : mode == 2                           ? kFaxCall
                                                         : kVoiceCall;
  *call = CallStatus{id, kStages[stat], type};
  return true;
}

}  // namespace quillet
