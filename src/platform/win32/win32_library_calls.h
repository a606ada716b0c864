#pragma once
// The player's media library and playlist window, through the player's own
// window messages and 32-bit records.

#include "platform/library_calls.h"

namespace quillet {

class Win32LibraryCalls : public LibraryCalls {
 public:
  Handle FindLibrary(Handle player) override;
  std::intptr_t RunQuery(Handle library, std::u16string_view query, const TrackSink& take,
                         int most = 0) override;
  Handle FindPlaylist(Handle player) override;
  bool InsertFile(Handle playlist, std::u16string_view file, std::int32_t index) override;
};

}  // namespace quillet
