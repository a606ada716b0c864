#pragma once
// The menu records. Other plug-ins in the host build them in their own memory
// and hand over their addresses, so the layout is binding on the 32-bit
// platform; it is written once, in the public header.

#include <cstddef>
#include <cstdint>

#include "quillet_menus.h"

namespace quillet {

constexpr std::size_t kFieldSize = QUILLET_FIELD_SIZE;  // name, title and prompt, NUL included

enum ItemKind : std::int32_t {
  kCommand = QUILLET_COMMAND,
  kSubmenu = QUILLET_SUBMENU,
  kLevel = QUILLET_LEVEL,
  kChoice = QUILLET_CHOICE,
  kSwitch = QUILLET_SWITCH,
  kNumber = QUILLET_NUMBER,
  kText = QUILLET_TEXT,
};

// What follows a Command item once its command is posted (its `value`); any
// other value goes back to the parent menu.
constexpr std::int32_t kAfterShowAgain = QUILLET_AFTER_SHOW_AGAIN;
constexpr std::int32_t kAfterReopen = QUILLET_AFTER_REOPEN;
constexpr std::int32_t kAfterNothing = QUILLET_AFTER_NOTHING;

// The records as other plug-ins build them, from the header they compile
// against, which checks their layout where pointers are 4 bytes.
using MenuItem = QuilletMenuItem;
using Menu = QuilletMenu;
using ValueChange = QuilletValueChange;

}  // namespace quillet
