#pragma once
// The four messages through which other plug-ins in the host supply menus.

#include <cstdint>

#include "platform/platform.h"

namespace quillet {

struct MenuMessageIds {
  std::intptr_t queryMenu = 0;
  std::intptr_t loadMenu = 0;
  std::intptr_t valueChanged = 0;
  std::intptr_t menuClosed = 0;
};

extern const char kQueryMenuName[];
extern const char kLoadMenuName[];
extern const char kValueChangedName[];
extern const char kMenuClosedName[];

// Registers the names with the host, in this order, and keeps the ids.
MenuMessageIds RegisterMenuMessages(Platform& os, Handle hostWindow);

}  // namespace quillet
