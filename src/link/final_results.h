#pragma once
// The lines that end a command, and whether each means success.

#include <string_view>

#include "link/phone_commands.h"

namespace quillet {

struct FinalResult {
  const char* text;
  bool wholeLine;  // the line is exactly the text; otherwise it begins with it
  bool success;
};

constexpr FinalResult kFinalResults[] = {
    {phone::kOk, true, true},
    {phone::kError, false, false},
    {phone::kEquipmentError, false, false},
    {phone::kMessageError, false, false},
};

// The row a line matches, or null when it is no final result.
const FinalResult* MatchFinalResult(std::string_view line);

}  // namespace quillet
