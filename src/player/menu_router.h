#pragma once
// Which record serves a menu id: a built-in one refreshed from the player, or
// one that another plug-in in the host supplies through the registered
// messages. Keeps the menu being served and the translation of the supplier's
// ids. Runs on the monitor thread only.

#include <atomic>
#include <cstdint>

#include "menus/menu_source.h"
#include "player/host_window.h"
#include "player/library_pages.h"
#include "player/menu_messages.h"
#include "player/player_menus.h"
#include "player/track_finder.h"

namespace quillet {

// PluginMenus: which main menu the accessory menu opens.
constexpr std::int32_t kPluginMenusSupplied = 0;  // another plug-in's, when one supplies it
constexpr std::int32_t kPluginMenusChoose = 2;    // the user picks it on the "Menus" page
// Any other value: always the built-in one.

// The "Menus" page, and the supplied main menu as its entry opens it. Both
// mean that only while the page is in use; otherwise they are ids like any
// other unused one.
constexpr std::int32_t kMenuChooserId = 16;
constexpr std::int32_t kChosenMainMenuId = 17;
constexpr char kMenuChooserTitle[] = "Menus";

class MenuRouter : public MenuSource {
 public:
  // `pluginMenus` 0: other plug-ins are asked for the main menu first.
  MenuRouter(HostWindow& host, PlayerMenus& player, const MenuMessageIds& messages,
             std::int32_t pluginMenus)
      : host_(host), player_(player), messages_(messages), pluginMenus_(pluginMenus) {}

  Menu* CurrentMenu() override { return current_; }
  void OpenAccessoryMenu() override;
  void OpenMenu(std::int32_t id) override;
  void CloseMenu() override;
  void ReopenMenu() override;
  std::int32_t GlobalId(std::int32_t id) const override;
  // Back from a main menu chosen on the "Menus" page returns to the page.
  std::int32_t BackId(const Menu& menu) const override;
  void ApplyValue(std::int32_t id, std::int32_t value) override;
  void PostCommand(std::int32_t window, std::int32_t id) override;
  // The find-track entry and its pages, through the finder.
  bool NameOnly(const MenuItem& item) const override;
  bool Filling() const override { return finder_ != nullptr && finder_->Searching(); }
  bool FillStep() override;
  void StopFilling() override {
    if (finder_ != nullptr) finder_->Stop();
  }
  void UseFinder(TrackFinder* finder) { finder_ = finder; }
  void UseLibrary(LibraryPages* library) { library_ = library; }
  // The record shown stays current when the phone refuses what replaces it;
  // the finder and the playlist pages put back the state it was built from.
  void PageTaken() override;
  void PageRefused() override;
  void TextTyped(const MenuItem& item, const std::u32string& text) override;

  void NotifyValueChanged(std::int32_t id, std::int32_t value);
  std::int32_t idOffset() const { return idOffset_; }
  // Any thread: the next opening of the main menu follows it.
  void SetPluginMenus(std::int32_t mode) { pluginMenus_ = mode; }

 private:
  // The record another plug-in supplies for `id`, or null below `threshold`.
  Menu* LoadMenu(std::int32_t id, std::uintptr_t threshold);
  // Gives a supplied record its id back and tells its owner it is closed;
  // returns that id.
  std::int32_t TellClosed(Menu* menu);
  // With another plug-in's main menu `supplied` on offer, the "Menus" page
  // becomes current; its owner has the record back at once.
  void OfferMainMenus(Menu* supplied);
  // The record for `id` while the "Menus" page is in use, or null.
  Menu* ChooserMenu(std::int32_t id);

  HostWindow& host_;
  PlayerMenus& player_;
  MenuMessageIds messages_;
  // Set on the host's thread by the dialog; read at each opening.
  std::atomic<std::int32_t> pluginMenus_;
  TrackFinder* finder_ = nullptr;
  LibraryPages* library_ = nullptr;
  Menu* current_ = nullptr;
  std::int32_t idOffset_ = 0;
  // The record on the phone, and its id offset then.
  Menu* shown_ = nullptr;
  std::int32_t shownOffset_ = 0;
  bool shownSupplied_ = false;
  // The accessory menu was opened on the "Menus" page.
  bool choosing_ = false;
  Menu chooser_{};
  MenuItem chooserItems_[2]{};
};

}  // namespace quillet
