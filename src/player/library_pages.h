#pragma once
// The media library on the phone: the main menu's "Library" entry opens a
// page of artists, albums and a search; an album, an artist's tracks or one
// track can be played now, next or added to the playlist. Every request of
// the library and every insert runs where the player's messages are plain
// calls (its own thread); the pages are built here, on the monitor thread,
// each into a record other than the one on the phone, so a page the phone
// refuses leaves the one it shows, and the state it was built from, as they
// were. The ids are served only while the pages are in use.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "menus/built_in_menus.h"
#include "menus/menu_texts.h"
#include "platform/library_calls.h"
#include "player/host_window.h"
#include "player/library_lists.h"
#include "player/library_query.h"
#include "player/library_ranges.h"
#include "player/library_store.h"

namespace quillet {

// The entries every page's record may hold, by id.
constexpr std::int32_t kLibraryArtistsId = 301;
constexpr std::int32_t kLibraryAlbumsId = 302;
constexpr std::int32_t kLibrarySearchId = 303;    // the Text entry "Search library"
constexpr std::int32_t kLibraryUpId = 304;        // back: the page above
constexpr std::int32_t kLibraryHereId = 305;      // a notice's answer: the page it came from
constexpr std::int32_t kLibraryPreviousId = 306;  // "<<"
constexpr std::int32_t kLibraryNextId = 307;      // ">>"
constexpr std::int32_t kLibraryPlayNowId = 308;
constexpr std::int32_t kLibraryPlayNextId = 309;
constexpr std::int32_t kLibraryAddId = 310;
constexpr std::int32_t kLibraryAllTracksId = 311;
constexpr std::int32_t kLibraryFirstPickId = 320;  // the list's entries, one id each
constexpr std::int32_t kLongestSearchText = kLongestFindText;

class LibraryPages {
 public:
  // Runs a piece of work where the player's messages are cheapest and safe.
  using CallRunner = std::function<void(const std::function<void()>& work)>;
  using Tracer = std::function<void(const std::string& line)>;

  // `calls` null: a player without a library.
  LibraryPages(Platform& os, BuiltInMenus& menus, HostWindow& host, LibraryCalls* calls,
               MenuTexts* texts = nullptr, Tracer trace = nullptr);
  LibraryPages(const LibraryPages&) = delete;
  LibraryPages& operator=(const LibraryPages&) = delete;
  void UseTexts(MenuTexts* texts) { texts_ = texts; }
  void RunCallsWith(CallRunner runner) { run_ = std::move(runner); }
  // Player's thread: with shuffle on, the entry put next is answered once
  // to the player's question of what plays next.
  using NextAnswer = std::function<void(std::int32_t entry, std::u16string file)>;
  void AnswerNextWith(NextAnswer answer) { answerNext_ = std::move(answer); }

  // The main menu's entry opens the pages; the others only while in use.
  bool Serves(std::int32_t id) const;
  // A choice on the page shown, or the entry: the record that follows.
  Menu* Page(std::int32_t id);
  // Another menu was opened: the ids are free and what was read is let go.
  void Leave();

  // The search entry of the page shown.
  bool IsSearchEntry(const MenuItem& item) const;
  // Its text as the phone sent it, in Unicode (with a Charset).
  void Typed(const std::u32string& text) {
    typed_ = text;
    hasTyped_ = true;
  }
  // Its text was answered: the matches, a notice, or null when nothing was
  // typed (the last text is offered again).
  Menu* Search();

  bool Owns(const Menu* menu) const {
    return menu == &records_[0].menu || menu == &records_[1].menu;
  }
  void Taken(bool ours);
  void Refused();

  // The bytes held for the pages, for the memory benchmark.
  std::size_t BytesHeld() const;

 private:
  struct View {
    enum class Kind : std::uint8_t { kTop, kArtists, kAlbums, kArtist, kTracks, kMatches, kTrack };
    Kind kind = Kind::kTop;
    RangePage range;                  // kArtists, kAlbums
    std::vector<std::size_t> starts;  // lists: where each page up to this one began
    std::uint32_t track = 0;          // kTrack
    std::u32string title;
    std::int32_t selected = 0;  // the entry chosen last on the page
  };
  // A page as built: its record and what its list entries mean.
  struct Built {
    Menu menu{};
    MenuItem items[kMostPageItems]{};
    char notice[128]{};
    std::vector<RangeEntry> ranges;    // kArtists, kAlbums
    std::vector<std::uint32_t> picks;  // lists: album text ids or tracks
    std::int32_t firstPick = 0;        // the item of the first pick
    std::size_t nextFrom = 0;          // where ">>" begins
  };
  enum class Act { kNow, kNext, kAdd };

  void OnPlayerThread(const std::function<void()>& work);
  // A request read into `store`; false (and the notice made) for no library.
  bool Read(const LibraryRequest& request, LibraryStore& store);
  Menu* Notice(const std::string& title, const std::u32string& text, std::int32_t back);
  Menu* NoLibrary();
  Menu* Build();
  void BuildRanges(Built& page, const View& view);
  void BuildList(Built& page, const View& view);
  Menu* Choose(std::int32_t pick);
  Menu* Perform(Act act);
  std::u32string NameLabel(const View& view, std::size_t name) const;
  void Label(Built& page, MenuItem& item, const std::u32string& label, std::int32_t id);
  std::size_t EntryBytes(const std::u32string& label) const;
  Built& Spare() { return records_[shown_ == 0 ? 1 : 0]; }

  Platform& os_;
  BuiltInMenus& menus_;
  HostWindow& host_;
  LibraryCalls* calls_;
  MenuTexts* texts_;
  Tracer trace_;
  CallRunner run_;
  NextAnswer answerNext_;

  // The artists and albums of the whole library, and the tracks of the
  // artist, album or search in use, with the lists made from them.
  LibraryStore names_;
  LibraryStore tracks_;
  std::vector<LibraryStore::TextId> artists_;
  std::vector<LibraryAlbum> albums_;
  std::vector<ArtistAlbum> artistAlbums_;  // by year
  std::vector<std::uint32_t> list_;        // the tracks of the album or search in use

  // The text searched, as typed, and what the phone sent last.
  char searchText_[kLongestSearchText + 1]{};
  std::string lastText_;
  std::u32string wide_;
  std::u32string typed_;
  bool hasTyped_ = false;

  bool inUse_ = false;
  std::vector<View> stack_;       // the pages above and the one served
  std::vector<View> shownStack_;  // as they were for the page on the phone
  Built records_[2];
  int current_ = 0;  // the record served
  int shown_ = -1;   // the record on the phone, -1 for none
};

}  // namespace quillet
