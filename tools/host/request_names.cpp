#include "request_names.h"

#include "player_model.h"

namespace host {

const char* RequestName(intptr_t wparam, intptr_t lparam) {
  switch (lparam) {
    case kReqVolume:
      return wparam == kVolumeQuery ? "get_volume" : "set_volume";
    case kReqPlaylistLength:
      return "playlist_length";
    case kReqPlaylistPosition:
      return "playlist_position";
    case kReqPlayState:
      return "play_state";
    case kReqSetPosition:
      return "set_position";
    case kReqEntryTitle:
      return "entry_title";
    case kReqEntryTitleUnicode:
      return "entry_title_unicode";
    case kReqEntryFileUnicode:
      return "entry_file_unicode";
    case kReqWindowVisible:
      return "window_visible";
    case kReqGetShuffle:
      return "get_shuffle";
    case kReqGetRepeat:
      return "get_repeat";
    case kReqSetShuffle:
      return "set_shuffle";
    case kReqSetRepeat:
      return "set_repeat";
    case kReqSetRating:
      return "set_rating";
    case kReqGetRating:
      return "get_rating";
    case kReqRegisterName:
      return "register";
    case kReqMiscNotice:
      return "cb_misc";
    case kReqPlaylistModified:
      return "playlist_modified";
    case kReqPlayingFile:
      return "playing_file";
    case kReqPlayingFileUnicode:
      return "playing_file_unicode";
    case kReqNextItem:
      return "next_item";
    default:
      return nullptr;
  }
}

const char* CommandName(int id) {
  switch (id) {
    case kCmdPrevious:
      return "previous";
    case kCmdPlay:
      return "play";
    case kCmdPause:
      return "pause";
    case kCmdStop:
      return "stop";
    case kCmdNext:
      return "next";
    case kCmdVideoWindow:
      return "video_window";
    case kCmdFullscreen:
      return "fullscreen";
    case kCmdShuffle:
      return "shuffle";
    case kCmdRepeat:
      return "repeat";
    default:
      return "unknown";
  }
}

}  // namespace host
