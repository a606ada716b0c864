#include "calls.h"

#include <algorithm>

namespace quillet::phone {
namespace {

// What a phone adds when a call ends: the call-control process and the
// network's cause, normal clearing.
constexpr char kEndedFields[] = ",8,16";

bool Ringing(const PhoneCall& call) {
  return call.state == CallState::Alerting || call.state == CallState::Waiting;
}

PhoneCall* Find(std::vector<PhoneCall>& calls, bool (*match)(const PhoneCall&)) {
  auto it = std::find_if(calls.begin(), calls.end(), match);
  return it == calls.end() ? nullptr : &*it;
}

std::int32_t FreeId(const std::vector<PhoneCall>& calls) {
  for (std::int32_t id = 1; id <= kMostCalls; ++id) {
    if (std::none_of(calls.begin(), calls.end(), [&](const PhoneCall& c) { return c.id == id; }))
      return id;
  }
  return 0;
}

void Change(PhoneCall& call, CallState state, CallChanges& changes) {
  call.state = state;
  changes.reports.push_back(ReportLine(call));
}

// The active call, if any, goes on hold.
void HoldActive(std::vector<PhoneCall>& calls, CallChanges& changes) {
  for (PhoneCall& call : calls)
    if (call.state == CallState::Active) Change(call, CallState::Hold, changes);
}

CallChanges Refused(std::string why) {
  CallChanges changes;
  changes.error = std::move(why);
  return changes;
}

void Drop(std::vector<PhoneCall>& calls, std::int32_t id) {
  calls.erase(
      std::remove_if(calls.begin(), calls.end(), [&](const PhoneCall& c) { return c.id == id; }),
      calls.end());
}

std::string NumberOr(std::string_view number) {
  return number.empty() ? std::string(kDefaultNumber) : std::string(number);
}

// International (145) when it starts with '+', else 129.
std::string NumberType(const std::string& number) {
  return number.rfind('+', 0) == 0 ? "145" : "129";
}

}  // namespace

const char* CallStateName(CallState state) {
  switch (state) {
    case CallState::Idle:
      return "idle";
    case CallState::Calling:
      return "calling";
    case CallState::Connecting:
      return "connecting";
    case CallState::Active:
      return "active";
    case CallState::Hold:
      return "hold";
    case CallState::Waiting:
      return "waiting";
    case CallState::Alerting:
      return "alerting";
    case CallState::Busy:
      return "busy";
  }
  return "?";
}

std::vector<std::string> ListLines(const std::vector<PhoneCall>& calls) {
  std::vector<std::string> lines;
  for (const PhoneCall& call : calls) {
    // <stat>: 0 active, 1 held, 2 dialling, 3 alerting the far end, 4 incoming, 5 waiting.
    int stat = 0;
    switch (call.state) {
      case CallState::Hold:
        stat = 1;
        break;
      case CallState::Calling:
        stat = 2;
        break;
      case CallState::Connecting:
        stat = 3;
        break;
      case CallState::Alerting:
        stat = 4;
        break;
      case CallState::Waiting:
        stat = 5;
        break;
      default:
        stat = 0;
        break;
    }
    lines.push_back("+CLCC: " + std::to_string(call.id) + "," + (call.incoming ? "1" : "0") + "," +
                    std::to_string(stat) + ",0,0,\"" + call.number + "\"," +
                    NumberType(call.number));
  }
  return lines;
}

std::string ReportLine(const PhoneCall& call) {
  std::string line = "*ECAV: " + std::to_string(call.id) + "," +
                     std::to_string(static_cast<std::int32_t>(call.state)) + "," +
                     std::to_string(call.type);
  switch (call.state) {
    case CallState::Idle:
      line += kEndedFields;
      break;
    case CallState::Calling:
    case CallState::Waiting:
    case CallState::Alerting:
      // The number and its type.
      line += ",,,\"" + call.number + "\"," + NumberType(call.number);
      break;
    default:
      break;
  }
  return line;
}

CallChanges Ring(std::vector<PhoneCall>& calls, std::string_view number, bool waiting) {
  if (Find(calls, Ringing)) return Refused("a call is ringing already");
  const bool active =
      Find(calls, [](const PhoneCall& c) { return c.state == CallState::Active; }) != nullptr;
  if (waiting && !active) return Refused("no active call to wait behind");
  const std::int32_t id = FreeId(calls);
  if (id == 0) return Refused("no free call id");
  CallChanges changes;
  calls.push_back({id, CallState::Idle, kVoice, NumberOr(number)});
  Change(calls.back(), active ? CallState::Waiting : CallState::Alerting, changes);
  return changes;
}

CallChanges Dial(std::vector<PhoneCall>& calls, std::string_view number) {
  if (Find(calls, Ringing)) return Refused("a call is ringing");
  const std::int32_t id = FreeId(calls);
  if (id == 0) return Refused("no free call id");
  CallChanges changes;
  HoldActive(calls, changes);
  calls.push_back({id, CallState::Idle, kVoice, NumberOr(number), false});
  Change(calls.back(), CallState::Calling, changes);
  Change(calls.back(), CallState::Connecting, changes);
  return changes;
}

CallChanges Answer(std::vector<PhoneCall>& calls, std::int32_t id) {
  PhoneCall* target = nullptr;
  if (id == 0) {
    target = Find(calls, Ringing);
    if (!target)
      target = Find(calls, [](const PhoneCall& c) { return c.state == CallState::Connecting; });
  } else {
    auto it = std::find_if(calls.begin(), calls.end(), [&](const PhoneCall& c) {
      return c.id == id && c.state != CallState::Active;
    });
    if (it != calls.end()) target = &*it;
  }
  if (!target) return Refused("no call to answer");
  const std::int32_t answered = target->id;
  CallChanges changes;
  HoldActive(calls, changes);
  for (PhoneCall& call : calls)
    if (call.id == answered) Change(call, CallState::Active, changes);
  return changes;
}

CallChanges HangUp(std::vector<PhoneCall>& calls, std::int32_t id) {
  CallChanges changes;
  std::vector<std::int32_t> ended;
  for (PhoneCall& call : calls) {
    if (id != 0 && call.id != id) continue;
    Change(call, CallState::Idle, changes);
    ended.push_back(call.id);
  }
  if (ended.empty()) return Refused("no such call");
  for (std::int32_t gone : ended) Drop(calls, gone);
  return changes;
}

CallChanges Miss(std::vector<PhoneCall>& calls) {
  PhoneCall* ringing = Find(calls, Ringing);
  if (!ringing) return Refused("no call is ringing");
  CallChanges changes;
  const std::int32_t id = ringing->id;
  Change(*ringing, CallState::Idle, changes);
  Drop(calls, id);
  return changes;
}

}  // namespace quillet::phone
