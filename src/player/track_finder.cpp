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
  for (FoundPage& page : pages_) {
    page.menu.id = kFindPageId;
    page.menu.parent = kMainMenuId;
    page.menu.items = page.items;
  }
}

bool TrackFinder::IsEntry(const MenuItem& item) const {
  return menus_.IsMainItem(item, MainEntry::kFindTrack);
}

bool TrackFinder::Serves(std::int32_t id) const {
  if (!inUse_) return false;
  return (id >= kFindPageId && id <= kFindMoreId) ||
         (id >= kFirstMatchId && id < kFirstMatchId + static_cast<std::int32_t>(kFindItemCount));
}

bool TrackFinder::TypedPlace(TextPlace* place) {
  const MenuItem* entry = menus_.MainItem(MainEntry::kFindTrack);
  if (entry == nullptr) return false;
  *place = TextPlace::Of(menus_.mainMenu, *entry, TextPlace::Field::kCurrent);
  return true;
}

void TrackFinder::Typed(const std::u32string& text) {
  // The code page may lack its letters: the search and the dialog's next
  // opening take it as typed.
  TextPlace place;
  if (texts_ && TypedPlace(&place)) texts_->Hold(place, text);
}

void TrackFinder::Ask() {
  const MenuItem* entry = menus_.MainItem(MainEntry::kFindTrack);
  const std::string typed = entry != nullptr ? TextBuffer(*entry) : std::string();
  TextPlace place;
  const bool held = texts_ != nullptr && TypedPlace(&place);
  std::u32string wide = held ? texts_->Of(place, typed) : FromUtf16(os_.AnsiToUnicode(typed));
  std::u32string form = SearchForm(wide);
  if (form.empty()) {
    // Nothing to look for (marks alone fold away and would be in every
    // title): the dialog offers the last text again.
    std::memcpy(menus_.findText, text_.c_str(), text_.size() + 1);
    if (held) texts_->Hold(place, wide_);
    return;
  }
  text_ = typed;
  wide_ = std::move(wide);
  form_ = std::move(form);
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
  const std::vector<std::int32_t>& starts = pages_[current_].starts;
  if (goal == Goal::kMore) from_ = from = starts.empty() ? 0 : starts.back();
  searchIsPage_ = false;
  const bool previous = goal == Goal::kNextPage ||
                        (goal == Goal::kPreviousPage && starts.size() > 2) ||
                        (goal == Goal::kMore && starts.size() > 1);
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
  // The page on the phone stays as it is until the phone takes this one.
  const int spare = shown_ == 0 ? 1 : 0;
  FoundPage& page = pages_[spare];
  if (spare != current_) page.starts = pages_[current_].starts;
  switch (goal_) {
    case Goal::kFirstPage:
      page.starts.assign(1, 0);
      break;
    case Goal::kNextPage:
      page.starts.push_back(from_);
      break;
    case Goal::kPreviousPage:
      if (page.starts.size() > 1) page.starts.pop_back();
      break;
    case Goal::kMore:
      break;
  }
  // After "More..." the first match it added is selected, else the first.
  Build(page, goal_ == Goal::kMore ? pages_[current_].matches.size() : 0);
  current_ = spare;
  searchIsPage_ = true;
  inUse_ = true;
  return true;
}

void TrackFinder::Taken(bool ours) {
  shown_ = ours ? current_ : -1;
}

void TrackFinder::Refused() {
  if (shown_ < 0) {
    // None of ours is up: the ids are free.
    inUse_ = false;
    return;
  }
  // The search's state was the refused page's: only what "More..." found
  // still goes on from the page shown.
  if (current_ != shown_ && goal_ != Goal::kMore) searchIsPage_ = false;
  current_ = shown_;
  inUse_ = true;
}

Menu* TrackFinder::Page(std::int32_t id) {
  FoundPage& page = pages_[current_];
  if (id == kFindPreviousId && page.starts.size() > 1) {
    Begin(Goal::kPreviousPage, page.starts[page.starts.size() - 2]);
  } else if (id == kFindNextId) {
    Begin(Goal::kNextPage, page.nextFrom);
  } else if (id == kFindMoreId) {
    Begin(Goal::kMore, 0);
  } else if (id >= kFirstMatchId) {
    const auto match = static_cast<std::size_t>(id - kFirstMatchId);
    if (match < page.matches.size()) {
      Play(page.matches[match]);
      page.menu.selection = page.firstMatchItem + static_cast<std::int32_t>(match);
    }
  }
  return &page.menu;
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
  Label(nullptr, probe, FoundTrack{index, title});
  return EntryBytes(probe.name);
}

void TrackFinder::Label(const Menu* record, MenuItem& item, const FoundTrack& match) {
  item = MenuItem{};
  item.kind = kSubmenu;
  if (texts_ && record != nullptr) {
    const std::u32string label = WideLabel(match.index, match.title);
    texts_->Hold(TextPlace::Of(*record, item, TextPlace::Field::kName), label);
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

void TrackFinder::Build(FoundPage& page, std::size_t before) {
  Menu& menu = page.menu;
  if (texts_) {
    texts_->ReleaseRecord(&menu);
  }
  const std::vector<FoundTrack>& found = search_.found();
  const bool previous = page.starts.size() > 1;
  page.nextFrom = search_.next();
  page.matches.clear();
  if (found.empty() && !previous && search_.end() != TrackSearch::End::kPatience) {
    // Nothing anywhere: a notice, whose answer goes back to the main menu.
    menu.count = 0;
    menu.selection = 0;
    SetFieldText(menu.title, kFindTrackTitle);
    if (texts_) {
      const std::u32string text = Widen("No title contains ") + wide_ + U".";
      texts_->Hold(TextPlace::Text(menu), text);
      const std::string ansi = texts_->ToAnsi(text, sizeof page.notice - 1);
      std::memcpy(page.notice, ansi.c_str(), ansi.size() + 1);
    } else {
      std::snprintf(page.notice, sizeof page.notice, kNoMatchFormat, text_.c_str());
    }
    menu.text = page.notice;
    return;
  }
  menu.text = nullptr;
  std::int32_t count = 0;
  if (previous) Fixed(page.items[count++], kPreviousPageEntry, kFindPreviousId);
  page.firstMatchItem = count;
  for (const FoundTrack& match : found) {
    MenuItem& item = page.items[count];
    Label(&menu, item, match);
    item.id = kFirstMatchId + static_cast<std::int32_t>(page.matches.size());
    page.matches.push_back(match.index);
    ++count;
  }
  if (search_.end() == TrackSearch::End::kPatience) {
    Fixed(page.items[count++], kMoreName, kFindMoreId);
  } else if (search_.end() == TrackSearch::End::kFull && search_.next() < search_.length()) {
    Fixed(page.items[count++], kNextPageEntry, kFindNextId);
  }
  menu.count = count;
  const std::size_t selected = before < page.matches.size() ? before : 0;
  menu.selection =
      page.matches.empty() ? 0 : page.firstMatchItem + static_cast<std::int32_t>(selected);
  SetFieldText(menu.title, text_);
  if (texts_) texts_->Hold(TextPlace::Title(menu), wide_);
}

}  // namespace quillet
