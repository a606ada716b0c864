#pragma once
// What the monitor thread calls when the phone's unsolicited codes arrive.

#include <string>

namespace quillet {

class MenuHandlers {
 public:
  virtual ~MenuHandlers() = default;
  // "*EAAI": the user opened the accessory menu; open the main menu and show it.
  virtual void MenuActivated() = 0;
  // "*EAMI": the user chose entry n of the page shown; 0 means back.
  virtual void ChooseEntry(int entry) = 0;
  // "*EAII": the answer of an input dialog, the line without its code.
  virtual void HandleAnswer(const std::string& answer) = 0;
};

// Used until menus exist, and whenever nobody listens.
class NoMenuHandlers : public MenuHandlers {
 public:
  void MenuActivated() override {}
  void ChooseEntry(int) override {}
  void HandleAnswer(const std::string&) override {}
};

}  // namespace quillet
