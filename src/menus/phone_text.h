#pragma once
// Texts in the phone's character set: Unicode in (UTF-16 from the player, or
// UTF-8), bytes of the agreed set out, and the phone's bytes back. Cuts count
// characters and never split one; the quoting rules of at_text.h apply to the
// characters that are sent.

#include <cstddef>
#include <string>
#include <string_view>

#include "link/phone_charset.h"

namespace quillet {

// Code points; an unpaired surrogate or a malformed byte becomes '?'.
std::u32string FromUtf16(std::u16string_view text);
std::u32string FromUtf8(std::string_view text);
std::string ToUtf8(std::u32string_view text);
std::u16string ToUtf16(std::u32string_view text);

// The characters the set can carry: in 8859-1 and ASCII a character the set
// lacks becomes its nearest plain form where one is obvious (dashes "-",
// curly quotes "'", "..." for the ellipsis, a marked letter its base letter)
// and "?" otherwise. UTF-8 carries everything.
std::u32string FoldInto(std::u32string_view text, PhoneCharset set);

// The plain form of a character outside 7-bit ASCII as the sets above fold
// it (a marked Latin letter its base letter, a dash "-"); "" when it has none.
std::u32string PlainForm(char32_t c);

// Double quotes become apostrophes and control characters blanks, so that no
// text can end a quoted parameter or the command line early.
std::u32string Sanitised(std::u32string_view text);

// Keeps the first `keep` characters and "..." when the text has more than
// `longest`.
std::u32string Cut(std::u32string_view text, std::size_t longest, std::size_t keep);

// Bytes of the folded text in the set (ASCII for PhoneCharset::kNone).
std::string Encode(std::u32string_view folded, PhoneCharset set);

// A text as the phone sends it in the set: every byte the set does not define
// becomes '?'.
std::u32string Decode(std::string_view bytes, PhoneCharset set);

// All of it for one text between quotes: fold, sanitise, cut, encode.
std::string PhoneBytes(std::u32string_view text, PhoneCharset set, std::size_t longest = 0,
                       std::size_t keep = 0);

}  // namespace quillet
