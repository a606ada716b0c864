#pragma once
// The older accessory commands: a page is one "*EASM", a notice and every
// input dialog one "*EAID", and their answers arrive as "*EAII" lines.

#include <string>

#include "menus/command_sender.h"
#include "menus/menu_dialect.h"

namespace quillet {

class OlderDialect : public MenuDialect {
 public:
  explicit OlderDialect(CommandSender send) : send_(std::move(send)) {}

  void Opened() override {}
  bool ShowList(const MenuPage& page) override;
  void ShowNotice(char navigation, const std::string& title, const std::string& text) override;
  void OpenDialog(const DialogRequest& dialog) override;
  bool ShowKeyScreen(const std::string& title) override;
  void Left() override {}

 private:
  CommandSender send_;
};

// What a "*EAII" answer (the line after its code) says about a dialog for
// an item of `kind`.
DialogAnswer ReadOlderAnswer(std::int32_t kind, const std::string& answer);

}  // namespace quillet
