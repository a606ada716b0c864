#include "player_requests.h"

#include "request_names.h"

namespace host {

intptr_t PlayerRequests::SetSwitch(bool current, intptr_t wanted, int toggle) {
  if ((wanted != 0) != current && send_command_) send_command_(toggle);
  return 1;
}

intptr_t PlayerRequests::Answer(intptr_t wparam, intptr_t lparam) {
  switch (lparam) {
    case kReqVolume:
      if (wparam == kVolumeQuery) return model_.volume();
      model_.SetVolume(wparam);
      return 0;
    case kReqPlaylistLength:
      return static_cast<intptr_t>(model_.length());
    case kReqPlaylistPosition:
      return static_cast<intptr_t>(model_.position());
    case kReqPlayState:
      return static_cast<intptr_t>(model_.state());
    case kReqSetPosition:
      model_.SetPosition(wparam);
      return 0;
    case kReqEntryTitle: {
      intptr_t replacement = 0;
      if (title_answers_.Replacement(&replacement)) return replacement;
      if (wparam < 0) return 0;
      return reinterpret_cast<intptr_t>(model_.Title(static_cast<size_t>(wparam)));
    }
    case kReqEntryTitleUnicode: {
      intptr_t replacement = 0;
      if (title_answers_.Replacement(&replacement)) return replacement;
      if (wparam < 0) return 0;
      return reinterpret_cast<intptr_t>(model_.WideTitle(static_cast<size_t>(wparam)));
    }
    case kReqEntryFileUnicode:
      // One buffer, valid until the next such request, as the player's.
      if (wparam < 0 || static_cast<size_t>(wparam) >= model_.length()) return 0;
      file_answer_ = model_.WidePath(static_cast<size_t>(wparam));
      return reinterpret_cast<intptr_t>(file_answer_.c_str());
    case kReqWindowVisible:
      return wparam == kVideoWindow && model_.video() ? 1 : 0;
    case kReqGetShuffle:
      return model_.shuffle() ? 1 : 0;
    case kReqGetRepeat:
      return model_.repeat() ? 1 : 0;
    case kReqSetShuffle:
      return SetSwitch(model_.shuffle(), wparam, kCmdShuffle);
    case kReqSetRepeat:
      return SetSwitch(model_.repeat(), wparam, kCmdRepeat);
    case kReqGetRating:
      return model_.Rating();
    case kReqSetRating:
      return model_.SetRating(wparam) ? 1 : 0;
    case kReqNextItem:
      return kNoNextItem;
    case kReqRegisterName: {
      std::string name;
      if (!read_text_ || !read_text_(wparam, &name)) return 0;
      return registry_.Register(name);
    }
    default:
      return 0;
  }
}

}  // namespace host
