#include "player/menu_router.h"

#include "menus/menu_items.h"
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

void MenuRouter::OfferMainMenus(Menu* supplied) {
  chooser_ = Menu{};
  chooser_.id = kMenuChooserId;
  chooser_.count = 2;
  chooser_.items = chooserItems_;
  SetFieldText(chooser_.title, kMenuChooserTitle);
  chooserItems_[0] = MenuItem{};
  SetFieldText(chooserItems_[0].name, kMainMenuTitle);
  chooserItems_[0].kind = kSubmenu;
  chooserItems_[0].id = kMainMenuId;
  chooserItems_[1] = MenuItem{};
  SetFieldText(chooserItems_[1].name, FieldText(supplied->title));
  chooserItems_[1].kind = kSubmenu;
  chooserItems_[1].id = kChosenMainMenuId;
  // Asked for again when chosen: until then the owner keeps it, as after
  // any menu of its own that is left.
  if (supplied->id >= kFirstSuppliedId) {
    idOffset_ = WrapSub(kMainMenuRequestId, supplied->id);
    TellClosed(supplied);
  }
  choosing_ = true;
  current_ = &chooser_;
  idOffset_ = 0;
}

Menu* MenuRouter::ChooserMenu(std::int32_t id) {
  if (!choosing_) return nullptr;
  if (id == kMenuChooserId) {
    idOffset_ = 0;
    return &chooser_;
  }
  if (id != kChosenMainMenuId) return nullptr;
  if (Menu* supplied = LoadMenu(kMainMenuRequestId, kFirstMainMenuAddress)) {
    idOffset_ = WrapSub(kMainMenuRequestId, supplied->id);
    return supplied;
  }
  // Its plug-in no longer answers: the built-in main menu stands in.
  Menu* builtIn = player_.BuiltInMenu(kMainMenuId);
  if (builtIn) idOffset_ = WrapSub(kMainMenuId, builtIn->id);
  return builtIn;
}

void MenuRouter::OpenAccessoryMenu() {
  choosing_ = false;
  OpenMenu(kMainMenuRequestId);
}

void MenuRouter::OpenMenu(std::int32_t id) {
  if (current_) CloseMenu();
  if (finder_ != nullptr) {
    if (finder_->Serves(id)) {
      current_ = finder_->Page(id);
      idOffset_ = 0;
      return;
    }
    finder_->Leave();
  }
  if (library_ != nullptr) {
    if (library_->Serves(id)) {
      current_ = library_->Page(id);
      idOffset_ = 0;
      return;
    }
    library_->Leave();
  }
  // Inside the menus chosen on the "Menus" page, the main menu's id (a
  // supplied sub-menu's parent, a reopening) is the supplied main menu.
  if (id == kMainMenuRequestId && choosing_) id = kChosenMainMenuId;
  if (id == kMainMenuRequestId) {
    const std::int32_t mode = pluginMenus_;
    if (mode == kPluginMenusSupplied || mode == kPluginMenusChoose) {
      if (Menu* supplied = LoadMenu(id, kFirstMainMenuAddress)) {
        if (mode == kPluginMenusChoose) {
          OfferMainMenus(supplied);
          return;
        }
        current_ = supplied;
        idOffset_ = WrapSub(id, supplied->id);
        return;
      }
    }
    id = kMainMenuId;
  }
  if (Menu* chosen = ChooserMenu(id)) {
    current_ = chosen;
    return;
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

std::int32_t MenuRouter::BackId(const Menu& menu) const {
  const std::int32_t parent = GlobalId(menu.parent);
  if (parent == 0 && choosing_ && &menu != &chooser_) return kMenuChooserId;
  return parent;
}

void MenuRouter::NotifyValueChanged(std::int32_t id, std::int32_t value) {
  ValueChange change{GlobalId(id), value};
  host_.Request(reinterpret_cast<std::uintptr_t>(&change), messages_.valueChanged);
}

bool MenuRouter::NameOnly(const MenuItem& item) const {
  return (finder_ != nullptr && finder_->IsEntry(item)) ||
         (library_ != nullptr && library_->IsSearchEntry(item));
}

bool MenuRouter::FillStep() {
  if (finder_ == nullptr || !finder_->Step()) return false;
  if (current_) CloseMenu();
  current_ = finder_->page();
  idOffset_ = 0;
  return true;
}

void MenuRouter::PageTaken() {
  shown_ = current_;
  shownOffset_ = idOffset_;
  shownSupplied_ = current_ != nullptr && current_->id >= kFirstSuppliedId;
  if (finder_ != nullptr) finder_->Taken(current_ != nullptr && current_ == finder_->page());
  player_.playlist().Taken(current_);
  if (library_ != nullptr) library_->Taken(library_->Owns(current_));
}

void MenuRouter::PageRefused() {
  if (finder_ != nullptr) finder_->Refused();
  player_.playlist().Refused();
  if (library_ != nullptr) library_->Refused();
  // A supplied record left behind was handed back to its owner, who may
  // have let it go: the new record stays.
  if (current_ == shown_ || shown_ == nullptr || shownSupplied_) return;
  CloseMenu();
  current_ = shown_;
  idOffset_ = shownOffset_;
}

void MenuRouter::TextTyped(const MenuItem& item, const std::u32string& text) {
  if (finder_ != nullptr && finder_->IsEntry(item)) finder_->Typed(text);
  if (library_ != nullptr && library_->IsSearchEntry(item)) library_->Typed(text);
}

void MenuRouter::ApplyValue(std::int32_t id, std::int32_t value) {
  // The main menu's own entry; the same id elsewhere is its menu's owner's.
  if (id == kFindTrackId && finder_ != nullptr && current_ != nullptr && current_->selection >= 0 &&
      current_->selection < ItemCount(*current_) &&
      finder_->IsEntry(current_->items[current_->selection])) {
    finder_->Ask();
    return;
  }
  if (id == kLibrarySearchId && library_ != nullptr && current_ != nullptr &&
      current_->selection >= 0 && current_->selection < ItemCount(*current_) &&
      library_->IsSearchEntry(current_->items[current_->selection])) {
    if (Menu* found = library_->Search()) {
      current_ = found;
      idOffset_ = 0;
    }
    return;
  }
  std::int32_t opens = 0;
  switch (player_.ApplyValue(id, value, &opens)) {
    case ValueOutcome::kAppliedReopen:
      ReopenMenu();
      break;
    case ValueOutcome::kOpens:
      OpenMenu(opens);
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
