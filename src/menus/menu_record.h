#pragma once
// The menu records. Other plug-ins in the host build them in their own memory
// and hand over their addresses, so the layout is binding on the 32-bit
// platform: no gaps, the fields in this order, at these offsets.

#include <cstddef>
#include <cstdint>

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

struct MenuItem {
  char name[kFieldSize];
  std::int32_t kind;   // an ItemKind; any other value makes the item inert
  std::int32_t id;     // command, sub-menu or setting id
  std::int32_t value;  // current value, or a Command's after-action
  char* labels;        // Choice: the label list; Text: the text buffer
  char prompt[kFieldSize];
  std::int32_t minimum;  // Command: the target window, 0 for the host's
  std::int32_t maximum;  // Choice: labels offered; Text: buffer capacity
};

struct Menu {
  MenuItem* items;
  std::int32_t count;
  std::int32_t selection;
  std::int32_t id;
  std::int32_t parent;  // the menu that going back opens; 0 at the top
  char title[kFieldSize];
  char* text;  // the notice shown when there are no items
};

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

}  // namespace quillet
