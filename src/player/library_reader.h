#pragma once
// One request of the player's media library, its records copied into a
// store as they come (only those the request keeps) and the library's
// freed before the call returns. On the player's own thread.

#include "platform/library_calls.h"
#include "player/library_query.h"
#include "player/library_store.h"

namespace quillet {

enum class LibraryAnswer {
  kDone,       // the store holds what the library found (maybe nothing)
  kNoLibrary,  // no window, or a player without a local library
};

// The library's window, found afresh (the library may load late).
LibraryAnswer ReadLibrary(LibraryCalls& calls, Handle player, const LibraryRequest& request,
                          LibraryStore* store);

}  // namespace quillet
