#pragma once
// How the menu protocol reaches the menu router and the player: which
// record is being served, opening and closing menus, and applying values.
// The player side implements it; the protocol never includes the player.

#include <cstdint>
#include <string>

#include "menus/menu_record.h"

namespace quillet {

// The menu id the phone's accessory menu asks for.
constexpr std::int32_t kMainMenuRequestId = QUILLET_MAIN_MENU_ID;
// Ids from here on inside a supplied record belong to the plug-in that
// supplied it, and are translated before use.
constexpr std::int32_t kFirstSuppliedId = 1000;

class MenuSource {
 public:
  virtual ~MenuSource() = default;
  // The record being served, or null.
  virtual Menu* CurrentMenu() = 0;
  // Closes the current menu and makes the menu for `id` current (or none).
  virtual void OpenMenu(std::int32_t id) = 0;
  // The user opened the accessory menu on the phone: its main menu.
  virtual void OpenAccessoryMenu() { OpenMenu(kMainMenuRequestId); }
  virtual void CloseMenu() = 0;
  // Closes the current menu and opens its own id again, refreshed.
  virtual void ReopenMenu() = 0;
  // A supplied menu's id as the menu router knows it.
  virtual std::int32_t GlobalId(std::int32_t id) const = 0;
  // The menu that going back from `menu` opens; 0 leaves the menus.
  virtual std::int32_t BackId(const Menu& menu) const { return GlobalId(menu.parent); }
  // The user set a value on the phone: the player acts on it, or the plug-in
  // that owns the id is told.
  virtual void ApplyValue(std::int32_t id, std::int32_t value) = 0;
  // Posts WM_COMMAND `id` to `window`, or to the player's window when 0.
  virtual void PostCommand(std::int32_t window, std::int32_t id) = 0;

  // An entry that shows its item's name alone: a Text item that asks for a
  // new text each time rather than showing the one it holds.
  virtual bool NameOnly(const MenuItem&) const { return false; }
  // A menu being filled in steps between the phone's lines (a search):
  // nothing is shown until it is ready, and any new code from the phone
  // drops it.
  virtual bool Filling() const { return false; }
  // One step of filling it: true once it is current and ready to show.
  virtual bool FillStep() { return false; }
  virtual void StopFilling() {}

  // The phone shows what was just sent (a page, a notice, or nothing of
  // ours once the menus were left): a refused page goes back to it.
  virtual void PageTaken() {}
  // The phone refused the page just sent and still shows the one before:
  // the current record and the state its pages are built from go back to
  // what they were when that one was taken.
  virtual void PageRefused() {}
  // The text typed for `item` as the phone sent it, in Unicode (only with a
  // Charset): the item's buffer gets what the code page makes of it.
  virtual void TextTyped(const MenuItem& /*item*/, const std::u32string& /*text*/) {}
};

}  // namespace quillet
