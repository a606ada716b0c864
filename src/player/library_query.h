#pragma once
// The queries Quillet asks of the player's media library, in the library's
// own language, and the test each answer's records must pass besides. The
// language has no precedence between AND and OR, so every clause goes in
// parentheses; every value is quoted and escaped so that no name can end
// the quotes or read as an operator. The library's "=" ignores case and
// accents, so a request also says which records equal its values exactly.

#include <string>
#include <string_view>
#include <vector>

#include "player/library_store.h"

namespace quillet {

// `text` as a quoted value of the query language: % " ' [ ] ( ) # are
// written %XX (%% for %), everything else as it is.
std::u16string QuotedValue(std::u16string_view text);

class LibraryRequest {
 public:
  // Every audio item.
  static LibraryRequest AudioItems();
  // The audio items of one artist by exact text; "" for those with none.
  static LibraryRequest ByArtist(std::u16string_view artist);
  // The audio items of one album credited to `credit` (the album artist,
  // or the artist where a track has none).
  static LibraryRequest ByAlbum(std::u16string_view album, std::u16string_view credit);
  // The audio items whose title, artist or album holds each of `words`, in
  // any order and as the library compares (case and accents ignored).
  static LibraryRequest Search(const std::vector<std::u32string>& words);

  // The query, for the library's query request.
  const std::u16string& query() const { return query_; }
  // Whether a record the query returned is one the request wants.
  bool Keeps(const LibraryTrack& track) const;

 private:
  enum class Exact { kAll, kArtist, kAlbum };
  LibraryRequest(std::u16string query, Exact exact, std::u16string_view first = {},
                 std::u16string_view second = {})
      : query_(std::move(query)), exact_(exact), first_(first), second_(second) {}

  std::u16string query_;
  Exact exact_;
  std::u16string first_;   // the artist, or the album
  std::u16string second_;  // the album's credit
};

// The words of a typed search text, split at blanks.
std::vector<std::u32string> SearchWords(std::u32string_view typed);

}  // namespace quillet
