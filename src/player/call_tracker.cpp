#include "player/call_tracker.h"

namespace quillet {
namespace {

bool IsVoice(int type) {
  return type == kVoiceCall || type == kVoiceCallLine2;
}

// The states in which a call wants the music off. Hold and busy come only
// after one of them, so they keep the calls going without asking again.
bool WantsSilence(CallState state) {
  switch (state) {
    case CallState::Calling:
    case CallState::Connecting:
    case CallState::Active:
    case CallState::Waiting:
    case CallState::Alerting:
      return true;
    default:
      return false;
  }
}

bool Starts(CallState state) {
  return state == CallState::Calling || state == CallState::Alerting;
}

// A call that got this far cannot start again: a start on its id is a new
// call, and the end of this one went unseen.
bool PastTheStart(CallState state) {
  return state == CallState::Connecting || state == CallState::Active || state == CallState::Hold ||
         state == CallState::Busy;
}

}  // namespace

int CallTracker::Counted(int except) const {
  int count = 0;
  for (int id = kFirstCallId; id <= kLastCallId; ++id)
    count += id != except && calls_[id] != CallState::Idle;
  return count;
}

bool CallTracker::CallChanged(const CallStatus& call) {
  CallState& known = calls_[call.id];
  if (call.state != CallState::Idle && callGoingOn_) callGoingOn_();
  if (call.state == CallState::Idle) {
    const bool wasGoing = Counted() != 0;
    known = CallState::Idle;
    // A pause of Quillet's with no call counted: its calls were lost with
    // the link and the phone would not list them, so the next end of any
    // call ends what Quillet paused for.
    if (Counted() == 0 && (wasGoing || pause_.PausedFor(PauseReason::kCall))) AllCallsEnded();
    return false;
  }
  // Data and fax calls leave the music alone.
  if (!IsVoice(call.type)) return false;
  bool newRun = false;
  if (Starts(call.state) && known == call.state) {
    // The same start again: its idle may have been lost, or it is the same
    // call said twice; the phone's list decides.
    starting_ = call.id;
    restarted_ = true;
    return true;
  }
  if (Starts(call.state) && PastTheStart(known)) {
    // Dropped without resuming: the new call wants the music off anyway.
    known = CallState::Idle;
    newRun = Counted() == 0;
  }
  const bool started = known == CallState::Idle;
  known = call.state;
  // The player is looked at once for a run of calls: a second call, or the
  // next state of the same one, must not undo what the user did meanwhile.
  if ((newRun || !looked_) && WantsSilence(call.state)) StartRun();
  // Other calls counted may have ended unseen: the phone says which are left.
  if (started && Counted(call.id) != 0) {
    starting_ = call.id;
    return true;
  }
  return false;
}

void CallTracker::CallsListed(const std::vector<CallStatus>* calls) {
  const bool unsure = unsure_;
  const int starting = starting_;
  const bool restarted = restarted_;
  unsure_ = false;
  starting_ = 0;
  restarted_ = false;
  if (calls == nullptr) {
    // Without a list, calls from before the link went away can never be
    // seen to end; a pause of Quillet's waits for the next end of any call,
    // and the next call to start begins a run.
    if (unsure) {
      calls_.fill(CallState::Idle);
      looked_ = false;
    }
    return;
  }
  std::array<CallState, kLastCallId + 1> listed{};
  for (const CallStatus& call : *calls)
    if (IsVoice(call.type)) listed[call.id] = call.state;
  bool dropped = false;
  for (int id = kFirstCallId; id <= kLastCallId; ++id) {
    // Counted calls it does not list ended unseen.
    if (calls_[id] != CallState::Idle && listed[id] == CallState::Idle) dropped = true;
    // After the link came back, the list is what is going on.
    if (unsure || listed[id] == CallState::Idle) calls_[id] = listed[id];
  }
  if ((unsure || restarted) && Counted() == 0) {
    AllCallsEnded();
    return;
  }
  // A start said again on a call the list holds, alone: a new call whose
  // earlier one ended unseen, so the player is looked at afresh.
  if (restarted && calls_[starting] != CallState::Idle && Counted(starting) == 0) {
    StartRun();
    return;
  }
  // The call that started is then the first of a run.
  if (dropped && starting != 0 && calls_[starting] != CallState::Idle && Counted(starting) == 0 &&
      WantsSilence(calls_[starting])) {
    StartRun();
    return;
  }
  // Calls that went on unheard want the music off as reported ones do.
  if (unsure && !looked_) {
    for (int id = kFirstCallId; id <= kLastCallId; ++id) {
      if (WantsSilence(calls_[id])) {
        StartRun();
        return;
      }
    }
  }
}

void CallTracker::StartRun() {
  looked_ = true;
  if (pausing_) pause_.Begin(PauseReason::kCall);
}

void CallTracker::AllCallsEnded() {
  pause_.End(PauseReason::kCall);
  Reset();
}

void CallTracker::LinkInterrupted() {
  unsure_ = true;
  starting_ = 0;
  restarted_ = false;
}

void CallTracker::Ringing() {
  if (callGoingOn_) callGoingOn_();
}

void CallTracker::SetPausing(bool on) {
  if (pausing_ && !on) CallsForgotten();
  pausing_ = on;
}

void CallTracker::CallsForgotten() {
  pause_.Forget(PauseReason::kCall);
  Reset();
  unsure_ = true;
}

void CallTracker::Reset() {
  calls_.fill(CallState::Idle);
  looked_ = false;
  starting_ = 0;
  restarted_ = false;
}

}  // namespace quillet
