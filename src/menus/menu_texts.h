#pragma once
// The texts of the menus as the phone gets them once a Charset is set: the
// records' ANSI texts read as Unicode through the code page, built-in texts
// that the code page or their field cannot hold kept aside in full, and
// everything sent in the set agreed with the phone. Without a Charset nothing
// here is used and every byte stays as it always was. Monitor thread only.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "link/phone_charset.h"
#include "platform/platform.h"

namespace quillet {

class MenuTexts {
 public:
  // `agreed` gives the set agreed on the current connection.
  MenuTexts(Platform& os, std::function<PhoneCharset()> agreed)
      : os_(os), agreed_(std::move(agreed)) {}
  MenuTexts(const MenuTexts&) = delete;
  MenuTexts& operator=(const MenuTexts&) = delete;

  PhoneCharset set() const { return agreed_ ? agreed_() : PhoneCharset::kNone; }

  // ANSI text of the player or of a record, through the code page.
  std::u32string FromAnsi(std::string_view ansi) const;
  // Unicode text as the code page has it ('?' for what it lacks), at most
  // `most` bytes and never half a character.
  std::string ToAnsi(std::u32string_view text, std::size_t most) const;

  // The text of a record's field or buffer at `where`: the text held for it,
  // else its ANSI bytes `ansi` through the code page.
  std::u32string Of(const char* where, std::string_view ansi) const;
  // Built-in fields keep their full text here; the field itself gets what
  // the code page makes of it.
  void Hold(const char* where, std::u32string text);
  void Release(const char* where);
  void ReleaseAll() { held_.clear(); }

  // The bytes of a quoted parameter in the agreed set.
  std::string Out(std::u32string_view text) const;
  // A page title: more than 15 characters are cut to 12 and "...".
  std::string OutTitle(std::u32string_view text) const;
  // A text the phone sent back, in the agreed set, as ANSI for a record's
  // buffer of `most` bytes.
  std::string Back(std::string_view bytes, std::size_t most) const;

 private:
  Platform& os_;
  std::function<PhoneCharset()> agreed_;
  std::unordered_map<const char*, std::u32string> held_;
};

// A label of a built-in item: more than 39 characters are cut to 36 and "...".
std::u32string CutLabel(std::u32string_view label);

// ASCII text (numbers, fixed words) as Unicode.
std::u32string Widen(std::string_view ascii);

}  // namespace quillet
