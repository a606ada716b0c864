#include "player/library_lists.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "library_query_language.h"
#include "menus/label_limits.h"
#include "menus/menu_protocol.h"
#include "menus/menu_texts.h"
#include "menus/phone_text.h"
#include "platform/fake/fake_library_calls.h"
#include "player/library_query.h"
#include "player/library_ranges.h"
#include "player/library_reader.h"

namespace quillet {
namespace {

LibraryTrack Track(std::u16string title, std::u16string artist, std::u16string album = u"",
                   std::u16string albumArtist = u"", int year = kNoNumber, int number = kNoNumber,
                   int disc = kNoNumber) {
  LibraryTrack t;
  t.filename = u"C:\\Music\\" + title + u".mp3";
  t.title = std::move(title);
  t.artist = std::move(artist);
  t.album = std::move(album);
  t.albumArtist = std::move(albumArtist);
  t.year = year;
  t.track = number;
  t.disc = disc;
  return t;
}

std::string Utf8(const std::u32string& text) {
  return ToUtf8(text);
}

// The stand-in library's view of a track, to run Quillet's queries on.
host::LibraryTrack AsStandIn(const LibraryTrack& t) {
  host::LibraryTrack h;
  h.filename = t.filename;
  h.title = t.title;
  h.artist = t.artist;
  h.album = t.album;
  h.albumartist = t.albumArtist;
  h.year = t.year;
  h.trackno = t.track;
  h.disc = t.disc;
  return h;
}

// The titles a request keeps of `tracks`: what the library's query returns,
// then Quillet's exact test.
std::vector<std::string> Kept(const LibraryRequest& request,
                              const std::vector<LibraryTrack>& tracks) {
  const host::LibraryQuery query(request.query());
  EXPECT_TRUE(query.ok()) << query.error();
  std::vector<std::string> titles;
  for (const LibraryTrack& t : tracks)
    if (query.Matches(AsStandIn(t)) && request.Keeps(t)) titles.push_back(Utf8(FromUtf16(t.title)));
  return titles;
}

TEST(LibraryQuery, QueriesReadAsMeant) {
  const std::u16string acdc = u"AC/DC \"Live\" (1991) #1 100%";
  const std::vector<LibraryTrack> tracks = {
      Track(u"t1", acdc, u"Rumours", u"Fleetwood Mac"),
      Track(u"t2", u"ac/dc \"live\" (1991) #1 100%"),  // equal but for case
      Track(u"t3", u"AC/DC \"Live\" (1991) #1 100"),
      Track(u"t4", u"Beyoncé", u"Lemonade"),
      Track(u"t5", u"Beyonce", u"Lemonade", u"Beyonce"),
      Track(u"t6", u"", u"Rumours", u"Fleetwood Mac"),
      Track(u"t7", u"Fleetwood Mac", u"Rumours"),
      Track(u"t8", u"Other", u"Rumours", u"Someone"),
      Track(u"Dreams of Rain", u"Fleetwood Mac", u"Rumours"),
      Track(u"Rain", u"Dreamers", u"Blue"),
      Track(u"t11", u"Sale 50%2B"),
      Track(u"t12", u"Sale 50+"),
  };
  struct Row {
    const char* fault;
    LibraryRequest request;
    std::vector<std::string> kept;
  };
  const Row rows[] = {
      {"a value's quote, percent or parenthesis unescaped", LibraryRequest::ByArtist(acdc), {"t1"}},
      {"a percent sign unescaped", LibraryRequest::ByArtist(u"Sale 50%2B"), {"t11"}},
      {"the library's = taken as exact", LibraryRequest::ByArtist(u"Beyoncé"), {"t4"}},
      {"no artist asked as = \"\"", LibraryRequest::ByArtist(u""), {"t6"}},
      {"credit: album artist, else artist, unparenthesised",
       LibraryRequest::ByAlbum(u"Rumours", u"Fleetwood Mac"),
       {"t1", "t6", "t7", "Dreams of Rain"}},
      {"album of a credit by artist alone",
       LibraryRequest::ByAlbum(u"Lemonade", u"Beyonce"),
       {"t5"}},
      {"a word not looked for in each field, or words in order",
       LibraryRequest::Search(SearchWords(U"  rain\tDREAM ")),
       {"Dreams of Rain", "Rain"}},
      {"search words joined by OR", LibraryRequest::Search(SearchWords(U"rain blue")), {"Rain"}},
  };
  for (const Row& row : rows) EXPECT_EQ(Kept(row.request, tracks), row.kept) << row.fault;
}

TEST(LibraryQuery, ReadIntoTheStoreAndFreed) {
  struct Row {
    const char* fault;
    bool hasWindow;
    std::intptr_t answer;
    LibraryAnswer read;
    std::size_t kept;
    std::size_t queries;
  };
  const Row rows[] = {
      {"records of another artist kept", true, 1, LibraryAnswer::kDone, 1, 1},
      {"no window taken for a library", false, 1, LibraryAnswer::kNoLibrary, 0, 0},
      {"an answer of 0 taken for an empty library", true, 0, LibraryAnswer::kNoLibrary, 0, 1},
      {"an answer of -1 taken for an empty library", true, -1, LibraryAnswer::kNoLibrary, 0, 1},
  };
  for (const Row& row : rows) {
    fake::FakeLibraryCalls calls;
    calls.tracks = {Track(u"t1", u"Björk"), Track(u"t2", u"BJORK"), Track(u"t3", u"Blur")};
    calls.matches = [](std::u16string_view query, const LibraryTrack& t) {
      return host::LibraryQuery(std::u16string(query)).Matches(AsStandIn(t));
    };
    calls.hasWindow = row.hasWindow;
    calls.answer = row.answer;
    LibraryStore store;
    store.Add(Track(u"left over", u"Blur"));
    EXPECT_EQ(ReadLibrary(calls, 0x10, LibraryRequest::ByArtist(u"Björk"), &store), row.read)
        << row.fault;
    EXPECT_EQ(store.size(), row.kept) << row.fault;
    EXPECT_EQ(calls.queries.size(), row.queries) << row.fault;
    EXPECT_EQ(calls.recordsHeld, 0u) << row.fault;
  }
}

TEST(LibraryQuery, QueryTexts) {
  struct Row {
    LibraryRequest request;
    std::u16string query;
  };
  const Row rows[] = {
      {LibraryRequest::AudioItems(), u"(type = 0)"},
      {LibraryRequest::ByArtist(u"AC/DC \"Live\" (1991) #1 100%'[x]"),
       u"((type = 0) AND (artist = \"AC/DC %22Live%22 %281991%29 %231 100%%%27%5Bx%5D\"))"},
      {LibraryRequest::ByArtist(u""), u"((type = 0) AND (artist ISEMPTY))"},
      {LibraryRequest::ByAlbum(u"Tusk", u"Fleetwood Mac"),
       u"((type = 0) AND (album = \"Tusk\") AND ((albumartist = \"Fleetwood Mac\") OR "
       u"((albumartist ISEMPTY) AND (artist = \"Fleetwood Mac\"))))"},
      {LibraryRequest::Search({U"a", U"b"}),
       u"((type = 0) AND ((title HAS \"a\") OR (artist HAS \"a\") OR (album HAS \"a\")) AND "
       u"((title HAS \"b\") OR (artist HAS \"b\") OR (album HAS \"b\")))"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(Utf8(FromUtf16(row.request.query())), Utf8(FromUtf16(row.query)));
}

struct Library : ::testing::Test {
  LibraryStore store;
  void Add(std::vector<LibraryTrack> tracks) {
    for (const LibraryTrack& t : tracks) store.Add(t);
    store.Seal();
  }
};

TEST_F(Library, ListsInTheirOrderWithTheirLabels) {
  Add({
      Track(u"Go Your Own Way", u"Fleetwood Mac", u"Rumours", u"", 1977, 5),
      Track(u"Dreams", u"Fleetwood Mac", u"Rumours", u"", 1977, 2),
      Track(u"Sara", u"Fleetwood Mac", u"Tusk", u"", 1979, 3, 2),
      Track(u"Over & Over", u"Fleetwood Mac", u"Tusk", u"", 1979, 1, 1),
      Track(u"Intro", u"Fleetwood Mac", u"Live", u"", kNoNumber),
      Track(u"", u"Fleetwood Mac", u"Tusk", u"", kNoNumber, kNoNumber),
      Track(u"Help", u"The Beatles", u"Help!", u"", 1965, 1),
      Track(u"Bachelorette", u"Björk", u"Homogenic", u"", 1997, 2),
      Track(u"Non", u"Édith Piaf", u"Best", u"", 1960, 1),
      Track(u"SOS", u"ABBA", u"ABBA", u"", 1975, 1),
      Track(u"Waterloo", u"abba", u"Waterloo", u"", 1974, 1),
      Track(u"Zed", u"Zebra", u"Rumours", u"Various", 2000, 1),
      Track(u"Nobody", u"", u"", u"", kNoNumber, kNoNumber),
      Track(u"Early", u"Fleetwood Mac", u"Rumours", u"", 1976, 9),
  });
  std::vector<std::string> artists;
  for (auto id : DistinctArtists(store)) artists.push_back(Utf8(ArtistLabel(store, id)));
  // Faults: case not folded (abba after Zebra), accents not folded (Édith
  // last), a leading "The " kept, the empty artist unlabelled.
  EXPECT_EQ(artists, (std::vector<std::string>{"ABBA", "abba", "The Beatles", "Björk", "Édith Piaf",
                                               "Fleetwood Mac", "Unknown artist", "Zebra"}));

  std::vector<std::string> albums;
  for (const LibraryAlbum& a : DistinctAlbums(store)) albums.push_back(Utf8(AlbumLabel(store, a)));
  // One entry per name and credit (the album artist, else the artist);
  // tracks without an album are no album.
  EXPECT_EQ(albums, (std::vector<std::string>{
                        "ABBA - ABBA", "Best - Édith Piaf", "Help! - The Beatles",
                        "Homogenic - Björk", "Live - Fleetwood Mac", "Rumours - Fleetwood Mac",
                        "Rumours - Various", "Tusk - Fleetwood Mac", "Waterloo - abba"}));

  LibraryStore mac;
  for (std::size_t i = 0; i < store.size(); ++i)
    if (store.Text(i, LibraryField::kArtist) == u"Fleetwood Mac") mac.Add(store.At(i));
  std::vector<std::string> byYear;
  for (const ArtistAlbum& a : AlbumsByYear(mac)) byYear.push_back(Utf8(ArtistAlbumLabel(mac, a)));
  // The earliest year of an album's tracks; undated after the dated.
  EXPECT_EQ(byYear, (std::vector<std::string>{"Rumours (1976)", "Tusk (1979)", "Live"}));

  std::vector<std::string> tusk;
  for (auto t : AlbumTracks(mac, mac.Id(2, LibraryField::kAlbum)))
    tusk.push_back(Utf8(TrackLabel(mac, t)));
  // Disc before track; a later disc shows its number; no number: the
  // title, after the numbered; no title: the file's name.
  EXPECT_EQ(tusk, (std::vector<std::string>{"1. Over & Over", "2-3. Sara", ".mp3"}));

  std::vector<std::string> matches;
  for (auto t : SearchOrder(store)) matches.push_back(Utf8(MatchLabel(store, t)));
  EXPECT_EQ(matches.front(), "ABBA - SOS");
  EXPECT_EQ(std::vector<std::string>(matches.begin() + 5, matches.begin() + 12),
            (std::vector<std::string>{"Fleetwood Mac - Intro", "Fleetwood Mac - Dreams",
                                      "Fleetwood Mac - Go Your Own Way", "Fleetwood Mac - Early",
                                      "Fleetwood Mac - Over & Over", "Fleetwood Mac - Sara",
                                      "Fleetwood Mac - .mp3"}));
}

TEST_F(Library, SharedTextsAreKeptOnce) {
  std::vector<LibraryTrack> tracks;
  for (int i = 0; i < 1000; ++i)
    tracks.push_back(Track(u"T" + ToUtf16(Widen(std::to_string(i))), u"A rather long artist name",
                           u"An album name as long", u"", 1999, i % 12 + 1));
  Add(tracks);
  // Fault: every track's artist and album stored again.
  EXPECT_LT(store.BytesHeld(), 1000 * 120u);
  EXPECT_EQ(store.At(999).title, u"T999");
  EXPECT_EQ(store.Id(0, LibraryField::kArtist), store.Id(999, LibraryField::kArtist));
  LibraryStore artists(FieldBit(LibraryField::kArtist));
  artists.Add(tracks[0]);
  EXPECT_TRUE(artists.Text(0, LibraryField::kTitle).empty());
}

// A walk from the top page over every page a list of `count` names has.
struct Walk {
  std::set<std::size_t> names;
  std::size_t pages = 0;
  std::size_t mostItems = 0;
  std::size_t longestLabel = 0;
  bool arrowsOnTop = false;
};

Walk WalkRanges(std::size_t count) {
  const NameRanges ranges(count);
  const std::u32string name = U"A name of thirty characters!..";
  Walk walk;
  std::vector<RangePage> todo = {ranges.Top()};
  std::set<std::pair<int, std::size_t>> seen;
  while (!todo.empty()) {
    const RangePage page = todo.back();
    todo.pop_back();
    if (!seen.insert({page.level, page.first}).second) continue;
    ++walk.pages;
    const std::vector<RangeEntry> entries = ranges.Entries(page);
    walk.mostItems = std::max(walk.mostItems, entries.size());
    for (const RangeEntry& e : entries) {
      switch (e.kind) {
        case RangeEntry::Kind::kName:
          walk.names.insert(e.name);
          break;
        case RangeEntry::Kind::kRange:
          walk.longestLabel =
              std::max(walk.longestLabel, NameRanges::RangeLabel(name, name).size());
          todo.push_back(e.opens);
          break;
        case RangeEntry::Kind::kPrevious:
        case RangeEntry::Kind::kNext:
          walk.arrowsOnTop |= ranges.IsTop(page);
          todo.push_back(e.opens);
          break;
      }
    }
  }
  return walk;
}

TEST(NameRanges, EveryNameReachableOnSmallPages) {
  struct Row {
    std::size_t count;
    std::size_t pages;
  };
  // Faults: a range's last group dropped (11), a level too many or too few
  // (100, 5000), a page holding more than ten ranges.
  for (const Row& row : {Row{1, 1}, Row{10, 1}, Row{11, 3}, Row{100, 11}, Row{5000, 556}}) {
    const Walk walk = WalkRanges(row.count);
    EXPECT_EQ(walk.names.size(), row.count) << row.count;
    EXPECT_EQ(walk.pages, row.pages) << row.count;
    EXPECT_LE(walk.mostItems, 12u) << row.count;
    EXPECT_LE(walk.longestLabel, kLongestLabel) << row.count;
    EXPECT_FALSE(walk.arrowsOnTop) << row.count;
  }
}

TEST(NameRanges, PagesAndSteps) {
  const NameRanges ranges(1234);
  EXPECT_EQ(ranges.Top(), (RangePage{3, 0}));
  const std::vector<RangeEntry> top = ranges.Entries(ranges.Top());
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[1].opens, (RangePage{2, 1000}));
  EXPECT_EQ(top[1].last, 1233u);
  // The last block's page, its ">>>" round to the first, "<<<" back.
  const std::vector<RangeEntry> last = ranges.Entries(RangePage{0, 1233});
  ASSERT_EQ(last.size(), 6u);
  EXPECT_EQ(last.front().opens, (RangePage{0, 1220}));
  EXPECT_EQ(last[4].name, 1233u);
  EXPECT_EQ(last.back().opens, (RangePage{0, 0}));
  EXPECT_EQ(ranges.Entries(RangePage{1, 0}).front().opens, (RangePage{1, 1200}));
  EXPECT_EQ(ranges.Up(RangePage{0, 1230}), (RangePage{1, 1200}));
  EXPECT_EQ(ranges.Up(ranges.Top()), ranges.Top());
  EXPECT_EQ(Utf8(NameRanges::RangeLabel(U"Abba", U"The Velvet Underground & Nico")),
            "Abba - The Velvet Und...");
}

TEST(ListPages, EachPageFitsTheBudgetAndTheRecord) {
  struct Row {
    const char* what;
    std::size_t count;
    std::size_t labelBytes;  // of every entry, its quotes and comma included
    std::size_t pages;
  };
  // Faults: the arrows or the page's own entries left out of the budget, the
  // record's item limit not kept, an entry longer than a page never shown.
  const Row rows[] = {
      {"album of 50 long titles", 50, 42, 13},
      {"1,000 short matches", 1000, 4, 27},
      {"one entry longer than a page", 1, 250, 1},
  };
  for (const Row& row : rows) {
    std::size_t first = 0;
    std::size_t pages = 0;
    while (first < row.count) {
      // "Play now", "Play next" and "Add to playlist" lead the first page.
      const std::size_t own = first == 0 ? 3 : 0;
      const std::size_t ownBytes = own * 16;
      const std::size_t end =
          ListPageEnd(first, row.count, own, ownBytes, [&](std::size_t) { return row.labelBytes; });
      ASSERT_GT(end, first) << row.what;
      const std::size_t arrows = (first > 0) + (end < row.count);
      EXPECT_LE(own + arrows + (end - first), kMostPageItems) << row.what;
      if (end - first > 1) {
        EXPECT_LT(ownBytes + arrows * 5 + (end - first) * row.labelBytes, kPageBudget) << row.what;
      }
      first = end;
      ++pages;
    }
    EXPECT_EQ(pages, row.pages) << row.what;
  }
}

}  // namespace
}  // namespace quillet
