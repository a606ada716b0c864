#pragma once
// Finding tracks by name: the text typed for the main menu's "Find track"
// entry starts a search, and its matches come as pages of their own, with
// "<<" and ">>" among the entries and every match a choice that plays it.
// The pages are built only once a search has ended, into a record other than
// the one on the phone, so the page on the phone and its record always agree,
// and a page the phone refuses leaves the one it shows as it was. Monitor
// thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "menus/built_in_menus.h"
#include "menus/menu_texts.h"
#include "player/host_window.h"
#include "player/track_search.h"

namespace quillet {

// The page of matches and its entries' ids: served only while the page is
// in use, otherwise ids like any other unused one.
constexpr std::int32_t kFindPageId = 200;
constexpr std::int32_t kFindPreviousId = 201;  // "<<"
constexpr std::int32_t kFindNextId = 202;      // ">>"
constexpr std::int32_t kFindMoreId = 203;      // "More..."
constexpr std::int32_t kFirstMatchId = 210;
constexpr std::size_t kFindItemCount = 40;

class TrackFinder {
 public:
  // Runs one slice of a search: where titles are cheapest to read.
  using SliceRunner = std::function<void(const std::function<void()>& slice)>;

  TrackFinder(Platform& os, BuiltInMenus& menus, HostWindow& host, MenuTexts* texts = nullptr);
  TrackFinder(const TrackFinder&) = delete;
  TrackFinder& operator=(const TrackFinder&) = delete;
  void UseTexts(MenuTexts* texts) { texts_ = texts; }
  void RunSlicesWith(SliceRunner runner) { runSlice_ = std::move(runner); }

  // The main menu's "Find track" entry, while it is shown.
  bool IsEntry(const MenuItem& item) const;
  // The entry's text as the phone sent it, in Unicode (with a Charset).
  void Typed(const std::u32string& text);
  // The entry's text was answered: a search for it begins, or, for an
  // empty text, the last one searched is put back and nothing begins.
  void Ask();
  // A page id while the pages are in use.
  bool Serves(std::int32_t id) const;
  // A choice on the page: a match plays; "<<", ">>" and "More..." begin a
  // search. The page record (as it was until that search ends).
  Menu* Page(std::int32_t id);
  // Another menu was opened: the page's ids are free again.
  void Leave() { inUse_ = false; }

  bool Searching() const { return searching_; }
  // One slice; true once the search has ended and the page is ready.
  bool Step();
  // A new code from the phone, or the connection gone: the search ends
  // unseen.
  void Stop() { searching_ = false; }
  Menu* page() { return &pages_[current_].menu; }
  // The phone shows what was sent: `ours`, the page served.
  void Taken(bool ours);
  // The phone refused what was sent: the page it shows is served again.
  void Refused();

 private:
  enum class Goal { kFirstPage, kNextPage, kPreviousPage, kMore };
  // A page of matches as built: its record, and what its entries mean.
  struct FoundPage {
    Menu menu{};
    MenuItem items[kFindItemCount]{};
    char notice[kFieldSize + 32]{};
    // Where each page up to this one began, this one last.
    std::vector<std::int32_t> starts;
    // The matches on the page, by entry.
    std::vector<std::int32_t> matches;
    std::int32_t firstMatchItem = 0;
    // Where ">>" on the page begins.
    std::int32_t nextFrom = 0;
  };

  void Begin(Goal goal, std::int32_t from);
  // Where the entry's text is held as typed, while the main menu shows it.
  bool TypedPlace(TextPlace* place);
  // Puts what the search found into `page`: a page, or the notice.
  // `before`: the matches "More..." had already shown.
  void Build(FoundPage& page, std::size_t before);
  // `record` holds `item`; null for a probe, whose text is not kept.
  void Label(const Menu* record, MenuItem& item, const FoundTrack& match);
  void Fixed(MenuItem& item, const char* name, std::int32_t id);
  // The bytes a match's entry takes on the phone.
  std::size_t EntryCost(std::int32_t index, const std::u32string& title);
  // Entry `index` becomes the player's and plays, if it still holds the text.
  void Play(std::int32_t index);

  Platform& os_;
  BuiltInMenus& menus_;
  HostWindow& host_;
  MenuTexts* texts_;
  SliceRunner runSlice_;
  TrackSearch search_;
  // The text last searched, as typed (code page) and in search form.
  std::string text_;
  std::u32string wide_;
  std::u32string form_;
  Goal goal_ = Goal::kFirstPage;
  std::int32_t from_ = 0;
  bool searching_ = false;
  // The search's state is the page served's, so "More..." goes on from it.
  bool searchIsPage_ = false;
  bool inUse_ = false;
  // Two records: the one on the phone, and the one the next page fills.
  FoundPage pages_[2];
  int current_ = 0;  // the page served
  int shown_ = -1;   // the page on the phone, -1 for none
};

}  // namespace quillet
