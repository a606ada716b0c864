#pragma once
// Texts that go between double quotes in a command to the phone, and the
// printf-style formatting of those commands.

#include <string>
#include <string_view>

namespace quillet {

// The text with each double quote turned into an apostrophe and each control
// character (DEL too) into a blank, so that no title or label can end a
// quoted text or the command line early. The length stays the same.
std::string QuotedText(std::string_view text);

// printf into a string of whatever length it needs.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quillet
