#pragma once
// What the phone shows: the accessory menu registered with "*EAM", the last
// menu page sent with "*EASM" and the dialog opened with "*EAID", and the
// parsers that read those commands' argument lists.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calls.h"

namespace quillet::phone {

// *EASM="title", nav, selected, count,"entry",...
struct MenuScreen {
  std::string title;
  char navigation = 0;        // '1' top level, '2' below it
  std::int32_t selected = 0;  // 1-based entry number
  std::int32_t count = 0;     // entries announced
  std::vector<std::string> entries;
  std::string charset;  // the set selected when it arrived ("" the default)

  bool CountMatches() const {
    return count >= 0 && entries.size() == static_cast<std::size_t>(count);
  }
};

enum class DialogType : std::int32_t {
  OnOff = 3,
  Level = 4,
  List = 5,
  Number = 7,
  Text = 11,
  Hold = 13,  // a blank screen kept up while the keys are reported
  Notice = 14,
};

// *EAID=type,... Which fields are meaningful depends on `type`.
struct Dialog {
  DialogType type = DialogType::Notice;
  char navigation = 0;              // Notice: the byte after the type
  std::int32_t mode = 0;            // input dialogs: the number after the type
  std::string title;                // every type: the heading (an item's name)
  std::string prompt;               // Number, Text
  std::string text;                 // Notice: the message; Text: the text to edit
  std::int32_t steps = 0;           // Level: number of steps
  std::int32_t value = 0;           // Level: step; List: choice from 1; OnOff; Number
  std::int32_t count = 0;           // List: labels announced
  std::vector<std::string> labels;  // List
  std::int32_t minimum = 0;         // Number
  std::int32_t maximum = 0;         // Number
  std::int32_t maxLength = 0;       // Text
  std::string charset;              // the set selected when it arrived

  bool CountMatches() const {
    return count >= 0 && labels.size() == static_cast<std::size_t>(count);
  }
};

struct Screen {
  std::optional<std::string> accessory;  // title registered with *EAM
  std::optional<MenuScreen> menu;
  std::optional<Dialog> dialog;
  std::vector<PhoneCall> calls;  // the calls going on, in the order they began
};

template <typename T>
struct Parsed {
  std::optional<T> value;
  std::string error;  // set when `value` is empty
};

// Each takes the text after '=' of its command.
Parsed<std::string> ParseAccessoryMenu(std::string_view args);  // *EAM
Parsed<MenuScreen> ParseMenu(std::string_view args);            // *EASM
Parsed<Dialog> ParseDialog(std::string_view args);              // *EAID

const char* DialogTypeName(DialogType type);

}  // namespace quillet::phone
