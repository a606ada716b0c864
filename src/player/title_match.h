#pragma once
// Whether a title contains a text the user typed on the phone, whatever the
// case, accents and marks: both are brought to one search form first.

#include <string>
#include <string_view>

namespace quillet {

// Case folded, compatibility forms decomposed ("ﬁ" "fi", "Ａ" "a"), the
// diacritical marks dropped ("Phở" and "PHO" are "pho"), the plain forms the
// phone's character sets use for what is left ("Łódź" "lodz", "–" "-").
// Marks that make another letter in their script stay ("ば" is not "は").
// Into `form`, whose storage is reused: once it has grown to a title's
// length, folding allocates nothing.
void SearchForm(std::u32string_view text, std::u32string* form);
std::u32string SearchForm(std::u32string_view text);

// `title` holds `text`, both in search form, and not as a letter of the
// title without the mark that follows it there; an empty text is in every
// title.
bool Holds(std::u32string_view title, std::u32string_view text);

}  // namespace quillet
