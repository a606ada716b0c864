#pragma once
// The newer accessory commands ("*SEAM", "*SELIST", "*SELERT", "*SEGAUGE",
// "*SEONO", "*SESTRI", "*SEDEL", "*SEUIS") as a phone of the later
// generation reads them: each list, alert or input is an object with an id,
// drawn as the older screen parts so that one screen serves both.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "screen.h"

namespace quillet::phone {

// A menu list, or any other object drawn as a dialog.
struct NewerObject {
  std::int32_t id = 0;
  std::optional<MenuScreen> menu;
  std::optional<Dialog> dialog;
};

struct NewerChange {
  enum class Kind { Question, Register, Create, Delete, Session };
  Kind kind = Kind::Create;
  std::string replyCode;   // Register, Create, Question: the code of the answer
  std::string title;       // Register
  NewerObject object;      // Create
  std::int32_t id = 0;     // Delete
  bool sessionOn = false;  // Session
};

// `name` is the command in upper case ("*SELIST"), `rest` what follows it.
Parsed<NewerChange> ParseNewer(const std::string& name, std::string_view rest);

// The answers its user gives: "*SEAAI: <item>" and "*SEGUII: <object>,...".
namespace newer_codes {
std::string MenuOpened(std::int32_t item);
std::string Answer(std::int32_t object, std::int32_t action, const std::string& info = "");
}  // namespace newer_codes

}  // namespace quillet::phone
