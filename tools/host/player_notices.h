// What the player tells its own main window, and so every plug-in that
// subclassed it, when something changes: the notices are posted, the
// playing file is sent at once, as the player does.
#pragma once

#include <windows.h>

#include <string>

namespace host {

// Sub-codes of the posted "something changed" notice (lParam 603).
enum MiscNotice : int {
  kMiscTitle = 0,  // start, stop, pause
  kMiscVolume = 1,
  kMiscStatus = 2,  // start, stop, pause, unpause
  kMiscTitleRating = 6,
  kMiscPause = 7,
  kMiscUnpause = 8,  // after the status notice
};

class PlayerNotices {
 public:
  void SetWindow(HWND window) { window_ = window; }

  void Post(MiscNotice notice) const;
  // An item starts: its path sent ANSI (3003), then wide (13003), each
  // returning only once every subclass has seen it.
  void SendPlayingFile(const std::string& path, const std::wstring& wide_path) const;
  void SendPlaylistModified() const;

 private:
  HWND window_ = nullptr;  // none yet: nobody to tell
};

}  // namespace host
