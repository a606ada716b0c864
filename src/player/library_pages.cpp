#include "player/library_pages.h"

#include <algorithm>
#include <cstring>

#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "menus/phone_text.h"
#include "platform/host_messages.h"
#include "player/library_query.h"
#include "player/library_reader.h"

namespace quillet {
namespace {

constexpr char kArtistsName[] = "Artists";
constexpr char kAlbumsName[] = "Albums";
constexpr char kSearchName[] = "Search library";
constexpr char kSearchPrompt[] = "Artist, album or title";
constexpr char kAllTracksName[] = "All tracks";
constexpr char kPreviousRangeName[] = "<<<";
constexpr char kNextRangeName[] = ">>>";
constexpr const char* kActNames[] = {"Play now", "Play next", "Add to playlist"};
constexpr std::int32_t kActIds[] = {kLibraryPlayNowId, kLibraryPlayNextId, kLibraryAddId};
constexpr std::size_t kActCount = 3;
// An entry's bytes beyond its label: a comma and two double quotes.
constexpr std::size_t kEntryFrame = 3;

constexpr char32_t kNoLibraryText[] = U"The player has no media library.";
constexpr char32_t kNotTakenText[] = U"The playlist did not take it.";
constexpr char32_t kNothingToShowText[] = U"No item to display.";

std::int32_t Int32(std::intptr_t value) {
  return static_cast<std::int32_t>(value);
}

// An artist's tracks album by album, as its page lists the albums; those
// on no album last.
std::vector<std::uint32_t> ArtistTracks(const LibraryStore& store,
                                        const std::vector<ArtistAlbum>& albums) {
  std::vector<std::uint32_t> tracks;
  tracks.reserve(store.size());
  for (const ArtistAlbum& album : albums) {
    const std::vector<std::uint32_t> part = AlbumTracks(store, album.album);
    tracks.insert(tracks.end(), part.begin(), part.end());
  }
  for (const std::uint32_t track : AlbumTracks(store))
    if (store.Id(track, LibraryField::kAlbum) == LibraryStore::kEmptyText) tracks.push_back(track);
  return tracks;
}

}  // namespace

LibraryPages::LibraryPages(Platform& os, BuiltInMenus& menus, HostWindow& host, LibraryCalls* calls,
                           MenuTexts* texts, Tracer trace)
    : os_(os),
      menus_(menus),
      host_(host),
      calls_(calls),
      texts_(texts),
      trace_(std::move(trace)),
      names_(FieldBit(LibraryField::kArtist) | FieldBit(LibraryField::kAlbum) |
             FieldBit(LibraryField::kAlbumArtist)) {
  for (Built& page : records_) page.menu.items = page.items;
}

bool LibraryPages::Serves(std::int32_t id) const {
  if (id == kLibraryMenuId) return inUse_ || menus_.Shows(MainEntry::kLibrary);
  return inUse_ && id > kLibraryMenuId && id <= kLastLibraryId;
}

void LibraryPages::Leave() {
  inUse_ = false;
  stack_.clear();
  shownStack_.clear();
  names_.Clear();
  tracks_.Clear();
  std::vector<LibraryStore::TextId>().swap(artists_);
  std::vector<LibraryAlbum>().swap(albums_);
  std::vector<ArtistAlbum>().swap(artistAlbums_);
  std::vector<std::uint32_t>().swap(list_);
  for (Built& page : records_) {
    std::vector<RangeEntry>().swap(page.ranges);
    std::vector<std::uint32_t>().swap(page.picks);
  }
}

void LibraryPages::OnPlayerThread(const std::function<void()>& work) {
  if (run_) {
    run_(work);
  } else {
    work();
  }
}

bool LibraryPages::Read(const LibraryRequest& request, LibraryStore& store) {
  LibraryAnswer answer = LibraryAnswer::kNoLibrary;
  if (calls_ != nullptr)
    OnPlayerThread([&] { answer = ReadLibrary(*calls_, host_.window(), request, &store); });
  return answer == LibraryAnswer::kDone;
}

Menu* LibraryPages::Page(std::int32_t id) {
  inUse_ = true;
  if (id == kLibraryMenuId) {
    // Found afresh every time: the library may have loaded since.
    Handle library = kNoHandle;
    if (calls_ != nullptr) {
      OnPlayerThread([&] {
        library = calls_->FindLibrary(host_.window());
        // A library window without a local library answers its queries
        // with 0: one record asked for tells it at once.
        if (library != kNoHandle &&
            calls_->RunQuery(
                library, LibraryRequest::AudioItems().query(), [](const LibraryTrack&) {}, 1) <= 0)
          library = kNoHandle;
      });
    }
    // Back from a page below, the entry chosen stays selected.
    const std::int32_t selected = stack_.empty() ? 0 : stack_.front().selected;
    stack_.assign(1, View{});
    stack_.back().title = Widen(kLibraryTitle);
    stack_.back().selected = selected;
    if (library == kNoHandle) return NoLibrary();
    return Build();
  }
  if (stack_.empty()) return NoLibrary();
  View& view = stack_.back();
  const Built& from = records_[current_];
  switch (id) {
    case kLibraryArtistsId:
    case kLibraryAlbumsId: {
      view.selected = id == kLibraryArtistsId ? 0 : 1;
      if (!Read(LibraryRequest::AudioItems(), names_)) return NoLibrary();
      View list;
      if (id == kLibraryArtistsId) {
        artists_ = DistinctArtists(names_);
        list.kind = View::Kind::kArtists;
        list.range = NameRanges(artists_.size()).Top();
      } else {
        albums_ = DistinctAlbums(names_);
        list.kind = View::Kind::kAlbums;
        list.range = NameRanges(albums_.size()).Top();
      }
      list.title = Widen(id == kLibraryArtistsId ? kArtistsName : kAlbumsName);
      stack_.push_back(std::move(list));
      break;
    }
    case kLibraryUpId:
      if (view.kind == View::Kind::kArtists || view.kind == View::Kind::kAlbums) {
        const NameRanges ranges(view.kind == View::Kind::kArtists ? artists_.size()
                                                                  : albums_.size());
        if (!ranges.IsTop(view.range)) {
          view.range = ranges.Up(view.range);
          view.selected = 0;
          break;
        }
      }
      if (stack_.size() > 1) stack_.pop_back();
      break;
    case kLibraryPreviousId:
      if (view.starts.size() > 1) view.starts.pop_back();
      view.selected = 0;
      break;
    case kLibraryNextId:
      if (from.nextFrom > (view.starts.empty() ? 0 : view.starts.back()))
        view.starts.push_back(from.nextFrom);
      view.selected = 0;
      break;
    case kLibraryAllTracksId:
      if (view.kind != View::Kind::kArtist) break;
      view.selected = 0;
      list_ = ArtistTracks(tracks_, artistAlbums_);
      stack_.push_back(View{View::Kind::kTracks, {}, {}, 0, view.title, 0});
      break;
    case kLibraryPlayNowId:
      view.selected = 0;
      return Perform(Act::kNow);
    case kLibraryPlayNextId:
      view.selected = 1;
      return Perform(Act::kNext);
    case kLibraryAddId:
      view.selected = 2;
      return Perform(Act::kAdd);
    case kLibraryHereId:
      break;
    default:
      if (id >= kLibraryFirstPickId) return Choose(id - kLibraryFirstPickId);
      break;
  }
  return Build();
}

Menu* LibraryPages::Choose(std::int32_t pick) {
  View& view = stack_.back();
  const Built& from = records_[current_];
  const auto at = static_cast<std::size_t>(pick);
  if (view.kind == View::Kind::kArtists || view.kind == View::Kind::kAlbums) {
    if (at >= from.ranges.size()) return Build();
    const RangeEntry entry = from.ranges[at];
    if (entry.kind != RangeEntry::Kind::kName) {
      view.range = entry.opens;
      view.selected = 0;
      return Build();
    }
    view.selected = static_cast<std::int32_t>(at) + from.firstPick;
    View next;
    next.title = NameLabel(view, entry.name);
    if (view.kind == View::Kind::kArtists) {
      if (entry.name >= artists_.size()) return Build();
      if (!Read(LibraryRequest::ByArtist(names_.Text(artists_[entry.name])), tracks_))
        return NoLibrary();
      artistAlbums_ = AlbumsByYear(tracks_);
      next.kind = View::Kind::kArtist;
    } else {
      if (entry.name >= albums_.size()) return Build();
      const LibraryAlbum& album = albums_[entry.name];
      if (!Read(LibraryRequest::ByAlbum(names_.Text(album.album), names_.Text(album.credit)),
                tracks_))
        return NoLibrary();
      list_ = AlbumTracks(tracks_);
      next.kind = View::Kind::kTracks;
      next.title = FromUtf16(names_.Text(album.album));
    }
    stack_.push_back(std::move(next));
    return Build();
  }
  if (view.kind == View::Kind::kTrack || view.kind == View::Kind::kTop) return Build();
  if (at >= from.picks.size()) return Build();
  view.selected = from.firstPick + pick;
  const std::uint32_t value = from.picks[at];
  if (view.kind == View::Kind::kArtist) {
    list_ = AlbumTracks(tracks_, value);
    stack_.push_back(View{View::Kind::kTracks, {}, {}, 0, FromUtf16(tracks_.Text(value)), 0});
    return Build();
  }
  if (value >= tracks_.size()) return Build();
  stack_.push_back(View{View::Kind::kTrack, {}, {}, value, TrackTitle(tracks_, value), 0});
  return Build();
}

std::u32string LibraryPages::NameLabel(const View& view, std::size_t name) const {
  if (view.kind == View::Kind::kArtists)
    return name < artists_.size() ? ArtistLabel(names_, artists_[name]) : std::u32string();
  return name < albums_.size() ? AlbumLabel(names_, albums_[name]) : std::u32string();
}

Menu* LibraryPages::Search() {
  std::u32string wide = hasTyped_ ? typed_ : FromUtf16(os_.AnsiToUnicode(searchText_));
  hasTyped_ = false;
  const std::vector<std::u32string> words = SearchWords(wide);
  if (words.empty()) {
    // Nothing to look for: the dialog offers the last text again.
    std::memcpy(searchText_, lastText_.c_str(), lastText_.size() + 1);
    Menu& menu = records_[current_].menu;
    if (texts_ && !wide_.empty())
      texts_->Hold(TextPlace::Of(menu, menu.items[2], TextPlace::Field::kCurrent), wide_);
    return nullptr;
  }
  lastText_ = searchText_;
  wide_ = std::move(wide);
  if (stack_.empty()) return NoLibrary();
  stack_.resize(1);
  stack_.back().selected = 2;
  if (!Read(LibraryRequest::Search(words), tracks_)) return NoLibrary();
  if (tracks_.size() == 0)
    return Notice(kLibraryTitle, U"Nothing in the library matches " + wide_ + U".", kLibraryMenuId);
  list_ = SearchOrder(tracks_);
  stack_.push_back(View{View::Kind::kMatches, {}, {}, 0, wide_, 0});
  return Build();
}

bool LibraryPages::IsSearchEntry(const MenuItem& item) const {
  for (const Built& page : records_)
    if (&item == &page.items[2] && page.menu.id == kLibraryMenuId && page.menu.count == 3)
      return true;
  return false;
}

Menu* LibraryPages::Perform(Act act) {
  const View& view = stack_.back();
  std::vector<std::uint32_t> tracks;
  if (view.kind == View::Kind::kTrack) {
    tracks.push_back(view.track);
  } else if (view.kind == View::Kind::kTracks) {
    tracks = list_;
  } else {
    return Build();
  }
  std::int32_t before = 0;
  std::int32_t after = 0;
  bool sent = true;
  OnPlayerThread([&] {
    const Handle playlist = calls_ != nullptr ? calls_->FindPlaylist(host_.window()) : kNoHandle;
    before = Int32(host_.Request(0, host::kPlaylistLength));
    const std::int32_t position = Int32(host_.Request(0, host::kPlaylistPosition));
    // Next after the current entry, or at the end where there is none.
    std::int32_t at = act == Act::kAdd ? before : std::clamp(position + 1, 0, before);
    const std::int32_t first = at;
    for (const std::uint32_t track : tracks) {
      if (track >= tracks_.size() || playlist == kNoHandle ||
          !calls_->InsertFile(playlist, tracks_.Text(track, LibraryField::kFilename), at)) {
        sent = false;
        continue;
      }
      ++at;
    }
    after = Int32(host_.Request(0, host::kPlaylistLength));
    // With shuffle on the player would pick another entry to play next.
    if (act == Act::kNext && after > before && answerNext_ && !tracks.empty() &&
        tracks.front() < tracks_.size() && host_.Request(0, host::kGetShuffle) != 0)
      answerNext_(first, std::u16string(tracks_.Text(tracks.front(), LibraryField::kFilename)));
    if (act == Act::kNow && after > before) {
      host_.Request(static_cast<std::uintptr_t>(first), host::kSetPosition);
      host_.Command(host::kCommandPlay);
    }
  });
  // The player answers every insert alike: only a longer playlist shows
  // that it took one.
  if (after <= before) {
    if (trace_)
      trace_(std::string("library: the playlist did not take the ") +
             (tracks.size() == 1 ? "track" : "tracks") +
             (sent ? "" : " (a path too long or no playlist)"));
    return Notice(kLibraryTitle, kNotTakenText, kLibraryHereId);
  }
  const std::u32string title =
      view.kind == View::Kind::kTrack ? TrackTitle(tracks_, view.track) : view.title;
  if (act == Act::kNext) return Notice(kActNames[1], U"Next: " + CutLabel(title), kLibraryHereId);
  if (act == Act::kAdd) return Notice(kActNames[2], U"Added: " + CutLabel(title), kLibraryHereId);
  return Build();
}

Menu* LibraryPages::NoLibrary() {
  stack_.clear();
  return Notice(kLibraryTitle, kNoLibraryText, kMainMenuId);
}

Menu* LibraryPages::Notice(const std::string& title, const std::u32string& text,
                           std::int32_t back) {
  Built& page = Spare();
  current_ = static_cast<int>(&page - records_);
  Menu& menu = page.menu;
  if (texts_) texts_->ReleaseRecord(&menu);
  menu.id = kLibraryHereId;
  menu.parent = back;
  menu.count = 0;
  menu.selection = 0;
  SetFieldText(menu.title, title);
  page.ranges.clear();
  page.picks.clear();
  std::string ansi;
  if (texts_) {
    texts_->Hold(TextPlace::Text(menu), text);
    ansi = texts_->ToAnsi(text, sizeof page.notice - 1);
  } else {
    ansi = os_.UnicodeToAnsi(ToUtf16(text)).substr(0, sizeof page.notice - 1);
  }
  std::memcpy(page.notice, ansi.c_str(), ansi.size() + 1);
  menu.text = page.notice;
  return &menu;
}

void LibraryPages::Label(Built& page, MenuItem& item, const std::u32string& label,
                         std::int32_t id) {
  item = MenuItem{};
  item.kind = kSubmenu;
  item.id = id;
  const std::u32string cut = CutLabel(label);
  if (texts_) {
    texts_->Hold(TextPlace::Of(page.menu, item, TextPlace::Field::kName), cut);
    SetFieldText(item.name, texts_->ToAnsi(cut, kLongestLabel));
    return;
  }
  SetFieldText(item.name, os_.UnicodeToAnsi(ToUtf16(cut)));
}

std::size_t LibraryPages::EntryBytes(const std::u32string& label) const {
  const std::u32string cut = CutLabel(label);
  if (texts_) return texts_->Out(cut).size() + kEntryFrame;
  return std::min(os_.UnicodeToAnsi(ToUtf16(cut)).size(), kLongestLabel) + kEntryFrame;
}

Menu* LibraryPages::Build() {
  Built& page = Spare();
  current_ = static_cast<int>(&page - records_);
  Menu& menu = page.menu;
  if (texts_) texts_->ReleaseRecord(&menu);
  const View& view = stack_.back();
  menu.text = nullptr;
  menu.id = view.kind == View::Kind::kTop ? kLibraryMenuId : kLibraryHereId;
  menu.parent = view.kind == View::Kind::kTop ? kMainMenuId : kLibraryUpId;
  page.ranges.clear();
  page.picks.clear();
  page.firstPick = 0;
  page.nextFrom = 0;
  if (view.kind == View::Kind::kTop) {
    Label(page, page.items[0], Widen(kArtistsName), kLibraryArtistsId);
    Label(page, page.items[1], Widen(kAlbumsName), kLibraryAlbumsId);
    MenuItem& search = page.items[2];
    Label(page, search, Widen(kSearchName), kLibrarySearchId);
    search.kind = kText;
    SetFieldText(search.prompt, kSearchPrompt);
    search.labels = searchText_;
    search.maximum = kLongestSearchText;
    if (texts_ && !wide_.empty())
      texts_->Hold(TextPlace::Of(menu, search, TextPlace::Field::kCurrent), wide_);
    menu.count = 3;
  } else if (view.kind == View::Kind::kArtists || view.kind == View::Kind::kAlbums) {
    BuildRanges(page, view);
  } else {
    BuildList(page, view);
  }
  const std::string title =
      texts_ ? texts_->ToAnsi(view.title, kFieldSize - 1) : os_.UnicodeToAnsi(ToUtf16(view.title));
  if (menu.count == 0) return Notice(title, kNothingToShowText, kLibraryUpId);
  menu.selection = view.selected < menu.count ? view.selected : 0;
  if (texts_) texts_->Hold(TextPlace::Title(menu), view.title);
  SetFieldText(menu.title, title);
  return &menu;
}

void LibraryPages::BuildRanges(Built& page, const View& view) {
  const NameRanges ranges(view.kind == View::Kind::kArtists ? artists_.size() : albums_.size());
  page.ranges = ranges.Entries(view.range);
  std::int32_t count = 0;
  for (const RangeEntry& entry : page.ranges) {
    std::u32string label;
    switch (entry.kind) {
      case RangeEntry::Kind::kPrevious:
        label = Widen(kPreviousRangeName);
        break;
      case RangeEntry::Kind::kNext:
        label = Widen(kNextRangeName);
        break;
      case RangeEntry::Kind::kRange:
        label =
            NameRanges::RangeLabel(NameLabel(view, entry.opens.first), NameLabel(view, entry.last));
        break;
      case RangeEntry::Kind::kName:
        label = NameLabel(view, entry.name);
        break;
    }
    Label(page, page.items[count], label, kLibraryFirstPickId + count);
    ++count;
  }
  page.menu.count = count;
}

void LibraryPages::BuildList(Built& page, const View& view) {
  // The page's own entries, then its part of the list.
  std::int32_t count = 0;
  std::size_t ownBytes = 0;
  const auto own = [&](const char* name, std::int32_t id) {
    Label(page, page.items[count++], Widen(name), id);
    ownBytes += std::strlen(name) + kEntryFrame;
  };
  if (view.kind == View::Kind::kArtist) own(kAllTracksName, kLibraryAllTracksId);
  if (view.kind == View::Kind::kTracks || view.kind == View::Kind::kTrack)
    for (std::size_t i = 0; i < kActCount; ++i) own(kActNames[i], kActIds[i]);
  if (view.kind == View::Kind::kTrack) {
    page.menu.count = count;
    return;
  }
  const bool albums = view.kind == View::Kind::kArtist;
  const std::size_t size = albums ? artistAlbums_.size() : list_.size();
  const auto value = [&](std::size_t i) { return albums ? artistAlbums_[i].album : list_[i]; };
  const auto label = [&](std::size_t i) {
    if (albums) return ArtistAlbumLabel(tracks_, artistAlbums_[i]);
    return view.kind == View::Kind::kMatches ? MatchLabel(tracks_, list_[i])
                                             : TrackLabel(tracks_, list_[i]);
  };
  const std::size_t first = view.starts.empty() ? 0 : view.starts.back();
  const std::size_t end = ListPageEnd(first, size, static_cast<std::size_t>(count), ownBytes,
                                      [&](std::size_t i) { return EntryBytes(label(i)); });
  if (first > 0) Label(page, page.items[count++], Widen(kPreviousPageEntry), kLibraryPreviousId);
  page.firstPick = count;
  for (std::size_t i = first; i < end; ++i) {
    const auto n = static_cast<std::int32_t>(page.picks.size());
    Label(page, page.items[count++], label(i), kLibraryFirstPickId + n);
    page.picks.push_back(value(i));
  }
  if (end < size) {
    Label(page, page.items[count++], Widen(kNextPageEntry), kLibraryNextId);
    page.nextFrom = end;
  }
  page.menu.count = count;
}

void LibraryPages::Taken(bool ours) {
  shown_ = ours ? current_ : -1;
  if (ours) shownStack_ = stack_;
}

void LibraryPages::Refused() {
  if (shown_ < 0 || shownStack_.empty()) {
    // None of ours is up: the ids are free.
    inUse_ = false;
    return;
  }
  current_ = shown_;
  stack_ = shownStack_;
  inUse_ = true;
}

std::size_t LibraryPages::BytesHeld() const {
  return names_.BytesHeld() + tracks_.BytesHeld() +
         (artists_.capacity() + list_.capacity()) * sizeof(std::uint32_t) +
         albums_.capacity() * sizeof(LibraryAlbum) + artistAlbums_.capacity() * sizeof(ArtistAlbum);
}

}  // namespace quillet
