#pragma once
// The menus as one model over two wire dialects. The protocol decides what
// the phone shows and what an answer does; a dialect only turns that into
// one command set's commands and that set's answers back into calls on the
// protocol. Texts reach a dialect already quoted for the phone.

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// One page of a menu, "<<" and ">>" among its entries.
struct MenuPage {
  std::string title;
  bool topLevel = true;
  std::int32_t focus = 1;  // the selected entry, from 1
  std::vector<std::string> entries;
};

// The input dialog for an item, by its kind (kLevel ... kText).
struct DialogRequest {
  std::int32_t kind = 0;
  std::string name;
  std::string prompt;
  std::string text;                 // Text: the current text
  std::int32_t value = 0;           // Level: the step; Choice: the label from 0; others: value
  std::int32_t count = 0;           // Level: the steps; Choice: the labels
  std::int32_t minimum = 0;         // Number
  std::int32_t maximum = 0;         // Number; Text: the longest text
  std::vector<std::string> labels;  // Choice
};

// What the user did with a dialog, whichever set carried it.
struct DialogAnswer {
  enum class Kind { kDismissed, kInterim, kFinal };
  Kind kind = Kind::kDismissed;
  // Level: a percentage of the range; Choice: the label from 1; Switch and
  // Number: the value.
  std::int32_t number = 0;
  std::string text;  // Text: as the phone sent it
};

class MenuDialect {
 public:
  virtual ~MenuDialect() = default;
  // The user opened the accessory menu; a page follows.
  virtual void Opened() = 0;
  // True once the phone has the page up: refused, it still shows the old one.
  virtual bool ShowList(const MenuPage& page) = 0;
  // `navigation`: '0' nothing to show, '1' top level, '2' below it.
  virtual void ShowNotice(char navigation, const std::string& title, const std::string& text) = 0;
  virtual void OpenDialog(const DialogRequest& dialog) = 0;
  // The screen that stays up while the phone's keys drive the player.
  virtual bool ShowKeyScreen(const std::string& title) = 0;
  // The user left the menus: nothing of ours stays on the phone.
  virtual void Left() = 0;
};

// What a dialect reports of the phone's answers.
class MenuEvents {
 public:
  virtual ~MenuEvents() = default;
  virtual void MenuActivated() = 0;
  // Entry n of the page shown, from 1; 0 goes back.
  virtual void ChooseEntry(int entry) = 0;
  virtual void Answered(const DialogAnswer& answer) = 0;
  // Leave at once, from any depth.
  virtual void Cancelled() = 0;
};

}  // namespace quillet
