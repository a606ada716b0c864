#include "player/host_window.h"

#include <cstring>

#include "platform/host_messages.h"

namespace quillet {

std::intptr_t HostWindow::Request(std::uintptr_t wParam, std::intptr_t lParam) {
  return os_.SendHostMessage(window_, host::kWmUser, wParam, lParam);
}

void HostWindow::Command(std::uintptr_t id) {
  os_.SendHostMessage(window_, host::kWmCommand, id, 0);
}

void HostWindow::PostCommand(std::uintptr_t target, std::uintptr_t id) {
  os_.PostHostMessage(target != 0 ? target : window_, host::kWmCommand, id, 0);
}

bool HostWindow::EntryTitle(std::int32_t position, std::string_view* title) {
  const std::intptr_t result = Request(static_cast<std::uintptr_t>(position), host::kEntryTitle);
  if (result < kFirstTitleAddress) {
    *title = std::string_view();
    return false;
  }
  const char* text = reinterpret_cast<const char*>(result);
  *title = std::string_view(text, strnlen(text, kLongestTitle));
  return true;
}

}  // namespace quillet
