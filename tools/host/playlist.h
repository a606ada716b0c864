// The player's playlist: either titles read from a file or a generated list
// whose titles ("Track 1" ...) are made on demand, so a million entries cost
// nothing until asked for.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace host {

// Splits a playlist file's content into entry titles. Plain text: every
// non-empty line is a title. M3U: lines starting with '#' are skipped; an
// entry takes the title of a preceding "#EXTINF:<len>,<title>" line if there
// is one, else the entry line itself.
std::vector<std::string> ParsePlaylist(const std::string& content, bool m3u);

// True when the file name or the content says M3U.
bool LooksLikeM3u(const std::string& path, const std::string& content);

// A UTF-16 title as the playlist keeps titles: UTF-8, or the code page's.
std::string TitleBytes(const std::wstring& title, bool utf8);

class Playlist {
 public:
  // Title pointers handed out stay valid for this many further requests,
  // and across a replacement of the playlist.
  static constexpr size_t kTitleSlots = 16;

  Playlist();

  void Generate(size_t count);
  void Assign(std::vector<std::string> titles);
  // An entry titled `title` (in the titles' encoding) before `index`, or
  // at the end from size() on; a generated list becomes titles first.
  void Insert(size_t index, std::string title);
  // Reads and parses a file; on failure leaves the playlist as it was.
  bool LoadFile(const std::string& path, std::string* error);

  size_t size() const { return generated_ ? count_ : titles_.size(); }
  bool generated() const { return generated_; }

  // Titles from a file are UTF-8 (from the next load on): the ANSI title is
  // what the code page makes of them, as the player's is.
  void SetUtf8(bool utf8) { utf8_ = utf8; }
  bool utf8() const { return utf8_; }

  // NUL-terminated ANSI title of entry `index`, or null when out of range.
  const char* Title(size_t index);
  // The same title in UTF-16, as the player answers the Unicode request.
  const wchar_t* WideTitle(size_t index);

 private:
  bool generated_ = true;
  size_t count_ = 0;
  std::vector<std::string> titles_;
  std::array<std::string, kTitleSlots> slots_;
  size_t next_slot_ = 0;
  std::array<std::wstring, kTitleSlots> wide_slots_;
  size_t next_wide_slot_ = 0;
  bool utf8_ = false;
};

}  // namespace host
