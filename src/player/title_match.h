#pragma once
// Whether a title contains a text the user typed on the phone, whatever the
// case, accents and marks: both are brought to one search form first.

#include <string>
#include <string_view>

namespace quillet {

// Lower case (Latin, Greek, Cyrillic), accents and marks dropped, with the
// plain forms the phone's character sets use ("Déjà" and "DEJA" are "deja").
std::u32string SearchForm(std::u32string_view text);

// `title` holds `text`, both in search form; an empty text is in every title.
inline bool Holds(std::u32string_view title, std::u32string_view text) {
  return title.find(text) != std::u32string_view::npos;
}

}  // namespace quillet
