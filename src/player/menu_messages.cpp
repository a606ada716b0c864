#include "player/menu_messages.h"

#include "platform/host_messages.h"
#include "quillet_menus.h"

namespace quillet {

// Static storage: the host may keep the address it was handed.
const char kQueryMenuName[] = QUILLET_QUERY_MENU;
const char kLoadMenuName[] = QUILLET_LOAD_MENU;
const char kValueChangedName[] = QUILLET_VALUE_CHANGED;
const char kMenuClosedName[] = QUILLET_MENU_CLOSED;

static_assert(host::kRegisterName == QUILLET_REGISTER_NAME, "the registration request");

namespace {

std::intptr_t Register(Platform& os, Handle hostWindow, const char* name) {
  return os.SendHostMessage(hostWindow, host::kWmUser, reinterpret_cast<std::uintptr_t>(name),
                            host::kRegisterName);
}

}  // namespace

MenuMessageIds RegisterMenuMessages(Platform& os, Handle hostWindow) {
  MenuMessageIds ids;
  ids.queryMenu = Register(os, hostWindow, kQueryMenuName);
  ids.loadMenu = Register(os, hostWindow, kLoadMenuName);
  ids.valueChanged = Register(os, hostWindow, kValueChangedName);
  ids.menuClosed = Register(os, hostWindow, kMenuClosedName);
  return ids;
}

}  // namespace quillet
