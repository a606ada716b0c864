#include "link/phone_watch.h"

#include <string>

#include "link/at_transaction.h"
#include "link/connection_setup.h"

namespace quillet {
namespace {

// One probe, kept out of the trace: only the phone's going and coming is.
bool Ask(Link& link) {
  link.trace.QuietWire(true);
  const bool ok = SendCommandOnce(link, kProbe, kProbeAnswerMs);
  link.trace.QuietWire(false);
  return ok;
}

std::string CheckedDetail(int probes) {
  return " Phone checked " + std::to_string(probes) + (probes == 1 ? " time." : " times.");
}

}  // namespace

bool PhoneWatch::Busy() const {
  const bool keys = link_.keyEvents != nullptr && link_.keyEvents->ScreenUp();
  const MenuHandlers* menus = link_.handlers;
  return keys || (menus != nullptr && (menus->AwaitingUser() || menus->WorkPending()));
}

bool PhoneWatch::NextDue(std::uint32_t* dueMs) const {
  if (link_.awayEvents == nullptr || !link_.state.connected) return false;
  if (link_.phoneAway) {
    *dueMs = probedMs_ + kSilenceBeforeProbeMs;
    return true;
  }
  if (Busy()) return false;
  const bool probeUnanswered = unanswered_ > 0 && link_.lastLineMs == heardMs_;
  *dueMs = (probeUnanswered ? probedMs_ : link_.lastLineMs) + kSilenceBeforeProbeMs;
  return true;
}

void PhoneWatch::ClockReached(std::uint32_t nowMs) {
  if (link_.awayEvents == nullptr || !link_.state.connected) {
    // The next connection starts its own count.
    unanswered_ = 0;
    probes_ = 0;
    return;
  }
  if (link_.phoneAway) {
    if (MsUntil(probedMs_ + kSilenceBeforeProbeMs, nowMs) > 0) return;
    probedMs_ = nowMs;
    if (!Ask(link_)) return;
    // It answers: the monitor sets it up afresh, as after a blink.
    unanswered_ = 0;
    probes_ = 0;
    link_.state.connected = false;
    return;
  }
  if (Busy()) return;
  if (link_.lastLineMs != heardMs_) {
    heardMs_ = link_.lastLineMs;
    unanswered_ = 0;
  }
  const std::uint32_t due = (unanswered_ > 0 ? probedMs_ : heardMs_) + kSilenceBeforeProbeMs;
  if (MsUntil(due, nowMs) > 0) return;
  probedMs_ = nowMs;
  link_.status.SetDetail(CheckedDetail(++probes_));
  Ask(link_);
  // Any line at all says the phone is there.
  if (link_.lastLineMs != heardMs_) {
    heardMs_ = link_.lastLineMs;
    unanswered_ = 0;
    return;
  }
  if (++unanswered_ >= kUnansweredProbesForGone) PhoneWentAway(link_);
}

void PhoneWentAway(Link& link) {
  if (link.awayEvents == nullptr || link.phoneAway) return;
  link.phoneAway = true;
  link.awaySinceMs = link.os.NowMs();
  link.trace.WriteTrace("phone gone", kTraceInfo);
  link.status.SetStatus(kStatusStandingBy);
  link.awayEvents->PhoneGone();
}

void AfterSetUp(Link& link) {
  if (!link.phoneAway || !link.state.connected) return;
  // Set up with no answer (DSR on, the phone silent): still away.
  if (MsUntil(link.lastLineMs, link.awaySinceMs) <= 0) {
    link.status.SetStatus(kStatusStandingBy);
    return;
  }
  link.phoneAway = false;
  link.trace.WriteTrace("phone back", kTraceInfo);
  if (link.awayEvents != nullptr)
    link.awayEvents->PhoneBack(ElapsedMs(link.awaySinceMs, link.os.NowMs()));
}

void UseAwayEvents(Link& link, AwayEvents* events) {
  if (events == nullptr && link.awayEvents != nullptr && link.phoneAway)
    link.awayEvents->AbsenceForgotten();
  if (events == nullptr) link.phoneAway = false;
  link.awayEvents = events;
}

}  // namespace quillet
