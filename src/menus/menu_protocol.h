#pragma once
// The accessory-menu protocol with the phone: showing the current menu a
// page at a time, and turning the phone's codes into menu actions. Runs on
// the monitor thread only, so its paging state needs no lock.
//
// Implemented in menu_protocol_pages.cpp (showing a menu a page at a time),
// menu_protocol_choices.cpp (a chosen entry: paging, commands, sub-menus,
// going back, and the input dialogs they open) and menu_protocol_answers.cpp
// (the dialogs' answers). What goes on the wire is the dialect's: the older
// commands unless the connection picked another.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/phone_handlers.h"
#include "menus/command_sender.h"
#include "menus/key_screen.h"
#include "menus/label_limits.h"
#include "menus/menu_dialect.h"
#include "menus/menu_record.h"
#include "menus/menu_source.h"
#include "menus/menu_texts.h"
#include "menus/older_dialect.h"

namespace quillet {

// The entries of one page, taken together, stay under this many characters
// ("<<" and ">>" come on top).
constexpr std::size_t kPageBudget = 200;
// The entries that page a long list: a menu that pages itself uses them too,
// so the phone shows one way of paging.
constexpr char kPreviousPageEntry[] = "<<";
constexpr char kNextPageEntry[] = ">>";

class MenuProtocol : public MenuHandlers, public MenuEvents {
 public:
  // What of ours the phone shows, as far as its answers tell.
  enum class Screen { kNothing, kList, kNotice, kDialog, kKeyScreen };

  // `send` gives the phone one older command and returns once it has
  // answered. With `texts`, what is sent goes through it (a Charset is set);
  // without, every text goes out as the record holds it.
  MenuProtocol(MenuSource& source, CommandSender send, const MenuTexts* texts = nullptr)
      : source_(source), older_(std::move(send)), texts_(texts) {}
  void UseTexts(const MenuTexts* texts) { texts_ = texts; }
  // Asked before each thing sent: the connection's dialect, null for the
  // older commands.
  void UseDialects(std::function<MenuDialect*()> pick) { pick_ = std::move(pick); }

  // The remote-keys screen, when the user wants it; null leaves every entry
  // as it was.
  void SetKeyScreen(KeyScreen* screen) { keyScreen_ = screen; }

  void MenuActivated() override;
  void ChooseEntry(int entry) override;
  // An older "*EAII" answer, read for the item its dialog belongs to.
  void HandleAnswer(const std::string& answer) override;
  void Answered(const DialogAnswer& answer) override;
  void Cancelled() override;
  // A menu being filled: one step, and its page once it is ready.
  bool WorkPending() const override { return source_.Filling(); }
  void DoWork() override;
  void ConnectionEnded() override {
    source_.StopFilling();
    screen_ = Screen::kNothing;
  }
  bool AwaitingUser() const override {
    return screen_ == Screen::kDialog || screen_ == Screen::kKeyScreen;
  }
  Screen screen() const { return screen_; }
  // The record whose page or notice the phone took last; null after nothing.
  const Menu* shownRecord() const { return shownRecord_; }
  // A call came while the key screen may be up: it ends as its dialog's
  // dismissal would end it, so no key typed in the call reaches the player.
  void EndKeyScreen();

  // Puts the current menu on the phone: a page of its entries, or a notice.
  void ShowMenu();
  // The entries of the current menu from item `first` on, as many as fit the
  // page budget (at least one); `end` gets the index of the first not taken.
  std::string BuildEntries(std::int32_t first, std::int32_t* end) const;
  // The same, an entry each, quoted for the phone.
  std::vector<std::string> PageEntries(std::int32_t first, std::int32_t* end) const;

  // Leaves the current menu for its parent, or for nothing at the top.
  void GoBack();

  // What sending the list on the phone again did.
  enum class Refresh { kSent, kUnchanged, kNotSent };
  // The list on the phone again, its record reopened so that its entries
  // read afresh: sent, with the same entry selected, only when an entry
  // reads differently and the page starts and ends at the same items.
  Refresh RefreshList();
  // The phone said the user left the accessory menu (a bare "*EAII") and
  // has sent no code about the menus since.
  bool leftByPhone() const { return leftByPhone_; }
  // The codes about the menus the phone has sent, counted.
  std::uint32_t codesHeard() const { return codesHeard_; }

  // Entry number + pageBase = item index, for the last page sent.
  std::int32_t pageBase() const { return pageBase_; }
  std::int32_t pageEnd() const { return pageEnd_; }
  bool pageHasPrevious() const { return pageHasPrevious_; }
  // Entries of the last list sent, "<<" and ">>" included; 0 once a notice
  // or nothing has been shown since.
  std::int32_t pageEntries() const { return listShown_ ? pageEntries_ : 0; }

 private:
  // A page of `menu` around its selection, and where it starts and ends.
  struct PageLayout {
    MenuPage page;
    std::int32_t start = 0;  // the first item on it
    std::int32_t end = 0;    // the first item after it
    std::int32_t base = 0;   // entry number + base = item index
  };
  PageLayout LayOutPage(const Menu& menu) const;
  // Puts the page on the phone; true once the phone took it.
  bool SendPage(const Menu& menu, PageLayout layout);
  void Heard() {
    ++codesHeard_;
    leftByPhone_ = false;
  }
  // Sends the input dialog that fits the item's kind.
  void OpenDialog(const MenuItem& item);
  void RunCommand(const MenuItem& item);
  void StoreText(MenuItem& item, const std::string& text);
  // What was just sent is on the phone (`menu`: the record shown, if any).
  void Taken(const Menu* menu);
  // The page just sent was refused: the one before stays, and so does
  // everything its entries mean.
  void KeepShownPage();
  MenuDialect& Dialect();
  // A quoted parameter from a record's text: as it stands, or in the
  // phone's set. `place` says which field or buffer the text came from.
  std::string Quote(const TextPlace& place, std::string_view ansi) const;
  // The text an entry shows for item `index` of `menu`, quoted for the phone.
  std::string EntryText(const Menu& menu, std::int32_t index) const;
  std::string PageTitle(const Menu& menu) const;

  bool OpensKeyScreen(const MenuItem& item) const {
    return keyScreen_ != nullptr && keyScreen_->OpenedBy(item);
  }
  void OpenKeyScreen(const Menu& menu);

  MenuSource& source_;
  OlderDialect older_;
  std::function<MenuDialect*()> pick_;
  const MenuTexts* texts_;
  KeyScreen* keyScreen_ = nullptr;
  // The paging state describes the page the phone shows: it changes only
  // once the phone has taken a page.
  std::int32_t pageBase_ = 0;
  std::int32_t pageEnd_ = 0;
  // The last list sent had this many entries ("<<" first when it had one);
  // false once a notice or nothing has been shown since.
  bool listShown_ = false;
  std::int32_t pageEntries_ = 0;
  bool pageHasPrevious_ = false;
  Screen screen_ = Screen::kNothing;
  // The record shown last, and its selection then.
  const Menu* shownRecord_ = nullptr;
  std::int32_t shownSelection_ = 0;
  // The last list the phone took: its first item and its entries as sent.
  std::int32_t shownStart_ = 0;
  std::vector<std::string> shownEntries_;
  std::uint32_t codesHeard_ = 0;
  bool leftByPhone_ = false;
};

// Reads ":%d,%d": a colon, then two decimal numbers separated by a comma,
// blanks allowed before each; numbers beyond 32 bits are clamped. False
// unless both are there.
bool ReadTwoNumbers(const std::string& answer, std::int32_t* first, std::int32_t* second);

}  // namespace quillet
