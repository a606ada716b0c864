#include "player/menu_router.h"

#include "menus/wrap32.h"
#include "platform/host_messages.h"

namespace quillet {

Menu* MenuRouter::LoadMenu(std::int32_t id, std::uintptr_t threshold) {
  const auto address = static_cast<std::uintptr_t>(host_.Request(
      static_cast<std::uintptr_t>(static_cast<std::intptr_t>(id)), messages_.loadMenu));
  // The result is pointer-sized; an address is whatever lies at or above the
  // threshold, compared unsigned.
  return address >= threshold ? reinterpret_cast<Menu*>(address) : nullptr;
}

void MenuRouter::OpenMenu(std::int32_t id) {
  if (current_) CloseMenu();
  if (id == kMainMenuRequestId) {
    if (pluginMenus_ == 0) {
      if (Menu* supplied = LoadMenu(id, kFirstMainMenuAddress)) {
        current_ = supplied;
        idOffset_ = WrapSub(id, supplied->id);
        return;
      }
    }
    id = kMainMenuId;
  }
  current_ = player_.BuiltInMenu(id);
  if (!current_) current_ = LoadMenu(id, kFirstMenuAddress);
  if (!current_) return;
  idOffset_ = WrapSub(id, current_->id);
}

std::int32_t MenuRouter::TellClosed(Menu* menu) {
  const std::int32_t id = WrapAdd(menu->id, idOffset_);
  menu->id = id;
  host_.Request(reinterpret_cast<std::uintptr_t>(menu), messages_.menuClosed);
  // The record is its owner's again from here on.
  return id;
}

void MenuRouter::CloseMenu() {
  if (!current_) return;
  Menu* menu = current_;
  current_ = nullptr;
  if (menu->id >= kFirstSuppliedId) TellClosed(menu);
}

void MenuRouter::ReopenMenu() {
  if (!current_) return;
  Menu* menu = current_;
  current_ = nullptr;
  std::int32_t id = menu->id;
  if (id >= kFirstSuppliedId) id = TellClosed(menu);
  OpenMenu(id);
}

std::int32_t MenuRouter::GlobalId(std::int32_t id) const {
  return id < kFirstSuppliedId ? id : WrapAdd(id, idOffset_);
}

void MenuRouter::NotifyValueChanged(std::int32_t id, std::int32_t value) {
  ValueChange change{GlobalId(id), value};
  host_.Request(reinterpret_cast<std::uintptr_t>(&change), messages_.valueChanged);
}

void MenuRouter::ApplyValue(std::int32_t id, std::int32_t value) {
  switch (player_.ApplyValue(id, value)) {
    case ValueOutcome::kAppliedReopen:
      ReopenMenu();
      break;
    case ValueOutcome::kApplied:
      break;
    case ValueOutcome::kNotPlayers:
      NotifyValueChanged(id, value);
      break;
  }
}

void MenuRouter::PostCommand(std::int32_t window, std::int32_t id) {
  host_.PostCommand(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(window)),
                    static_cast<std::uintptr_t>(static_cast<std::uint32_t>(id)));
}

}  // namespace quillet
