// The media library's query language as the player's library reads it:
// `field op value` clauses joined by AND/OR (& && | ||), '!' or NOT before
// one, parentheses; joins apply left to right with no precedence. Texts
// compare ignoring case and accents; a record without a field matches !=,
// NOTHAS, ISEMPTY and = "". A query it cannot read is no error to the
// caller: the library then returns every record.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "library_tracks.h"

namespace host {

class LibraryQuery {
 public:
  // Reads `query`; `ok()` says whether it could, and `error()` why not.
  explicit LibraryQuery(const std::u16string& query);
  ~LibraryQuery();
  LibraryQuery(LibraryQuery&&) noexcept;
  LibraryQuery& operator=(LibraryQuery&&) noexcept;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // Whether the track matches; every track does when the query was not read.
  bool Matches(const LibraryTrack& track) const;

  struct Node;

 private:
  std::unique_ptr<Node> root_;
  std::string error_;
};

// A text as the library compares it: lower case, accents off.
std::u16string CompareForm(const std::u16string& text);

}  // namespace host
