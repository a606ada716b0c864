#pragma once
// The menu records. Other plug-ins in the host build them in their own memory
// and hand over their addresses, so the layout is binding on the 32-bit
// platform: no gaps, the fields in this order, at these offsets.

#include <cstddef>
#include <cstdint>

#include "quillet_menus.h"

namespace quillet {

constexpr std::size_t kFieldSize = 40;  // name, title and prompt, NUL included

enum ItemKind : std::int32_t {
  kCommand = 0,
  kSubmenu = 1,
  kLevel = 2,
  kChoice = 3,
  kSwitch = 4,
  kNumber = 5,
  kText = 6,
};

// What follows a Command item once its command is posted (its `value`); any
// other value goes back to the parent menu.
constexpr std::int32_t kAfterShowAgain = 0;
constexpr std::int32_t kAfterReopen = 1;
constexpr std::int32_t kAfterNothing = 3;

// The records as other plug-ins build them, from the header they compile
// against; the layout is checked again here, field by field.
using MenuItem = QuilletMenuItem;
using Menu = QuilletMenu;
using ValueChange = QuilletValueChange;

// Checked where pointers are 4 bytes, as in the host.
constexpr bool kHostPointers = sizeof(void*) == 4;
static_assert(!kHostPointers || sizeof(MenuItem) == 104, "MenuItem is 104 bytes");
static_assert(!kHostPointers ||
                  (offsetof(MenuItem, kind) == 40 && offsetof(MenuItem, id) == 44 &&
                   offsetof(MenuItem, value) == 48 && offsetof(MenuItem, labels) == 52 &&
                   offsetof(MenuItem, prompt) == 56 && offsetof(MenuItem, minimum) == 96 &&
                   offsetof(MenuItem, maximum) == 100),
              "MenuItem field offsets");
static_assert(!kHostPointers || sizeof(Menu) == 64, "Menu is 64 bytes");
static_assert(!kHostPointers || (offsetof(Menu, count) == 4 && offsetof(Menu, selection) == 8 &&
                                 offsetof(Menu, id) == 12 && offsetof(Menu, parent) == 16 &&
                                 offsetof(Menu, title) == 20 && offsetof(Menu, text) == 60),
              "Menu field offsets");
static_assert(sizeof(ValueChange) == 8 && offsetof(ValueChange, value) == 4, "ValueChange");
static_assert(kFieldSize == QUILLET_FIELD_SIZE && int{kCommand} == int{QUILLET_COMMAND} &&
                  int{kText} == int{QUILLET_TEXT} && kAfterReopen == QUILLET_AFTER_REOPEN &&
                  kAfterNothing == QUILLET_AFTER_NOTHING,
              "the public header's constants");

}  // namespace quillet
