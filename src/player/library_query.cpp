#include "player/library_query.h"

#include <initializer_list>

#include "menus/phone_text.h"

namespace quillet {
namespace {

constexpr char16_t kHex[] = u"0123456789ABCDEF";

bool NeedsEscape(char16_t c) {
  switch (c) {
    case u'%':
    case u'"':
    case u'\'':
    case u'[':
    case u']':
    case u'(':
    case u')':
    case u'#':
      return true;
    default:
      return false;
  }
}

std::u16string Clause(std::u16string_view field, std::u16string_view op,
                      std::u16string_view value) {
  std::u16string clause = u"(";
  clause += field;
  clause += u' ';
  clause += op;
  if (!value.empty()) {
    clause += u' ';
    clause += value;
  }
  clause += u')';
  return clause;
}

// The clauses joined by `op`, the whole in parentheses.
std::u16string Joined(std::u16string_view op, std::initializer_list<std::u16string> clauses) {
  std::u16string joined = u"(";
  bool first = true;
  for (const std::u16string& clause : clauses) {
    if (!first) {
      joined += u' ';
      joined += op;
      joined += u' ';
    }
    joined += clause;
    first = false;
  }
  joined += u')';
  return joined;
}

std::u16string Audio() {
  return Clause(u"type", u"=", u"0");
}

std::u16string Equals(std::u16string_view field, std::u16string_view value) {
  // An empty value would be "= """, which a record without the field also
  // matches; ISEMPTY says what is meant.
  if (value.empty()) return Clause(field, u"ISEMPTY", u"");
  return Clause(field, u"=", QuotedValue(value));
}

const std::u16string& AlbumCredit(const LibraryTrack& track) {
  return track.albumArtist.empty() ? track.artist : track.albumArtist;
}

}  // namespace

std::u16string QuotedValue(std::u16string_view text) {
  std::u16string quoted = u"\"";
  for (char16_t c : text) {
    if (!NeedsEscape(c)) {
      quoted += c;
    } else if (c == u'%') {
      quoted += u"%%";
    } else {
      quoted += u'%';
      quoted += kHex[c >> 4];
      quoted += kHex[c & 0xF];
    }
  }
  quoted += u'"';
  return quoted;
}

LibraryRequest LibraryRequest::AudioItems() {
  return LibraryRequest(Audio(), Exact::kAll);
}

LibraryRequest LibraryRequest::ByArtist(std::u16string_view artist) {
  return LibraryRequest(Joined(u"AND", {Audio(), Equals(u"artist", artist)}), Exact::kArtist,
                        artist);
}

LibraryRequest LibraryRequest::ByAlbum(std::u16string_view album, std::u16string_view credit) {
  // Credited to `credit`: its album artist, or no album artist and its artist.
  const std::u16string credited = Joined(
      u"OR",
      {Equals(u"albumartist", credit),
       Joined(u"AND", {Clause(u"albumartist", u"ISEMPTY", u""), Equals(u"artist", credit)})});
  return LibraryRequest(Joined(u"AND", {Audio(), Equals(u"album", album), credited}), Exact::kAlbum,
                        album, credit);
}

LibraryRequest LibraryRequest::Search(const std::vector<std::u32string>& words) {
  std::u16string query = u"(" + Audio();
  for (const std::u32string& word : words) {
    const std::u16string value = QuotedValue(ToUtf16(word));
    query +=
        u" AND " + Joined(u"OR", {Clause(u"title", u"HAS", value), Clause(u"artist", u"HAS", value),
                                  Clause(u"album", u"HAS", value)});
  }
  query += u')';
  return LibraryRequest(std::move(query), Exact::kAll);
}

bool LibraryRequest::Keeps(const LibraryTrack& track) const {
  switch (exact_) {
    case Exact::kAll:
      return true;
    case Exact::kArtist:
      return track.artist == first_;
    case Exact::kAlbum:
      return track.album == first_ && AlbumCredit(track) == second_;
  }
  return false;
}

std::vector<std::u32string> SearchWords(std::u32string_view typed) {
  std::vector<std::u32string> words;
  std::u32string word;
  for (char32_t c : typed) {
    if (c == U' ' || c == U'\t' || c == 0x3000 || c == 0xA0) {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

}  // namespace quillet
