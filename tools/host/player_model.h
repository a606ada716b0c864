// The player's state as the plug-in sees it: volume, playlist and current
// entry, play state and the video window. Every change is reported to a
// listener so the host can log it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "playlist.h"

namespace host {

enum class PlayState { kStopped = 0, kPlaying = 1, kPaused = 3 };

const char* PlayStateName(PlayState state);
bool ParsePlayState(const std::string& name, PlayState* state);

// Command identifiers the player's buttons and menus send as WM_COMMAND.
enum PlayerCommand : int {
  kCmdPrevious = 40044,
  kCmdPlay = 40045,
  kCmdPause = 40046,
  kCmdStop = 40047,
  kCmdNext = 40048,
  kCmdVideoWindow = 40328,
  kCmdFullscreen = 40337,
};

class PlayerModel {
 public:
  // Called with a field name ("volume", "position", "state", "video",
  // "entries", "fullscreen") and its new value as text.
  using ChangeListener = std::function<void(const char* field, const std::string& value)>;

  static constexpr int kMaxVolume = 255;

  void SetListener(ChangeListener listener) { listener_ = std::move(listener); }

  int volume() const { return volume_; }
  size_t position() const { return position_; }
  PlayState state() const { return state_; }
  bool video() const { return video_; }
  int fullscreen_requests() const { return fullscreen_requests_; }
  size_t length() const { return playlist_.size(); }

  // Clamps to 0..255.
  void SetVolume(long long volume);
  // Ignored (returns false) when outside the playlist.
  bool SetPosition(long long position);
  void SetState(PlayState state);
  void SetVideo(bool shown);
  void GeneratePlaylist(size_t count);
  bool LoadPlaylist(const std::string& path, std::string* error);
  // A file inserted as the playlist window takes it: before `index`, at
  // the end from length() on; the current entry stays current. `title` is
  // UTF-16.
  void InsertEntry(size_t index, const std::wstring& title);

  const char* Title(size_t index) { return playlist_.Title(index); }
  const wchar_t* WideTitle(size_t index) { return playlist_.WideTitle(index); }
  void SetUtf8Titles(bool utf8) { playlist_.SetUtf8(utf8); }

  // Applies a WM_COMMAND identifier as the player would; false when the
  // identifier is not one the player knows.
  bool ApplyCommand(int id);

 private:
  void Report(const char* field, const std::string& value);
  void AfterPlaylistChange();

  ChangeListener listener_;
  Playlist playlist_;
  int volume_ = 200;
  size_t position_ = 0;
  PlayState state_ = PlayState::kStopped;
  bool video_ = false;
  int fullscreen_requests_ = 0;
};

}  // namespace host
