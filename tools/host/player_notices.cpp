#include "player_notices.h"

#include "request_names.h"

namespace host {

void PlayerNotices::Post(MiscNotice notice) const {
  if (window_) PostMessageW(window_, WM_USER, static_cast<WPARAM>(notice), kReqMiscNotice);
}

void PlayerNotices::SendPlayingFile(const std::string& path, const std::wstring& wide_path) const {
  if (!window_) return;
  SendMessageW(window_, WM_USER, reinterpret_cast<WPARAM>(path.c_str()), kReqPlayingFile);
  SendMessageW(window_, WM_USER, reinterpret_cast<WPARAM>(wide_path.c_str()),
               kReqPlayingFileUnicode);
}

void PlayerNotices::SendPlaylistModified() const {
  if (window_) SendMessageW(window_, WM_USER, 0, kReqPlaylistModified);
}

}  // namespace host
