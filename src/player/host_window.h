#pragma once
// The player's main window as the menus use it: requests that return the
// player's state, commands that act like its buttons, and the registered
// messages of the menu exchange. Every send blocks until the player's window
// thread has handled it.

#include <cstdint>
#include <string>
#include <string_view>

#include "menus/label_limits.h"
#include "platform/library_calls.h"
#include "platform/platform.h"

namespace quillet {

// Where a result of the player stops being a number and may be an address.
// The lowest 64 KiB of a Windows process are never mapped, so anything below
// is a count, an error or "nobody answered".
//
// A title: from here on, taken unsigned, as a player with more than 2 GB of
// address space hands out titles from 0x80000000 up; -1 and the like are
// never readable memory, which the readable-memory check finds.
constexpr std::uintptr_t kFirstTitleAddress = 65536;
// A supplied main menu: from here on, taken unsigned.
constexpr std::uintptr_t kFirstMainMenuAddress = 65536;
// Any other supplied menu: one higher. The exchange has always accepted 65536
// itself only for the main menu, and a supplier may answer it for "no menu"
// elsewhere, so the bound stays where suppliers expect it.
constexpr std::uintptr_t kFirstMenuAddress = kFirstMainMenuAddress + 1;

// The player's play states.
constexpr std::int32_t kStopped = 0;
constexpr std::int32_t kPlaying = 1;
constexpr std::int32_t kPaused = 3;

// A title request's result that may be a title's address, for the
// readable-memory check to decide.
constexpr bool MayBeTitle(std::intptr_t result) {
  return static_cast<std::uintptr_t>(result) >= kFirstTitleAddress;
}

class HostWindow {
 public:
  HostWindow(Platform& os, Handle window) : os_(os), window_(window) {}

  // WM_USER with `lParam` selecting the request.
  std::intptr_t Request(std::uintptr_t wParam, std::intptr_t lParam);
  // WM_COMMAND sent, so it has acted when this returns.
  void Command(std::uintptr_t id);
  // WM_COMMAND posted to `target`, or to the player's window when 0.
  void PostCommand(std::uintptr_t target, std::uintptr_t id);
  // The title of a playlist entry, at most kLongestTitle characters, read
  // in place and never past readable memory; false when the player has none
  // for it (no address came back, or one where nothing can be read).
  bool EntryTitle(std::int32_t position, std::string_view* title);
  // The same title in Unicode, asked for only with a Charset set: from the
  // UTF-16 request when the player answers it with readable memory (at most
  // kLongestTitle units, never half a surrogate pair), else from the ANSI
  // one through the code page. False when neither gives a title.
  bool EntryTitleUnicode(std::int32_t position, std::u32string* title);
  // The UTF-16 request alone: false when the player gives no readable
  // answer to it.
  bool EntryTitleUtf16(std::int32_t position, std::u32string* title);
  // The entry's file, as the UTF-16 request gives it (at most
  // kLongestInsertPath units); false without a readable answer.
  bool EntryFile(std::int32_t position, std::u16string* file);

  Handle window() const { return window_; }

 private:
  // A UTF-16 text the player answers `request` with, at most `longest`
  // units, read no further than readable memory.
  bool ReadUtf16(std::intptr_t request, std::int32_t position, std::size_t longest,
                 std::u16string* text);

  Platform& os_;
  Handle window_;
};

}  // namespace quillet
