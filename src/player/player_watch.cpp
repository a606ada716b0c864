#include "player/player_watch.h"

#include "platform/host_messages.h"

namespace quillet {
namespace {

constexpr std::uint32_t kWmSysCommand = 0x0112;
// Told to the player's window (WM_USER, by lParam).
constexpr std::intptr_t kMiscChange = 603;  // posted; wParam says what
constexpr std::intptr_t kPlayingFile = 3003;
constexpr std::intptr_t kPlayingFileUnicode = 13003;
constexpr std::intptr_t kPlaylistModified = 3002;
// The only commands that flip repeat and shuffle; no notice follows them.
constexpr std::uint32_t kToggleRepeat = 40022;
constexpr std::uint32_t kToggleShuffle = 40023;

// The kinds of 603 that change what the main menu shows: title, volume,
// status, rating, pause and unpause.
bool ShownChange(std::uintptr_t kind) {
  switch (kind) {
    case 0:
    case 1:
    case 2:
    case 6:
    case 7:
    case 8:
      return true;
    default:
      return false;
  }
}

std::uint32_t ChangeOf(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == host::kWmUser) {
    if (lParam == kMiscChange) return ShownChange(wParam) ? PlayerWatch::kPlayer : 0;
    if (lParam == kPlayingFile || lParam == kPlayingFileUnicode) return PlayerWatch::kPlayer;
    if (lParam == kPlaylistModified) return PlayerWatch::kPlaylist;
    return 0;
  }
  if (msg == host::kWmCommand || msg == kWmSysCommand) {
    const std::uint32_t command = static_cast<std::uint32_t>(wParam) & 0xFFFF;
    if (command == kToggleRepeat || command == kToggleShuffle) return PlayerWatch::kPlayer;
  }
  return 0;
}

}  // namespace

void PlayerWatch::AnswerNextOnce(std::int32_t entry, std::u16string file) {
  nextArmed_ = false;
  nextEntry_ = entry;
  nextFile_ = std::move(file);
  nextArmed_ = true;
}

bool PlayerWatch::Answer(std::uint32_t msg, std::uintptr_t, std::intptr_t lParam,
                         std::intptr_t* result) {
  if (msg != host::kWmUser || lParam != host::kNextItem || !nextArmed_.exchange(false))
    return false;
  // The playlist may have changed since: only the entry that still holds
  // the file is answered, and either way the answer is given up.
  std::u16string file;
  if (!readFile_ || !readFile_(nextEntry_, &file) || file != nextFile_) return false;
  *result = nextEntry_;
  return true;
}

void PlayerWatch::Seen(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  const std::uint32_t change = ChangeOf(msg, wParam, lParam);
  if (change == 0) return;
  changes_.fetch_or(change);
  const Handle wake = wakeEvent_;
  if (wake != kNoHandle) os_.SetEvent(wake);
}

}  // namespace quillet
