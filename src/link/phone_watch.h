#pragma once
// Whether the phone is still there, while the user wants the music paused
// when it goes away: a Bluetooth port whose phone walked off may keep DSR on
// and simply fall silent. A silent, idle phone is asked a plain "AT" 10 s
// after its last line and again 10 s later; neither answered, it is gone.
// Gone, it is asked again every 10 s, and the first "OK" has it set up
// afresh. A DSR that drops or a port that fails counts as gone too.

#include <cstdint>

#include "link/link.h"

namespace quillet {

constexpr std::uint32_t kSilenceBeforeProbeMs = 10000;  // and between probes
constexpr std::uint32_t kProbeAnswerMs = 2000;
constexpr int kUnansweredProbesForGone = 2;
constexpr char kProbe[] = "";  // a plain "AT"

// The monitor's clocked work that checks the phone. Monitor thread only.
class PhoneWatch : public ClockedWork {
 public:
  explicit PhoneWatch(Link& link) : link_(link) {}

  bool NextDue(std::uint32_t* dueMs) const override;
  void ClockReached(std::uint32_t nowMs) override;

 private:
  // Something awaits the user or the phone, so its silence means nothing.
  bool Busy() const;
  void Probe(std::uint32_t nowMs);

  Link& link_;
  std::uint32_t heardMs_ = 0;  // the link's last line when last looked at
  std::uint32_t probedMs_ = 0;
  int unanswered_ = 0;
  int probes_ = 0;  // on this connection, for the status
};

// The phone went away (probes, DSR, the port): the status says so and the
// absence is told, once. Nothing without awayEvents.
void PhoneWentAway(Link& link);
// After a set-up: a phone that was away and has answered since is back.
void AfterSetUp(Link& link);
// Takes the link's away events for the next connection (null: none). One
// that goes while the phone is away has the absence forgotten.
void UseAwayEvents(Link& link, AwayEvents* events);

}  // namespace quillet
