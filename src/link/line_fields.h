#pragma once
// The small pieces every reader of the phone's report lines shares.

#include <cstddef>
#include <string>

namespace quillet {

bool IsBlank(char c);
// CR or LF: either ends a line.
bool IsTerminator(char c);
// Moves `*at` past blanks and tabs.
void SkipBlanks(const std::string& line, std::size_t* at);
// The line begins with `code` ("*ECAV", "+CKEV", ...), whatever follows it.
bool StartsWithCode(const std::string& line, const char* code);
// The line begins with `code` and a colon: `*at` lands past both and any
// blanks after them.
bool SkipCode(const std::string& line, const char* code, std::size_t* at);

}  // namespace quillet
