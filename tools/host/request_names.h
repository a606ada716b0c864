// Names for the player requests (WM_USER, by lParam) and the WM_COMMAND
// identifiers, as they appear in the host's log.
#pragma once

#include <cstdint>

namespace host {

// WM_USER request codes carried in lParam.
enum RequestCode : long {
  kReqVolume = 122,
  kReqPlaylistLength = 124,
  kReqPlaylistPosition = 125,
  kReqPlayState = 104,
  kReqSetPosition = 121,
  kReqEntryTitle = 212,
  kReqEntryTitleUnicode = 213,
  kReqEntryFileUnicode = 214,
  kReqWindowVisible = 261,
  kReqGetShuffle = 250,
  kReqGetRepeat = 251,
  kReqSetShuffle = 252,
  kReqSetRepeat = 253,
  kReqSetRating = 639,
  kReqGetRating = 640,
  kReqRegisterName = 65536,
  // Told by the player, to its own window.
  kReqMiscNotice = 603,
  kReqPlaylistModified = 3002,
  kReqPlayingFile = 3003,
  kReqPlayingFileUnicode = 13003,
  // Asked by the player, of its own window: which entry comes next.
  kReqNextItem = 636,
};

// The player's own choice, when nobody names the next entry.
constexpr intptr_t kNoNextItem = -1;

constexpr intptr_t kVolumeQuery = -666;
constexpr intptr_t kVideoWindow = 3;

// Name of a WM_USER request, or null when lParam is none of the known codes.
const char* RequestName(intptr_t wparam, intptr_t lparam);
// Name of a WM_COMMAND or WM_SYSCOMMAND identifier (low word of wParam), or
// "unknown".
const char* CommandName(int id);

}  // namespace host
