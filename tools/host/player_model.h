// The player's state as the plug-in sees it: volume, playlist and current
// entry, play state and the video window. Every change is reported to a
// listener so the host can log it.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

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
  // Toggles: the player's only way of flipping these two switches, whether
  // they come as WM_COMMAND or WM_SYSCOMMAND.
  kCmdRepeat = 40022,
  kCmdShuffle = 40023,
};

class PlayerModel {
 public:
  // Called with a field name ("volume", "position", "state", "video",
  // "entries", "fullscreen", "shuffle", "repeat", "rating") and its new
  // value as text.
  using ChangeListener = std::function<void(const char* field, const std::string& value)>;

  // What the player tells its window about (see player_notices.h).
  enum class Notice {
    kItemStarted,  // the current entry starts playing
    kStopped,
    kPaused,
    kUnpaused,
    kVolume,
    kPlaylist,  // the playlist was replaced
    kRating,
  };
  using NoticeListener = std::function<void(Notice)>;

  // The player asks its window which entry comes next (a plug-in may
  // answer); -1 leaves the choice to the player.
  using NextQuestion = std::function<long long()>;
  // How the next entry was chosen, on Next or at a track's end.
  struct AdvanceChoice {
    const char* cause;  // "next" or "end"
    long long answer;   // what the window answered
    const char* by;     // "answer", "shuffle", "order" or "stop"
    long long entry;    // -1 when the player stopped
  };
  using AdvanceListener = std::function<void(const AdvanceChoice&)>;

  static constexpr int kMaxVolume = 255;
  static constexpr int kMaxRating = 5;

  void SetListener(ChangeListener listener) { listener_ = std::move(listener); }
  void SetNoticeListener(NoticeListener listener) { notice_ = std::move(listener); }
  void SetNextQuestion(NextQuestion ask) { ask_next_ = std::move(ask); }
  void SetAdvanceListener(AdvanceListener listener) { advance_ = std::move(listener); }

  int volume() const { return volume_; }
  size_t position() const { return position_; }
  PlayState state() const { return state_; }
  bool video() const { return video_; }
  int fullscreen_requests() const { return fullscreen_requests_; }
  size_t length() const { return playlist_.size(); }
  bool shuffle() const { return shuffle_; }
  bool repeat() const { return repeat_; }

  // Clamps to 0..255.
  void SetVolume(long long volume);
  // Ignored (returns false) when outside the playlist. Moves only the
  // current entry: what plays goes on playing.
  bool SetPosition(long long position);
  // Stopped to playing starts the current entry; paused to playing goes on.
  void SetState(PlayState state);
  // The current entry starts from its beginning, whatever the state was.
  void StartItem();
  // The playing entry has played to its end: the player goes on as then.
  // False when nothing is playing.
  bool EndItem();
  void SetVideo(bool shown);
  // A player without a ratings store: a rating set is not kept.
  void SetKeepsRatings(bool keeps) { keeps_ratings_ = keeps; }
  // The rating (0-5) of the current entry, not necessarily the playing one.
  int Rating() const;
  // Clamps to 0..5; false when not kept (no ratings store, empty playlist).
  bool SetRating(long long rating);
  void GeneratePlaylist(size_t count);
  bool LoadPlaylist(const std::string& path, std::string* error);
  // A file inserted as the playlist window takes it: before `index`, at
  // the end from length() on; the current entry stays current. `title` is
  // UTF-16.
  void InsertEntry(size_t index, const std::wstring& title, const std::wstring& file = {});

  const char* Title(size_t index) { return playlist_.Title(index); }
  const wchar_t* WideTitle(size_t index) { return playlist_.WideTitle(index); }
  // The entry's file: the one inserted, else made from its title:
  // "C:\Music\<title>.mp3".
  std::string Path(size_t index);
  std::wstring WidePath(size_t index);
  void SetUtf8Titles(bool utf8) { playlist_.SetUtf8(utf8); }

  // Applies a WM_COMMAND identifier as the player would; false when the
  // identifier is not one the player knows.
  bool ApplyCommand(int id);

 private:
  void Report(const char* field, const std::string& value);
  void Tell(Notice notice);
  // Position moved by the player's Next/Previous: a playing player plays it.
  void MovedTo(size_t position);
  // Asks the window, then takes its answer if it names an entry, else the
  // player's own choice; `at_end` stops after the last entry without repeat.
  void Advance(const char* cause, bool at_end);
  size_t ShufflePick();
  void AfterPlaylistChange();

  ChangeListener listener_;
  NoticeListener notice_;
  NextQuestion ask_next_;
  AdvanceListener advance_;
  // The shuffle's own picks: pseudo-random, the same in every run.
  unsigned shuffle_state_ = 12345;
  Playlist playlist_;
  // The files inserted, by entry; empty where the file is made from the title.
  std::vector<std::wstring> files_;
  int volume_ = 200;
  size_t position_ = 0;
  PlayState state_ = PlayState::kStopped;
  bool video_ = false;
  int fullscreen_requests_ = 0;
  bool shuffle_ = false;
  bool repeat_ = false;
  bool keeps_ratings_ = true;
  std::map<size_t, int> ratings_;  // by entry; a million entries rate nothing up front
};

}  // namespace host
