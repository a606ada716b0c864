#include "player/track_finder.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "menus/phone_text.h"
#include "platform/host_messages.h"
#include "player/title_match.h"

namespace quillet {
namespace {

constexpr char kMoreName[] = "More...";
constexpr char kNoMatchFormat[] = "No title contains %s.";
// An entry's bytes beyond its label: a comma and two double quotes.
constexpr std::size_t kEntryFrame = 3;

std::size_t EntryBytes(const char* name) {
  return std::strlen(name) + kEntryFrame;
}

// The bytes the page's own entries leave to the matches: the protocol's
// budget, less "<<" when there is a page before, less the longest entry
// that may end the page (">>" or "More...").
std::size_t MatchRoom(bool previous) {
  return kPageBudget - 1 - (previous ? EntryBytes(kPreviousPageEntry) : 0) - EntryBytes(kMoreName);
}

std::u32string WideLabel(std::int32_t index, const std::u32string& title) {
  return CutLabel(Widen(std::to_string(std::int64_t{index} + 1) + ". ") + title);
}

}  // namespace

TrackFinder::TrackFinder(Platform& os, BuiltInMenus& menus, HostWindow& host, MenuTexts* texts)
    : os_(os), menus_(menus), host_(host), texts_(texts), search_(os, host) {
  page_.id = kFindPageId;
  page_.parent = kMainMenuId;
  page_.items = items_;
}

bool TrackFinder::IsEntry(const MenuItem& item) const {
  return menus_.IsMainItem(item, MainEntry::kFindTrack);
}

bool TrackFinder::Serves(std::int32_t id) const {
  if (!inUse_) return false;
  return (id >= kFindPageId && id <= kFindMoreId) ||
         (id >= kFirstMatchId && id < kFirstMatchId + static_cast<std::int32_t>(kFindItemCount));
}

void TrackFinder::Ask() {
  const MenuItem* entry = menus_.MainItem(MainEntry::kFindTrack);
  const std::string typed = entry != nullptr ? TextBuffer(*entry) : std::string();
  std::u32string wide = texts_ ? texts_->FromAnsi(typed) : FromUtf16(os_.AnsiToUnicode(typed));
  std::u32string form = SearchForm(wide);
  if (form.empty()) {
    // Nothing to look for (marks alone fold away and would be in every
    // title): the dialog offers the last text again.
    std::memcpy(menus_.findText, text_.c_str(), text_.size() + 1);
    return;
  }
  text_ = typed;
  wide_ = std::move(wide);
  form_ = std::move(form);
  pageStarts_.clear();
  Begin(Goal::kFirstPage, 0);
}

void TrackFinder::Begin(Goal goal, std::int32_t from) {
  goal_ = goal;
  from_ = from;
  searching_ = true;
  if (goal == Goal::kMore && searchIsPage_) {
    search_.Resume();
    return;
  }
  // "More..." after a search that did not end: the page looks afresh.
  if (goal == Goal::kMore) from_ = from = pageStarts_.empty() ? 0 : pageStarts_.back();
  searchIsPage_ = false;
  const bool previous = goal == Goal::kNextPage ||
                        (goal == Goal::kPreviousPage && pageStarts_.size() > 2) ||
                        (goal == Goal::kMore && pageStarts_.size() > 1);
  search_.Start(
      form_, from, MatchRoom(previous),
      [this](std::int32_t index, const std::u32string& title) { return EntryCost(index, title); });
}

bool TrackFinder::Step() {
  if (!searching_) return false;
  bool ended = false;
  const std::function<void()> slice = [this, &ended] { ended = search_.Slice(); };
  // Slices for a while, the phone's lines after them. Between two, a pause
  // gives the player's window its own messages: sent ones, as the next
  // slice is, would come before them.
  const std::uint32_t began = os_.NowMs();
  for (;;) {
    if (runSlice_) {
      runSlice_(slice);
    } else {
      slice();
    }
    if (ended || ElapsedMs(began, os_.NowMs()) >= kSearchStepMs) break;
    os_.Sleep(kSearchBreatherMs);
  }
  if (!ended) return false;
  searching_ = false;
  switch (goal_) {
    case Goal::kFirstPage:
      pageStarts_.assign(1, 0);
      break;
    case Goal::kNextPage:
      pageStarts_.push_back(from_);
      break;
    case Goal::kPreviousPage:
      if (pageStarts_.size() > 1) pageStarts_.pop_back();
      break;
    case Goal::kMore:
      break;
  }
  Build();
  searchIsPage_ = true;
  inUse_ = true;
  return true;
}

Menu* TrackFinder::Page(std::int32_t id) {
  if (id == kFindPreviousId && pageStarts_.size() > 1) {
    Begin(Goal::kPreviousPage, pageStarts_[pageStarts_.size() - 2]);
  } else if (id == kFindNextId) {
    Begin(Goal::kNextPage, nextFrom_);
  } else if (id == kFindMoreId) {
    Begin(Goal::kMore, 0);
  } else if (id >= kFirstMatchId) {
    const auto match = static_cast<std::size_t>(id - kFirstMatchId);
    if (match < shown_.size()) {
      Play(shown_[match]);
      page_.selection = firstMatchItem_ + static_cast<std::int32_t>(match);
    }
  }
  return &page_;
}

void TrackFinder::Play(std::int32_t index) {
  // The playlist may have changed since the page was built: only the title
  // the user saw is played.
  if (index >= static_cast<std::int32_t>(host_.Request(0, host::kPlaylistLength))) return;
  std::u32string title;
  if (!host_.EntryTitleUnicode(index, &title) || !Holds(SearchForm(title), form_)) return;
  host_.Request(static_cast<std::uintptr_t>(index), host::kSetPosition);
  host_.Command(host::kCommandPlay);
}

std::size_t TrackFinder::EntryCost(std::int32_t index, const std::u32string& title) {
  if (texts_) return texts_->Out(WideLabel(index, title)).size() + kEntryFrame;
  MenuItem probe{};
  Label(probe, FoundTrack{index, title});
  return EntryBytes(probe.name);
}

void TrackFinder::Label(MenuItem& item, const FoundTrack& match) {
  item = MenuItem{};
  item.kind = kSubmenu;
  if (texts_) {
    const std::u32string label = WideLabel(match.index, match.title);
    texts_->Hold(TextPlace::Of(page_, item, TextPlace::Field::kName), label);
    SetFieldText(item.name, texts_->ToAnsi(label, kLongestLabel));
    return;
  }
  const std::string ansi = os_.UnicodeToAnsi(ToUtf16(match.title));
  FormatLabel(item.name, "%lld. %.*s", static_cast<long long>(match.index) + 1,
              static_cast<int>(ansi.size()), ansi.data());
}

void TrackFinder::Fixed(MenuItem& item, const char* name, std::int32_t id) {
  item = MenuItem{};
  SetFieldText(item.name, name);
  item.kind = kSubmenu;
  item.id = id;
}

void TrackFinder::Build() {
  if (texts_) {
    texts_->ReleaseRecord(&page_);
  }
  const std::vector<FoundTrack>& found = search_.found();
  const bool previous = pageStarts_.size() > 1;
  nextFrom_ = search_.next();
  // After "More..." the first match it added is selected, else the first.
  const std::size_t before = goal_ == Goal::kMore ? shown_.size() : 0;
  shown_.clear();
  if (found.empty() && !previous && search_.end() != TrackSearch::End::kPatience) {
    // Nothing anywhere: a notice, whose answer goes back to the main menu.
    page_.count = 0;
    page_.selection = 0;
    SetFieldText(page_.title, kFindTrackTitle);
    if (texts_) {
      const std::u32string text = Widen("No title contains ") + wide_ + U".";
      texts_->Hold(TextPlace::Text(page_), text);
      const std::string ansi = texts_->ToAnsi(text, sizeof notice_ - 1);
      std::memcpy(notice_, ansi.c_str(), ansi.size() + 1);
    } else {
      std::snprintf(notice_, sizeof notice_, kNoMatchFormat, text_.c_str());
    }
    page_.text = notice_;
    return;
  }
  page_.text = nullptr;
  std::int32_t count = 0;
  if (previous) Fixed(items_[count++], kPreviousPageEntry, kFindPreviousId);
  firstMatchItem_ = count;
  for (const FoundTrack& match : found) {
    MenuItem& item = items_[count];
    Label(item, match);
    item.id = kFirstMatchId + static_cast<std::int32_t>(shown_.size());
    shown_.push_back(match.index);
    ++count;
  }
  if (search_.end() == TrackSearch::End::kPatience) {
    Fixed(items_[count++], kMoreName, kFindMoreId);
  } else if (search_.end() == TrackSearch::End::kFull && search_.next() < search_.length()) {
    Fixed(items_[count++], kNextPageEntry, kFindNextId);
  }
  page_.count = count;
  const std::size_t selected = before < shown_.size() ? before : 0;
  page_.selection = shown_.empty() ? 0 : firstMatchItem_ + static_cast<std::int32_t>(selected);
  SetFieldText(page_.title, text_);
  if (texts_) texts_->Hold(TextPlace::Title(page_), wide_);
}

}  // namespace quillet
