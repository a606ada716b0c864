#include "reply_layout.h"

#include <algorithm>

namespace quillet::phone {
namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A different byte that still cannot end or cut the line.
char Garbled(char c) {
  char changed = static_cast<char>(c ^ 0x01);
  if (changed == '\r' || changed == '\n' || changed == '\0') changed = static_cast<char>(c ^ 0x02);
  return changed;
}

}  // namespace

std::string FrameUnsolicited(std::string_view code) {
  return "\r\n" + std::string(code) + "\r\n";
}

std::optional<std::string> EchoOf(std::string_view line, ReplyRule::Echo echo) {
  std::string text(line);
  switch (echo) {
    case ReplyRule::Echo::Normal:
      return text;
    case ReplyRule::Echo::Off:
      return std::nullopt;
    case ReplyRule::Echo::Lower:
      for (char& c : text) c = Lower(c);
      return text;
    case ReplyRule::Echo::Garble:
      if (!text.empty()) text.back() = Garbled(text.back());
      return text;
  }
  return text;
}

std::vector<Emission> LayOut(const ReplyPlan& plan, const Chunking& chunking) {
  std::string head;
  if (plan.echo) head += *plan.echo + "\r";
  if (plan.interject) head += FrameUnsolicited(*plan.interject);
  std::string tail;
  if (plan.result) {
    if (!plan.values.empty()) {
      tail += "\r\n";
      for (const std::string& value : plan.values) tail += value + "\r\n";
    }
    tail += FrameUnsolicited(*plan.result);
  }
  std::vector<Emission> emissions;
  if (plan.resultDelayMs == 0) {
    if (!head.empty() || !tail.empty()) emissions.push_back({head + tail, 0});
  } else {
    if (!head.empty()) emissions.push_back({head, 0});
    if (!tail.empty()) emissions.push_back({tail, plan.resultDelayMs});
  }
  return Cut(emissions, chunking);
}

std::vector<Emission> Cut(const std::vector<Emission>& emissions, const Chunking& chunking) {
  if (chunking.size == 0) return emissions;
  std::vector<Emission> pieces;
  for (const Emission& emission : emissions) {
    std::string_view rest = emission.bytes;
    std::uint32_t delay = emission.delayMs;
    while (!rest.empty()) {
      pieces.push_back({std::string(rest.substr(0, chunking.size)), delay});
      rest.remove_prefix(std::min(chunking.size, rest.size()));
      delay = chunking.pauseMs;
    }
  }
  return pieces;
}

}  // namespace quillet::phone
