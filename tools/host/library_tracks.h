// The stand-in media library's tracks: read from a small text file or
// generated, and the fields its queries name. Plain C++, so the query
// language can be tried natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

// The fields a query may name; texts are UTF-16 as the player keeps them,
// empty when absent, numbers -1 when absent.
struct LibraryTrack {
  std::u16string filename, title, artist, album, albumartist, genre;
  int year = -1, trackno = -1, disc = -1, type = 0, length = -1;
};

// The library file: one track a line, fields separated by '|' in this
// order: file|title|artist|album|albumartist|year|track|disc|type; UTF-8;
// missing trailing fields are absent, an empty number is absent, type
// defaults to 0 (audio). Blank lines and lines starting with '#' are
// skipped. False with `error` (the line number) for a malformed line.
bool ParseLibrary(const std::string& content, std::vector<LibraryTrack>* tracks,
                  std::string* error);

// A library of `tracks` tracks by `artists` artists, the same every run:
// albums of about ten tracks, names and titles in Latin (some accented),
// Cyrillic, Greek and Japanese, some artists with a leading "The ", some
// tracks without album artist, year or number.
std::vector<LibraryTrack> GenerateLibrary(std::size_t tracks, std::size_t artists);

std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace host
