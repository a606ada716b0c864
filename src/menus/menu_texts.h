#pragma once
// The texts of the menus as the phone gets them once a Charset is set: the
// records' ANSI texts read as Unicode through the code page, built-in texts
// that the code page or their field cannot hold kept aside in full, and
// everything sent in the set agreed with the phone. Without a Charset nothing
// here is used and every byte stays as it always was. Monitor thread only.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "link/phone_charset.h"
#include "menus/menu_record.h"
#include "platform/platform.h"

namespace quillet {

// Where a text of a record lives: a field of one of its items, or the
// record's own title or text. Held texts go by this, not by a field's
// address, so an item moved within its record never shows another's text.
struct TextPlace {
  enum class Field : std::uint8_t { kName, kPrompt, kCurrent, kTitle, kText };
  const Menu* record = nullptr;
  std::int32_t item = -1;  // -1: the record's own
  Field field = Field::kName;

  static TextPlace Name(const Menu& record, std::int32_t item) {
    return {&record, item, Field::kName};
  }
  static TextPlace Title(const Menu& record) { return {&record, -1, Field::kTitle}; }
  static TextPlace Text(const Menu& record) { return {&record, -1, Field::kText}; }
  // A field of `item`, which lies among `record`'s items.
  static TextPlace Of(const Menu& record, const MenuItem& item, Field field) {
    return {&record, static_cast<std::int32_t>(&item - record.items), field};
  }
  // A text never held: always read from its bytes.
  static TextPlace Nowhere() { return {}; }

  bool operator<(const TextPlace& other) const {
    return std::tie(record, item, field) < std::tie(other.record, other.item, other.field);
  }
};

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

  // The text of a record's field or buffer at `place`: the text held for it,
  // else its ANSI bytes `ansi` through the code page.
  std::u32string Of(const TextPlace& place, std::string_view ansi) const;
  // Built-in fields keep their full text here; the field itself gets what
  // the code page makes of it.
  void Hold(const TextPlace& place, std::u32string text);
  void Release(const TextPlace& place);
  // Lets go of the text held for `place` into `text`; false when none is.
  bool Take(const TextPlace& place, std::u32string* text);
  // Every text held for the record: its items were laid out anew.
  void ReleaseRecord(const Menu* record);
  void ReleaseAll() { held_.clear(); }

  // The bytes of a quoted parameter in the agreed set.
  std::string Out(std::u32string_view text) const;
  // A page title: more than 15 characters are cut to 12 and "...".
  std::string OutTitle(std::u32string_view text) const;
  // A text the phone sent back, in the agreed set, as Unicode.
  std::u32string In(std::string_view bytes) const;

 private:
  Platform& os_;
  std::function<PhoneCharset()> agreed_;
  std::map<TextPlace, std::u32string> held_;
};

// A label of a built-in item: more than 39 characters are cut to 36 and "...".
std::u32string CutLabel(std::u32string_view label);

// ASCII text (numbers, fixed words) as Unicode.
std::u32string Widen(std::string_view ascii);

}  // namespace quillet
