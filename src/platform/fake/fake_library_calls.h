#pragma once
// An in-memory media library and playlist for tests: the tracks a test
// gives, a query read by whatever the test plugs in, each query's records
// counted until freed, and the files inserted kept in playlist order.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/library_calls.h"

namespace quillet::fake {

class FakeLibraryCalls : public LibraryCalls {
 public:
  // Whether a track answers a query, as the player's library reads it.
  using Matcher = std::function<bool(std::u16string_view query, const LibraryTrack& track)>;

  static constexpr Handle kLibraryWindow = 0x1B00;
  static constexpr Handle kPlaylistWindow = 0x1B01;

  std::vector<LibraryTrack> tracks;
  Matcher matches;
  // A player without a library finds no window; one without a local
  // library answers its queries 0.
  bool hasWindow = true;
  std::intptr_t answer = 1;
  // What happened: the queries asked, the records handed out and not yet
  // freed, and the playlist's files.
  std::vector<std::u16string> queries;
  std::size_t recordsHeld = 0;
  std::vector<std::u16string> playlist;

  Handle FindLibrary(Handle player) override;
  std::intptr_t RunQuery(Handle library, std::u16string_view query, const TrackSink& take,
                         int most = 0) override;
  Handle FindPlaylist(Handle player) override;
  bool InsertFile(Handle playlist, std::u16string_view file, std::int32_t index) override;
};

}  // namespace quillet::fake
