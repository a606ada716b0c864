#include "player_model.h"

namespace host {

const char* PlayStateName(PlayState state) {
  switch (state) {
    case PlayState::kPlaying:
      return "playing";
    case PlayState::kPaused:
      return "paused";
    case PlayState::kStopped:
      break;
  }
  return "stopped";
}

bool ParsePlayState(const std::string& name, PlayState* state) {
  if (name == "playing") {
    *state = PlayState::kPlaying;
  } else if (name == "paused") {
    *state = PlayState::kPaused;
  } else if (name == "stopped") {
    *state = PlayState::kStopped;
  } else {
    return false;
  }
  return true;
}

void PlayerModel::Report(const char* field, const std::string& value) {
  if (listener_) listener_(field, value);
}

void PlayerModel::SetVolume(long long volume) {
  if (volume < 0) volume = 0;
  if (volume > kMaxVolume) volume = kMaxVolume;
  volume_ = static_cast<int>(volume);
  Report("volume", std::to_string(volume_));
}

bool PlayerModel::SetPosition(long long position) {
  if (position < 0 || static_cast<unsigned long long>(position) >= playlist_.size()) return false;
  position_ = static_cast<size_t>(position);
  Report("position", std::to_string(position_));
  return true;
}

void PlayerModel::SetState(PlayState state) {
  state_ = state;
  Report("state", PlayStateName(state_));
}

void PlayerModel::SetVideo(bool shown) {
  video_ = shown;
  Report("video", shown ? "on" : "off");
}

void PlayerModel::AfterPlaylistChange() {
  Report("entries", std::to_string(playlist_.size()));
  if (position_ >= playlist_.size() && position_ != 0) {
    position_ = 0;
    Report("position", "0");
  }
}

void PlayerModel::GeneratePlaylist(size_t count) {
  playlist_.Generate(count);
  AfterPlaylistChange();
}

bool PlayerModel::LoadPlaylist(const std::string& path, std::string* error) {
  if (!playlist_.LoadFile(path, error)) return false;
  AfterPlaylistChange();
  return true;
}

void PlayerModel::InsertEntry(size_t index, const std::wstring& title) {
  if (index > playlist_.size()) index = playlist_.size();
  playlist_.Insert(index, TitleBytes(title, playlist_.utf8()));
  if (position_ >= index && playlist_.size() > 1) {
    ++position_;
    Report("position", std::to_string(position_));
  }
  AfterPlaylistChange();
}

bool PlayerModel::ApplyCommand(int id) {
  const size_t n = playlist_.size();
  switch (id) {
    case kCmdPrevious:
      if (n > 0) {
        position_ = position_ == 0 ? n - 1 : position_ - 1;
        Report("position", std::to_string(position_));
      }
      return true;
    case kCmdNext:
      if (n > 0) {
        position_ = (position_ + 1) % n;
        Report("position", std::to_string(position_));
      }
      return true;
    case kCmdPlay:
      // With nothing to play the player stays stopped.
      if (n > 0) SetState(PlayState::kPlaying);
      return true;
    case kCmdPause:
      if (state_ == PlayState::kPlaying) {
        SetState(PlayState::kPaused);
      } else if (state_ == PlayState::kPaused) {
        SetState(PlayState::kPlaying);
      }
      return true;
    case kCmdStop:
      SetState(PlayState::kStopped);
      return true;
    case kCmdVideoWindow:
      SetVideo(!video_);
      return true;
    case kCmdFullscreen:
      ++fullscreen_requests_;
      Report("fullscreen", std::to_string(fullscreen_requests_));
      return true;
    default:
      return false;
  }
}

}  // namespace host
