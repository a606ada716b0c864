#include "player/menu_messages.h"

#include "platform/host_messages.h"

namespace quillet {

// Static storage: the host may keep the address it was handed.
const char kQueryMenuName[] = "Quillet_QueryMenu";
const char kLoadMenuName[] = "Quillet_LoadMenu";
const char kValueChangedName[] = "Quillet_ValueChanged";
const char kMenuClosedName[] = "Quillet_MenuClosed";

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
