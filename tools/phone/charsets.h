#pragma once
// "+CSCS": the character sets the phone offers and the one selected, and
// what the phone shows for the bytes of a text in that set.

#include <optional>
#include <string>
#include <string_view>

#include "command_set.h"

namespace quillet::phone {

// "+CSCS=?" lists the offered sets, "+CSCS?" names the selected one and
// "+CSCS=\"<set>\"" selects an offered set (any case); a phone that offers
// none refuses them all.
Interpretation CharacterSet(std::string_view rest, const Settings& settings);

// The characters shown for `bytes` received in `charset`: UTF-8 decoded (a
// malformed byte shows as U+FFFD); every other set byte by byte, as 8859-1
// does and as the phone showed texts before any set was selected.
std::u32string Shown(std::string_view bytes, const std::string& charset);

// The bytes the phone sends for `utf8`, a text its user typed, in `charset`:
// UTF-8 as typed; 8859-1, and the phone's own set before any was selected,
// every character up to U+00FF as its byte; the sets the simulator does not
// spell out (GSM, IRA, UCS2) ASCII only. A character the set lacks goes as
// "?". Nothing when `utf8` is not UTF-8.
std::optional<std::string> Typed(std::string_view utf8, const std::string& charset);

}  // namespace quillet::phone
