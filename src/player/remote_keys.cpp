#include "player/remote_keys.h"

#include "link/phone_commands.h"
#include "menus/at_text.h"
#include "menus/menu_items.h"
#include "platform/host_messages.h"

namespace quillet {
namespace {

constexpr std::int32_t kLoudest = 255;

bool Repeats(KeyAction action) {
  switch (action) {
    case KeyAction::VolumeUp:
    case KeyAction::VolumeDown:
    case KeyAction::Back:
    case KeyAction::Forward:
      return true;
    default:
      return false;
  }
}

}  // namespace

KeyAction ActionOfKey(const std::string& key) {
  static const struct {
    const char* key;
    KeyAction action;
  } kTable[] = {
      {">", KeyAction::Next},       {"6", KeyAction::Next},       {"<", KeyAction::Previous},
      {"4", KeyAction::Previous},   {":J", KeyAction::PlayPause}, {"2", KeyAction::PlayPause},
      {"5", KeyAction::Stop},       {"^", KeyAction::VolumeUp},   {"U", KeyAction::VolumeUp},
      {"u", KeyAction::VolumeUp},   {"V", KeyAction::VolumeDown}, {"v", KeyAction::VolumeDown},
      {"D", KeyAction::VolumeDown}, {"d", KeyAction::VolumeDown}, {"1", KeyAction::Back},
      {"3", KeyAction::Forward},    {"7", KeyAction::Mute},
  };
  for (const auto& row : kTable)
    if (key == row.key) return row.action;
  return KeyAction::None;
}

void RemoteKeys::KeyChanged(const KeyReport& key) {
  if (!up_) return;
  const KeyAction action = ActionOfKey(key.key);
  // Keys the remote does not use (the spurious "e" some phones send after
  // a press among them) change nothing, a hold included.
  if (action == KeyAction::None) return;
  if (!key.pressed) {
    if (key.key == heldKey_) held_ = KeyAction::None;
    return;
  }
  // A new press ends any hold, so a lost release cannot repeat for ever.
  held_ = KeyAction::None;
  Act(action);
  if (Repeats(action)) {
    held_ = action;
    heldKey_ = key.key;
    pressedMs_ = os_.NowMs();
    dueMs_ = pressedMs_ + kFirstRepeatMs;
  }
}

bool RemoteKeys::NextDue(std::uint32_t* dueMs) const {
  if (!up_ || held_ == KeyAction::None) return false;
  *dueMs = dueMs_;
  return true;
}

void RemoteKeys::ClockReached(std::uint32_t nowMs) {
  if (!up_ || held_ == KeyAction::None || MsUntil(dueMs_, nowMs) > 0) return;
  if (ElapsedMs(pressedMs_, nowMs) >= kLongestHoldMs) {
    held_ = KeyAction::None;
    return;
  }
  Act(held_);
  // Late wake-ups keep the pace; one far behind starts it afresh rather
  // than acting several times at once.
  dueMs_ += kRepeatMs;
  if (MsUntil(dueMs_, nowMs) <= 0) dueMs_ = nowMs + kRepeatMs;
}

void RemoteKeys::KeysForgotten() {
  up_ = false;
  held_ = KeyAction::None;
}

const char* RemoteKeys::Open(const std::function<bool()>& putUp) {
  KeysForgotten();
  // Digits typed in a call (a PIN, a voice menu) must not drive the player.
  if (inCall_()) return kInCallText;
  if (!putUp()) return kNoKeysText;
  if (!send_(phone::kKeyReportsOn)) return kNoKeysText;
  up_ = true;
  return nullptr;
}

void RemoteKeys::Close() {
  if (!up_) return;
  KeysForgotten();
  send_(phone::kKeyReportsOff);
}

void RemoteKeys::StepVolume(int steps) {
  // The steps of the Volume entry's level dialog.
  MenuItem scale{};
  scale.minimum = 0;
  scale.maximum = kLoudest;
  std::intptr_t volume = host_.Request(host::kQueryVolume, host::kVolume);
  if (volume < 0) volume = 0;
  if (volume > kLoudest) volume = kLoudest;
  std::int32_t step = ToSteps(static_cast<std::int32_t>(volume), scale) + steps;
  if (step < 0) step = 0;
  if (step > 10) step = 10;
  muted_ = false;
  host_.Request(static_cast<std::uintptr_t>(FromPercent(step * 10, scale)), host::kVolume);
}

void RemoteKeys::Act(KeyAction action) {
  switch (action) {
    case KeyAction::Next:
      host_.Command(host::kCommandNext);
      break;
    case KeyAction::Previous:
      host_.Command(host::kCommandPrevious);
      break;
    case KeyAction::PlayPause: {
      // Pause toggles a paused player back on; only a stopped one needs play.
      const std::intptr_t state = host_.Request(0, host::kPlayState);
      host_.Command(state == kPlaying || state == kPaused ? host::kCommandPause
                                                          : host::kCommandPlay);
      break;
    }
    case KeyAction::Stop:
      host_.Command(host::kCommandStop);
      break;
    case KeyAction::VolumeUp:
      StepVolume(1);
      break;
    case KeyAction::VolumeDown:
      StepVolume(-1);
      break;
    case KeyAction::Back:
      host_.Command(host::kCommandBack5s);
      break;
    case KeyAction::Forward:
      host_.Command(host::kCommandForward5s);
      break;
    case KeyAction::Mute: {
      std::intptr_t volume = host_.Request(host::kQueryVolume, host::kVolume);
      if (muted_ && volume == 0) {
        muted_ = false;
        host_.Request(static_cast<std::uintptr_t>(volumeBeforeMute_), host::kVolume);
        break;
      }
      // Moved since the mute (by the player or the menus): muted afresh.
      if (volume < 0) volume = 0;
      if (volume > kLoudest) volume = kLoudest;
      volumeBeforeMute_ = static_cast<std::int32_t>(volume);
      muted_ = true;
      host_.Request(0, host::kVolume);
      break;
    }
    case KeyAction::None:
      break;
  }
}

}  // namespace quillet
