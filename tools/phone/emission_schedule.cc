#include "emission_schedule.h"

#include <algorithm>

namespace quillet::phone {

void EmissionSchedule::Add(std::string bytes, std::uint32_t delayMs, std::uint64_t nowMs) {
  lastDueMs_ = std::max(lastDueMs_, nowMs) + delayMs;
  pending_.push_back({std::move(bytes), lastDueMs_});
}

std::optional<std::uint64_t> EmissionSchedule::NextDueMs() const {
  if (pending_.empty()) return std::nullopt;
  return pending_.front().dueMs;
}

std::vector<std::string> EmissionSchedule::TakeDue(std::uint64_t nowMs) {
  std::vector<std::string> due;
  while (!pending_.empty() && pending_.front().dueMs <= nowMs) {
    due.push_back(std::move(pending_.front().bytes));
    pending_.pop_front();
  }
  return due;
}

}  // namespace quillet::phone
