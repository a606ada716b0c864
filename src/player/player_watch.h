#pragma once
// What the player's window is told of its own changes, noted as it passes
// through the window's subclass on the player's thread, for the monitor
// thread to act on: a flag, then the wake event.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace quillet {

class PlayerWatch : public WindowWatcher {
 public:
  // What changed, a bit each.
  static constexpr std::uint32_t kPlayer = 1;    // title, status, volume, playing file, modes
  static constexpr std::uint32_t kPlaylist = 2;  // the playlist: comes in bursts

  // `wakeEvent` is read at each message: the link's, once it has one.
  PlayerWatch(Platform& os, const Handle& wakeEvent) : os_(os), wakeEvent_(wakeEvent) {}

  void Seen(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;

  // How the file of a playlist entry is read, on the player's thread.
  using FileReader = std::function<bool(std::int32_t entry, std::u16string* file)>;
  void ReadFilesWith(FileReader read) { readFile_ = std::move(read); }
  // Player's thread: the player's next question (which entry plays next)
  // is answered once with `entry`, as long as it still holds `file`; with
  // shuffle on the player would choose another.
  void AnswerNextOnce(std::int32_t entry, std::u16string file);
  bool Answer(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
              std::intptr_t* result) override;
  // Monitor thread: what changed since the last call. Read after the wake
  // event was reset, so a change noted meanwhile wakes the next wait.
  std::uint32_t Take() { return changes_.exchange(0); }

 private:
  Platform& os_;
  const Handle& wakeEvent_;
  std::atomic<std::uint32_t> changes_{0};
  // The one answer to give, written before it is armed.
  FileReader readFile_;
  std::int32_t nextEntry_ = -1;
  std::u16string nextFile_;
  std::atomic<bool> nextArmed_{false};
};

}  // namespace quillet
