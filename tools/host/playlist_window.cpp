#include "playlist_window.h"

#include <cstddef>

#include "message_window.h"

namespace host {
namespace {

constexpr char kPlaylistClass[] = "Winamp PE";

}  // namespace

PlaylistWindow::~PlaylistWindow() {
  if (window_) DestroyWindow(window_);
}

bool PlaylistWindow::AnswerPlayer(intptr_t wparam, intptr_t lparam, intptr_t* result) {
  if (lparam != kReqGetWindow || wparam != kPlaylistWindowKind) return false;
  if (!window_) window_ = CreateOwnedMessageWindow(kPlaylistClass, "Playlist", WindowProc, this);
  *result = reinterpret_cast<intptr_t>(window_);
  return true;
}

LRESULT CALLBACK PlaylistWindow::WindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<PlaylistWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && msg == WM_COPYDATA && lparam != 0)
    return self->Insert(*reinterpret_cast<const COPYDATASTRUCT*>(lparam));
  return DefWindowProcA(window, msg, wparam, lparam);
}

LRESULT PlaylistWindow::Insert(const COPYDATASTRUCT& data) {
  if (data.dwData != kInsertFileNameW || data.lpData == nullptr) return FALSE;
  // The player reads the record without looking at cbData.
  const auto* info = static_cast<const FileInfoW*>(data.lpData);
  size_t length = 0;
  while (length < kPathUnits && info->file[length] != L'\0') ++length;
  // An empty name adds nothing; the answer is TRUE all the same.
  if (length > 0) insert_(info->index, std::wstring(info->file, length));
  return TRUE;
}

}  // namespace host
