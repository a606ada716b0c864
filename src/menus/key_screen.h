#pragma once
// The screen on which the phone's keys drive the player: one entry of the
// main menu puts it up, and the end of its dialog takes it down. The player
// side implements it; the protocol only opens and closes it.

#include "menus/menu_record.h"

namespace quillet {

// The entry's name, and the title of the screen and of its notices.
constexpr char kKeyScreenTitle[] = "Remote keys";

class KeyScreen {
 public:
  virtual ~KeyScreen() = default;
  // The entry that opens the screen: this very item, not one that looks alike.
  virtual bool OpenedBy(const MenuItem& item) const = 0;
  // With the screen up, turns the phone's key reports on; false when the
  // phone refused.
  virtual bool Open() = 0;
  // The screen's dialog ended: key reports go off again if they were on.
  virtual void Close() = 0;
};

}  // namespace quillet
