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

void PlayerModel::Tell(Notice notice) {
  if (notice_) notice_(notice);
}

void PlayerModel::SetVolume(long long volume) {
  if (volume < 0) volume = 0;
  if (volume > kMaxVolume) volume = kMaxVolume;
  volume_ = static_cast<int>(volume);
  Report("volume", std::to_string(volume_));
  Tell(Notice::kVolume);
}

bool PlayerModel::SetPosition(long long position) {
  if (position < 0 || static_cast<unsigned long long>(position) >= playlist_.size()) return false;
  position_ = static_cast<size_t>(position);
  Report("position", std::to_string(position_));
  return true;
}

void PlayerModel::SetState(PlayState state) {
  const PlayState before = state_;
  state_ = state;
  Report("state", PlayStateName(state_));
  if (state == before) return;
  switch (state) {
    case PlayState::kPlaying:
      Tell(before == PlayState::kPaused ? Notice::kUnpaused : Notice::kItemStarted);
      break;
    case PlayState::kPaused:
      Tell(Notice::kPaused);
      break;
    case PlayState::kStopped:
      Tell(Notice::kStopped);
      break;
  }
}

void PlayerModel::StartItem() {
  if (playlist_.size() == 0) return;
  state_ = PlayState::kPlaying;
  Report("state", PlayStateName(state_));
  Tell(Notice::kItemStarted);
}

void PlayerModel::MovedTo(size_t position) {
  position_ = position;
  Report("position", std::to_string(position_));
  if (state_ == PlayState::kPlaying) Tell(Notice::kItemStarted);
}

size_t PlayerModel::ShufflePick() {
  const size_t n = playlist_.size();
  shuffle_state_ = shuffle_state_ * 1103515245u + 12345u;
  size_t pick = (shuffle_state_ >> 16) % n;
  // A shuffle that picks the same entry again would look like no move.
  if (n > 1 && pick == position_) pick = (pick + 1) % n;
  return pick;
}

void PlayerModel::Advance(const char* cause, bool at_end) {
  const size_t n = playlist_.size();
  if (n == 0) return;
  AdvanceChoice choice{cause, ask_next_ ? ask_next_() : -1, "order", -1};
  if (choice.answer >= 0 && static_cast<unsigned long long>(choice.answer) < n) {
    choice.by = "answer";
    choice.entry = choice.answer;
  } else if (shuffle_) {
    choice.by = "shuffle";
    choice.entry = static_cast<long long>(ShufflePick());
  } else if (position_ + 1 < n || !at_end || repeat_) {
    choice.entry = static_cast<long long>((position_ + 1) % n);
  } else {
    choice.by = "stop";
  }
  if (advance_) advance_(choice);
  if (choice.entry < 0) {
    SetState(PlayState::kStopped);
  } else {
    MovedTo(static_cast<size_t>(choice.entry));
  }
}

bool PlayerModel::EndItem() {
  if (state_ != PlayState::kPlaying) return false;
  Advance("end", true);
  return true;
}

std::string PlayerModel::Path(size_t index) {
  const char* title = playlist_.Title(index);
  return title ? std::string("C:\\Music\\") + title + ".mp3" : std::string();
}

std::wstring PlayerModel::WidePath(size_t index) {
  if (index < files_.size() && !files_[index].empty()) return files_[index];
  const wchar_t* title = playlist_.WideTitle(index);
  return title ? std::wstring(L"C:\\Music\\") + title + L".mp3" : std::wstring();
}

void PlayerModel::SetVideo(bool shown) {
  video_ = shown;
  Report("video", shown ? "on" : "off");
}

int PlayerModel::Rating() const {
  const auto found = ratings_.find(position_);
  return found == ratings_.end() ? 0 : found->second;
}

bool PlayerModel::SetRating(long long rating) {
  if (!keeps_ratings_ || playlist_.size() == 0) return false;
  if (rating < 0) rating = 0;
  if (rating > kMaxRating) rating = kMaxRating;
  ratings_[position_] = static_cast<int>(rating);
  Report("rating", std::to_string(rating));
  Tell(Notice::kRating);
  return true;
}

void PlayerModel::AfterPlaylistChange() {
  // Ratings belong to the entries, which are new.
  ratings_.clear();
  Report("entries", std::to_string(playlist_.size()));
  if (position_ >= playlist_.size() && position_ != 0) {
    position_ = 0;
    Report("position", "0");
  }
  Tell(Notice::kPlaylist);
}

void PlayerModel::GeneratePlaylist(size_t count) {
  playlist_.Generate(count);
  files_.clear();
  AfterPlaylistChange();
}

bool PlayerModel::LoadPlaylist(const std::string& path, std::string* error) {
  if (!playlist_.LoadFile(path, error)) return false;
  files_.clear();
  AfterPlaylistChange();
  return true;
}

void PlayerModel::InsertEntry(size_t index, const std::wstring& title, const std::wstring& file) {
  if (index > playlist_.size()) index = playlist_.size();
  files_.resize(playlist_.size());
  files_.insert(files_.begin() + static_cast<std::ptrdiff_t>(index), file);
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
      if (n > 0) MovedTo(position_ == 0 ? n - 1 : position_ - 1);
      return true;
    case kCmdNext:
      Advance("next", false);
      return true;
    case kCmdPlay:
      // With nothing to play the player stays stopped.
      StartItem();
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
    case kCmdShuffle:
      shuffle_ = !shuffle_;
      Report("shuffle", shuffle_ ? "on" : "off");
      return true;
    case kCmdRepeat:
      repeat_ = !repeat_;
      Report("repeat", repeat_ ? "on" : "off");
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
