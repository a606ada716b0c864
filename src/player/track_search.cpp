#include "player/track_search.h"

#include "menus/phone_text.h"
#include "platform/host_messages.h"
#include "player/title_match.h"

namespace quillet {
namespace {

// A page holds at most this many matches, whatever their length.
constexpr std::size_t kMostMatches = 36;
// The shortest entry of a match: `,"N. x"`, its number's digits aside.
constexpr std::size_t kShortestEntry = 7;

std::size_t Digits(std::int64_t n) {
  std::size_t digits = 1;
  for (; n >= 10; n /= 10) ++digits;
  return digits;
}

}  // namespace

void TrackSearch::Start(std::u32string text, std::int32_t from, std::size_t room, EntryCost cost) {
  text_ = std::move(text);
  cost_ = std::move(cost);
  found_.clear();
  room_ = room;
  used_ = 0;
  next_ = from < 0 ? 0 : from;
  length_ = static_cast<std::int32_t>(host_.Request(0, host::kPlaylistLength));
  probed_ = false;
  startedMs_ = os_.NowMs();
  end_ = End::kNone;
}

void TrackSearch::Resume() {
  startedMs_ = os_.NowMs();
  if (end_ == End::kPatience) end_ = End::kNone;
}

bool TrackSearch::ReadTitle(std::int32_t index, std::u32string* title) {
  if ((unicode_ || !probed_) && host_.EntryTitleUtf16(index, title)) {
    probed_ = unicode_ = true;
    return true;
  }
  std::string_view ansi;
  if (!host_.EntryTitle(index, &ansi)) return false;
  // Settled on the first entry that is there: a player that does not answer
  // in UTF-16 would cost a second request for every title.
  probed_ = true;
  *title = FromUtf16(os_.AnsiToUnicode(ansi));
  return true;
}

const std::u32string& TrackSearch::Folded(const std::u32string& title) {
  SearchForm(title, &titleForm_);
  return titleForm_;
}

bool TrackSearch::RoomAfter(std::int32_t index) const {
  return found_.size() < kMostMatches &&
         used_ + kShortestEntry + Digits(std::int64_t{index} + 1) <= room_;
}

bool TrackSearch::Slice() {
  if (end_ != End::kNone) return true;
  // A playlist edited (or still loading) meanwhile: the search goes on up
  // to its end as it is now. A match found may have moved; choosing it
  // checks its title again.
  length_ = static_cast<std::int32_t>(host_.Request(0, host::kPlaylistLength));
  const std::uint32_t began = os_.NowMs();
  std::u32string title;
  while (next_ < length_) {
    const std::uint32_t now = os_.NowMs();
    if (ElapsedMs(startedMs_, now) >= kSearchPatienceMs) {
      end_ = End::kPatience;
      return true;
    }
    if (ElapsedMs(began, now) >= kSearchSliceMs) return false;
    if (ReadTitle(next_, &title) && Holds(Folded(title), text_)) {
      const std::size_t cost = cost_(next_, title);
      if (used_ + cost > room_) {
        // Its page is the next one, which starts with it.
        end_ = End::kFull;
        return true;
      }
      used_ += cost;
      found_.push_back({next_, title});
      ++next_;
      if (!RoomAfter(next_)) {
        end_ = next_ < length_ ? End::kFull : End::kPlaylist;
        return true;
      }
      continue;
    }
    ++next_;
  }
  end_ = End::kPlaylist;
  return true;
}

}  // namespace quillet
