#include "player/host_window.h"

#include <cstring>

#include "menus/phone_text.h"
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

bool HostWindow::EntryFile(std::int32_t position, std::u16string* file) {
  return ReadUtf16(host::kEntryFileUnicode, position, kLongestInsertPath, file);
}

bool HostWindow::ReadUtf16(std::intptr_t request, std::int32_t position, std::size_t longest,
                           std::u16string* text) {
  const auto result =
      static_cast<std::uintptr_t>(Request(static_cast<std::uintptr_t>(position), request));
  // Any address from 64 KiB up may hold the text; what the OS can read of
  // it decides.
  const std::size_t readable = result < static_cast<std::uintptr_t>(kFirstTitleAddress)
                                   ? 0
                                   : os_.ReadableBytes(result, longest * sizeof(char16_t));
  const std::size_t most = readable / sizeof(char16_t);
  if (most == 0) return false;
  text->clear();
  const auto* bytes = reinterpret_cast<const unsigned char*>(result);
  for (std::size_t i = 0; i < most; ++i) {
    char16_t unit = 0;
    std::memcpy(&unit, bytes + i * sizeof unit, sizeof unit);  // may be unaligned
    if (unit == 0) break;
    *text += unit;
  }
  return true;
}

bool HostWindow::EntryTitleUtf16(std::int32_t position, std::u32string* title) {
  std::u16string units;
  if (!ReadUtf16(host::kEntryTitleUnicode, position, kLongestTitle, &units)) return false;
  // Cut at the limit: a pair's first half alone is no character.
  if (units.size() == kLongestTitle && units.back() >= 0xD800 && units.back() <= 0xDBFF)
    units.pop_back();
  *title = FromUtf16(units);
  return true;
}

bool HostWindow::EntryTitleUnicode(std::int32_t position, std::u32string* title) {
  if (EntryTitleUtf16(position, title)) return true;
  std::string_view ansi;
  if (!EntryTitle(position, &ansi)) {
    title->clear();
    return false;
  }
  *title = FromUtf16(os_.AnsiToUnicode(ansi));
  return true;
}

}  // namespace quillet
