#include "platform/fake/fake_library_calls.h"

namespace quillet::fake {

Handle FakeLibraryCalls::FindLibrary(Handle) {
  return hasWindow ? kLibraryWindow : kNoHandle;
}

std::intptr_t FakeLibraryCalls::RunQuery(Handle library, std::u16string_view query,
                                         const TrackSink& take, int most) {
  queries.emplace_back(query);
  if (library != kLibraryWindow || answer != 1) return answer;
  std::vector<const LibraryTrack*> found;
  for (const LibraryTrack& track : tracks)
    if ((!matches || matches(query, track)) &&
        (most <= 0 || found.size() < static_cast<std::size_t>(most)))
      found.push_back(&track);
  // Held while the sink runs, as the player's records are until freed.
  recordsHeld += found.size();
  struct Free {
    std::size_t& held;
    std::size_t count;
    ~Free() { held -= count; }
  } freed{recordsHeld, found.size()};
  for (const LibraryTrack* track : found) take(*track);
  return answer;
}

Handle FakeLibraryCalls::FindPlaylist(Handle) {
  return kPlaylistWindow;
}

bool FakeLibraryCalls::InsertFile(Handle target, std::u16string_view file, std::int32_t index) {
  if (target != kPlaylistWindow || file.empty() || file.size() > kLongestInsertPath) return false;
  const std::size_t at = index < 0 ? 0 : static_cast<std::size_t>(index);
  playlist.emplace(
      playlist.begin() + static_cast<std::ptrdiff_t>(at < playlist.size() ? at : playlist.size()),
      file);
  return true;
}

}  // namespace quillet::fake
