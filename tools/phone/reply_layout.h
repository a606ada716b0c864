#pragma once
// Lays a phone's answer out as timed emissions: echo, optional interjected
// code, value lines, final result, cut into chunks when asked to.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reply_rules.h"

namespace quillet::phone {

struct Emission {
  std::string bytes;
  std::uint32_t delayMs = 0;  // after the previous emission

  bool operator==(const Emission& other) const {
    return bytes == other.bytes && delayMs == other.delayMs;
  }
};

struct ReplyPlan {
  std::optional<std::string> echo;       // the command line as echoed, without its CR
  std::optional<std::string> interject;  // unsolicited code between echo and result
  std::vector<std::string> values;       // sent only with a result
  std::optional<std::string> result;     // "OK", "ERROR", "+CME ERROR: n"
  std::uint32_t resultDelayMs = 0;
};

// "\r\n" code "\r\n".
std::string FrameUnsolicited(std::string_view code);

// The echo of `line` as a rule wants it; none for Echo::Off.
std::optional<std::string> EchoOf(std::string_view line, ReplyRule::Echo echo);

std::vector<Emission> LayOut(const ReplyPlan& plan, const Chunking& chunking);

// Cuts each emission into pieces; the first keeps its delay, the others wait
// `pauseMs`.
std::vector<Emission> Cut(const std::vector<Emission>& emissions, const Chunking& chunking);

}  // namespace quillet::phone
