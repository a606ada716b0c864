#pragma once
// JSON texts for the simulator's event stream. Strings carry raw bytes: each
// byte becomes the code point of the same value (control characters, '"',
// '\\', DEL and bytes from 0x80 escaped as \uXXXX or the short escapes), so
// the output is plain ASCII and a reader recovers the bytes by encoding the
// decoded text as Latin-1.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "screen.h"

namespace quillet::phone::json {

std::string Quote(std::string_view bytes);
// Characters, as a JSON string (ASCII, with \uXXXX escapes and surrogate pairs).
std::string QuoteCharacters(std::u32string_view text);
std::string Array(const std::vector<std::string>& texts);
std::string Menu(const MenuScreen& menu);
std::string DialogObject(const Dialog& dialog);
std::string Calls(const std::vector<PhoneCall>& calls);
std::string ScreenObject(const Screen& screen);

// Builds one flat JSON object; values are already JSON.
class Object {
 public:
  Object& Raw(std::string_view key, std::string_view json);
  Object& Text(std::string_view key, std::string_view bytes);
  Object& Number(std::string_view key, std::int64_t value);
  Object& Bool(std::string_view key, bool value);
  std::string str() const { return "{" + body_ + "}"; }

 private:
  std::string body_;
};

}  // namespace quillet::phone::json
