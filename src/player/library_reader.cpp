#include "player/library_reader.h"

namespace quillet {

LibraryAnswer ReadLibrary(LibraryCalls& calls, Handle player, const LibraryRequest& request,
                          LibraryStore* store) {
  store->Clear();
  const Handle library = calls.FindLibrary(player);
  if (library == kNoHandle) return LibraryAnswer::kNoLibrary;
  const std::intptr_t answer =
      calls.RunQuery(library, request.query(), [&](const LibraryTrack& track) {
        if (request.Keeps(track)) store->Add(track);
      });
  store->Seal();
  // 0: the library's window without a local library behind it; -1: no
  // database to ask.
  if (answer <= 0) {
    store->Clear();
    return LibraryAnswer::kNoLibrary;
  }
  return LibraryAnswer::kDone;
}

}  // namespace quillet
