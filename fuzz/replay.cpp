#include "replay.h"

#include <cstdio>
#include <cstdlib>

namespace quillet::fuzzing {

void Fail(const std::string& what) {
  std::fprintf(stderr, "link invariant violated: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string Shown(std::string_view text) {
  constexpr std::size_t kLongest = 160;
  std::string shown;
  for (std::size_t i = 0; i < text.size() && i < kLongest; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      shown += hex;
    } else {
      shown.push_back(static_cast<char>(c));
    }
  }
  if (text.size() > kLongest) shown += "...(" + std::to_string(text.size()) + " bytes)";
  return "\"" + shown + "\"";
}

void Replay::Diverged(const std::string& what) const {
  std::string report = call_ + ": " + what + "\n  port log of the call:";
  for (std::size_t i = 0; i < events_.size(); ++i) {
    const PortEvent& e = events_[i];
    report += "\n  " + std::string(i + 1 == next_ ? "> " : "  ") + PortEventName(e.type) +
              " ok=" + std::to_string(e.ok) + " count=" + std::to_string(e.count) +
              " at=" + std::to_string(e.atMs) + " " + e.prefix + Shown(e.bytes);
  }
  Fail(report);
}

void Replay::Check(bool ok, const std::string& what) const {
  if (!ok) Diverged(what);
}

const PortEvent& Replay::Expect(PortEvent::Type type) {
  if (next_ >= events_.size())
    Diverged(std::string("expected ") + PortEventName(type) + ", log ended");
  const PortEvent& event = events_[next_++];
  if (event.type != type) {
    Diverged(std::string("expected ") + PortEventName(type) + ", got " + PortEventName(event.type));
  }
  return event;
}

const PortEvent& Replay::ExpectSleep(std::uint32_t ms) {
  const PortEvent& event = Expect(PortEvent::Type::Sleep);
  Check(event.count == ms, "expected a sleep of " + std::to_string(ms) + " ms");
  return event;
}

const PortEvent& Replay::ExpectTraceOf(std::string_view prefix) {
  const PortEvent& event = Expect(PortEvent::Type::Trace);
  Check(event.prefix == prefix, "expected trace " + Shown(prefix) + ", got " + Shown(event.prefix));
  return event;
}

const PortEvent& Replay::ExpectTrace(std::string_view prefix, std::string_view text) {
  const PortEvent& event = ExpectTraceOf(prefix);
  Check(event.bytes == text, "expected trace text " + Shown(text) + ", got " + Shown(event.bytes));
  return event;
}

void Replay::ExpectEnd() {
  Check(next_ == events_.size(), "the call did more than expected");
}

}  // namespace quillet::fuzzing
