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
  // The answer is another module's word: read only what the OS says can be
  // read, so a stale or made-up address yields no title instead of a fault.
  const std::size_t readable =
      MayBeTitle(result) ? os_.ReadableBytes(static_cast<std::uintptr_t>(result), kLongestTitle)
                         : 0;
  if (readable == 0) {
    *title = std::string_view();
    return false;
  }
  const char* text = reinterpret_cast<const char*>(result);
  *title = std::string_view(text, strnlen(text, readable));
  return true;
}

}  // namespace quillet
