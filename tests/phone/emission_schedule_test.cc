#include "emission_schedule.h"

#include <gtest/gtest.h>

namespace quillet::phone {
namespace {

TEST(EmissionSchedule, DelaysCountFromThePreviousEmission) {
  EmissionSchedule s;
  s.Add("a", 0, 100);
  s.Add("b", 600, 100);
  s.Add("c", 0, 150);  // queued behind the late "b"
  s.Add("d", 10, 150);
  EXPECT_EQ(s.NextDueMs(), 100u);
  EXPECT_EQ(s.TakeDue(100), std::vector<std::string>{"a"});
  EXPECT_EQ(s.TakeDue(699), std::vector<std::string>{});
  EXPECT_EQ(s.TakeDue(700), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(s.NextDueMs(), 710u);
  EXPECT_EQ(s.TakeDue(5000), std::vector<std::string>{"d"});
  EXPECT_TRUE(s.empty());
  EXPECT_FALSE(s.NextDueMs());
}

TEST(EmissionSchedule, AnEmissionAfterALongPauseCountsFromNow) {
  EmissionSchedule s;
  s.Add("a", 0, 0);
  EXPECT_EQ(s.TakeDue(0).size(), 1u);
  s.Add("b", 20, 1000);
  EXPECT_EQ(s.NextDueMs(), 1020u);
}

}  // namespace
}  // namespace quillet::phone
