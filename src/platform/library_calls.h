#pragma once
// The player's media library and playlist window as the logic reaches them:
// finding the library's window, one query whose records come back as plain
// records, and a file inserted into the playlist. The player's 32-bit
// records stay behind this seam. Every call sends to the player's windows,
// so it is made on the player's own thread.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quillet {

// A number the library does not have.
constexpr int kNoNumber = -1;

// One track as the library describes it; absent texts are empty.
struct LibraryTrack {
  std::u16string filename;
  std::u16string title;
  std::u16string artist;
  std::u16string album;
  std::u16string albumArtist;
  int year = kNoNumber;
  int track = kNoNumber;
  int disc = kNoNumber;
};

// The longest path the playlist's insert record holds, its NUL aside.
constexpr std::size_t kLongestInsertPath = 259;

class LibraryCalls {
 public:
  using TrackSink = std::function<void(const LibraryTrack& track)>;

  virtual ~LibraryCalls() = default;

  // The library's window, through the name "LibraryGetWnd" the player's
  // main window `player` registers; kNoHandle when the player has none (a
  // player without one answers the name's id with something that is no
  // window).
  virtual Handle FindLibrary(Handle player) = 0;
  // Runs `query` on the library's window, hands each record to `take` in
  // the library's order, and frees the records before it returns, whatever
  // happened. The library's answer: 1 done (also with nothing found), 0 or
  // -1 no library to ask. `most` above 0 asks for at most that many.
  virtual std::intptr_t RunQuery(Handle library, std::u16string_view query,
                                 const TrackSink& take, int most = 0) = 0;
  // The player's playlist window; kNoHandle when it has none.
  virtual Handle FindPlaylist(Handle player) = 0;
  // `file` inserted into the playlist before entry `index` (at the end from
  // the playlist's length on; a negative index is taken as 0). False, and
  // nothing sent, for an empty path or one longer than kLongestInsertPath.
  // The player answers TRUE whatever it did: whether the entry was taken
  // shows in the playlist's length.
  virtual bool InsertFile(Handle playlist, std::u16string_view file, std::int32_t index) = 0;
};

}  // namespace quillet
