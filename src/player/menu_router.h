#pragma once
// Which record serves a menu id: a built-in one refreshed from the player, or
// one that another plug-in in the host supplies through the registered
// messages. Keeps the menu being served and the translation of the supplier's
// ids. Runs on the monitor thread only.

#include <cstdint>

#include "menus/menu_source.h"
#include "player/host_window.h"
#include "player/menu_messages.h"
#include "player/player_menus.h"

namespace quillet {

class MenuRouter : public MenuSource {
 public:
  // `pluginMenus` 0: other plug-ins are asked for the main menu first.
  MenuRouter(HostWindow& host, PlayerMenus& player, const MenuMessageIds& messages,
             std::int32_t pluginMenus)
      : host_(host), player_(player), messages_(messages), pluginMenus_(pluginMenus) {}

  Menu* CurrentMenu() override { return current_; }
  void OpenMenu(std::int32_t id) override;
  void CloseMenu() override;
  void ReopenMenu() override;
  std::int32_t GlobalId(std::int32_t id) const override;
  void ApplyValue(std::int32_t id, std::int32_t value) override;
  void PostCommand(std::int32_t window, std::int32_t id) override;

  void NotifyValueChanged(std::int32_t id, std::int32_t value);
  std::int32_t idOffset() const { return idOffset_; }

 private:
  // The record another plug-in supplies for `id`, or null below `threshold`.
  Menu* LoadMenu(std::int32_t id, std::uintptr_t threshold);
  // Gives a supplied record its id back and tells its owner it is closed;
  // returns that id.
  std::int32_t TellClosed(Menu* menu);

  HostWindow& host_;
  PlayerMenus& player_;
  MenuMessageIds messages_;
  std::int32_t pluginMenus_;
  Menu* current_ = nullptr;
  std::int32_t idOffset_ = 0;
};

}  // namespace quillet
