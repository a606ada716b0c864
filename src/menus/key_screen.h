#pragma once
// The screen on which the phone's keys drive the player: one entry of the
// main menu puts it up, and the end of its dialog takes it down. The player
// side implements it; the protocol only opens and closes it.

#include <functional>

#include "menus/menu_record.h"

namespace quillet {

// The entry's name, and the title of the screen and of its notices.
constexpr char kKeyScreenTitle[] = "Remote keys";
// Why the screen did not come up, said in a notice under the title.
constexpr char kNoKeysText[] = "This phone does not report its keys.";
constexpr char kInCallText[] = "Not during a call.";

class KeyScreen {
 public:
  virtual ~KeyScreen() = default;
  // The entry that opens the screen: this very item, not one that looks alike.
  virtual bool OpenedBy(const MenuItem& item) const = 0;
  // Puts the screen up with `putUp` and turns the phone's key reports on:
  // null, or why it could not (the phone refused either, or a call is going
  // on, and then nothing is put up).
  virtual const char* Open(const std::function<bool()>& putUp) = 0;
  // The screen's dialog ended: key reports go off again if they were on.
  virtual void Close() = 0;
  // The screen is up and the keys act.
  virtual bool Up() const = 0;
};

}  // namespace quillet
