#pragma once
// One search of the playlist for the titles that hold a text, for one page
// of matches. It runs in slices of a few milliseconds, so that the phone's
// lines are handled and the player's window answers between them, and it
// gives up waiting for a full page after a while.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "player/host_window.h"

namespace quillet {

// The longest a slice looks at titles.
constexpr std::uint32_t kSearchSliceMs = 20;
// The longest the phone's lines wait for a run of slices.
constexpr std::uint32_t kSearchStepMs = 200;
// Between two slices, for the player's window.
constexpr std::uint32_t kSearchBreatherMs = 1;
// A page not full after this long is shown with what it has.
constexpr std::uint32_t kSearchPatienceMs = 5000;

struct FoundTrack {
  std::int32_t index;
  std::u32string title;
};

class TrackSearch {
 public:
  // Why the search stopped.
  enum class End {
    kNone,      // it goes on
    kFull,      // no further match would fit the page
    kPlaylist,  // every title was looked at
    kPatience,  // the page waited long enough
  };
  // The bytes a match's entry takes on the page.
  using EntryCost = std::function<std::size_t(std::int32_t index, const std::u32string& title)>;

  TrackSearch(Platform& os, HostWindow& host) : os_(os), host_(host) {}

  // A fresh page: looks for `text` (in search form) from entry `from` on,
  // with `room` bytes for the matches' entries.
  void Start(std::u32string text, std::int32_t from, std::size_t room, EntryCost cost);
  // The same page goes on from the first entry not yet looked at, with the
  // same patience again.
  void Resume();
  // Looks at titles for one slice, up to the playlist's end as it is then:
  // true once the search has ended.
  bool Slice();

  End end() const { return end_; }
  const std::vector<FoundTrack>& found() const { return found_; }
  // The first entry not looked at.
  std::int32_t next() const { return next_; }
  std::int32_t length() const { return length_; }

 private:
  // A title as the player has it in Unicode, else through the code page.
  bool ReadTitle(std::int32_t index, std::u32string* title);
  // The title's search form, in storage kept from title to title.
  const std::u32string& Folded(const std::u32string& title);
  // Whether the smallest entry the next entry number could make still fits.
  bool RoomAfter(std::int32_t index) const;

  Platform& os_;
  HostWindow& host_;
  std::u32string text_;
  std::u32string titleForm_;  // a title's search form, kept for its storage
  EntryCost cost_;
  std::vector<FoundTrack> found_;
  std::size_t room_ = 0;
  std::size_t used_ = 0;
  std::int32_t next_ = 0;
  std::int32_t length_ = 0;
  std::uint32_t startedMs_ = 0;
  bool unicode_ = false;  // the player answers the UTF-16 title request
  bool probed_ = false;   // ... which is known once an entry answered
  End end_ = End::kNone;
};

}  // namespace quillet
