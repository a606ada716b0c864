#pragma once
// The phone going away pauses the music as a call does, with the reason
// "away"; its coming back ends that reason. After a long absence the music
// is left as it is: whoever walked off may have been gone for the day.

#include <cstdint>

#include "link/phone_handlers.h"
#include "player/player_pause.h"

namespace quillet {

constexpr std::uint32_t kLongestAbsenceResumedMs = 30 * 60 * 1000;

class AwayPause : public AwayEvents {
 public:
  explicit AwayPause(PlayerPause& pause) : pause_(pause) {}

  void PhoneGone() override { pause_.Begin(PauseReason::kAway); }
  void PhoneBack(std::uint32_t goneMs) override {
    pause_.End(PauseReason::kAway, goneMs < kLongestAbsenceResumedMs);
  }
  void AbsenceForgotten() override { pause_.Forget(PauseReason::kAway); }

 private:
  PlayerPause& pause_;
};

}  // namespace quillet
