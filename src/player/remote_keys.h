#pragma once
// The phone's keys as a remote: while the key screen is up, each key press
// acts once on the player, and a held volume or seek key repeats, first
// after kFirstRepeatMs and then every kRepeatMs, until its release, the
// screen's end or the link's, and for at most kLongestHoldMs without a new
// press (a release the phone never sent must not seek for ever).

#include <cstdint>
#include <functional>
#include <string>

#include "link/phone_handlers.h"
#include "menus/built_in_menus.h"
#include "menus/key_screen.h"
#include "player/host_window.h"

namespace quillet {

constexpr std::uint32_t kFirstRepeatMs = 500;
constexpr std::uint32_t kRepeatMs = 250;
constexpr std::uint32_t kLongestHoldMs = 10000;

// What a key does; None for the keys the remote leaves alone.
enum class KeyAction {
  None,
  Next,
  Previous,
  PlayPause,
  Stop,
  VolumeUp,
  VolumeDown,
  Back,
  Forward,
  Mute
};

KeyAction ActionOfKey(const std::string& key);

class RemoteKeys : public KeyEvents, public KeyScreen {
 public:
  // `send` gives the phone one command: true when it answered "OK".
  using Send = std::function<bool(const std::string& command)>;
  // A call is going on: the screen stays down.
  using InCall = std::function<bool()>;

  RemoteKeys(
      Platform& os, HostWindow& host, const BuiltInMenus& menus, Send send,
      InCall inCall = [] { return false; })
      : os_(os), host_(host), menus_(menus), send_(std::move(send)), inCall_(std::move(inCall)) {}

  void KeyChanged(const KeyReport& key) override;
  bool NextDue(std::uint32_t* dueMs) const override;
  void ClockReached(std::uint32_t nowMs) override;
  bool ScreenUp() const override { return up_; }
  void KeysForgotten() override;

  bool OpenedBy(const MenuItem& item) const override {
    return menus_.IsMainItem(item, MainEntry::kRemoteKeys);
  }
  const char* Open(const std::function<bool()>& putUp) override;
  void Close() override;
  bool Up() const override { return up_; }

  // For tests.
  bool up() const { return up_; }
  bool holding() const { return held_ != KeyAction::None; }

 private:
  void Act(KeyAction action);
  void StepVolume(int steps);

  Platform& os_;
  HostWindow& host_;
  const BuiltInMenus& menus_;
  Send send_;
  InCall inCall_;
  bool up_ = false;                    // the screen is up and keys are reported
  KeyAction held_ = KeyAction::None;   // a repeating key pressed and not released
  std::string heldKey_;                // ... as the phone names it
  std::uint32_t dueMs_ = 0;            // ... acts again then
  std::uint32_t pressedMs_ = 0;        // ... was pressed then
  bool muted_ = false;                 // the mute key set the volume to 0
  std::int32_t volumeBeforeMute_ = 0;  // ... and this comes back
};

}  // namespace quillet
