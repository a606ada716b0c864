#pragma once
// Walks the port log of one call in order, so that a model can say what it
// expects to see next; any divergence ends the process with a report.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "recording_platform.h"

namespace quillet::fuzzing {

// Prints `what` and aborts, so that libFuzzer keeps the input.
[[noreturn]] void Fail(const std::string& what);

// Control bytes shown as escapes, long texts shortened, for reports.
std::string Shown(std::string_view text);

class Replay {
 public:
  Replay(const std::vector<PortEvent>& events, std::string call)
      : events_(events), call_(std::move(call)) {}

  const PortEvent& Expect(PortEvent::Type type);
  const PortEvent& ExpectSleep(std::uint32_t ms);
  const PortEvent& ExpectTrace(std::string_view prefix, std::string_view text);
  // A trace record with `prefix` and any text.
  const PortEvent& ExpectTraceOf(std::string_view prefix);
  void ExpectEnd();
  void Check(bool ok, const std::string& what) const;

 private:
  [[noreturn]] void Diverged(const std::string& what) const;

  const std::vector<PortEvent>& events_;
  std::size_t next_ = 0;
  std::string call_;
};

}  // namespace quillet::fuzzing
