#pragma once
// The simulator's control language: one command per line, acting on a
// PhoneModel (the user's actions, the line, deliberate misbehaviour). The
// commands are listed in README.md.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "phone_model.h"

namespace quillet::phone {

struct ControlOutcome {
  enum class Kind {
    Done,     // the command was carried out
    Ignored,  // blank line or comment
    Screen,   // the caller reports the screen
    History,  // the caller reports the command history
    Quit,
    Error,  // not understood; `error` says why
  };
  Kind kind = Kind::Done;
  std::string error;
  // `away`: the caller brings the phone back this many ms later (0: not
  // before `return`).
  std::optional<std::uint32_t> backInMs;
};

ControlOutcome RunControl(PhoneModel& model, std::string_view line);

}  // namespace quillet::phone
