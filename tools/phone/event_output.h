#pragma once
// The program's event stream on stdout: one JSON object per line, flushed at
// once, each stamped with "t", milliseconds since the program started.

#include <chrono>
#include <cstdint>
#include <string_view>

#include "json_events.h"

namespace quillet::phone {

class EventOutput {
 public:
  EventOutput() : start_(std::chrono::steady_clock::now()) {}

  std::uint64_t NowMs() const;
  // A fresh event object holding "ev" and "t".
  json::Object Event(std::string_view name) const;
  void Print(const json::Object& event);
  bool failed() const { return failed_; }

 private:
  std::chrono::steady_clock::time_point start_;
  bool failed_ = false;
};

}  // namespace quillet::phone
