#pragma once
// Orders emissions on a clock: each one is due its delay after the previous
// one, or after now when the previous one has long gone out.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quillet::phone {

class EmissionSchedule {
 public:
  void Add(std::string bytes, std::uint32_t delayMs, std::uint64_t nowMs);
  std::optional<std::uint64_t> NextDueMs() const;
  // The emissions due at `nowMs`, oldest first, removed from the schedule.
  std::vector<std::string> TakeDue(std::uint64_t nowMs);
  bool empty() const { return pending_.empty(); }

 private:
  struct Pending {
    std::string bytes;
    std::uint64_t dueMs;
  };
  std::deque<Pending> pending_;
  std::uint64_t lastDueMs_ = 0;
};

}  // namespace quillet::phone
