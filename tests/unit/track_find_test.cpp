#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "fake_player.h"
#include "library_query_language.h"
#include "link/at_transaction.h"
#include "link/command_reply.h"
#include "link_fixture.h"
#include "menus/menu_protocol.h"
#include "menus/newer_dialect.h"
#include "menus/phone_text.h"
#include "platform/fake/fake_library_calls.h"
#include "platform/host_messages.h"
#include "player/library_pages.h"
#include "player/menu_router.h"
#include "player/player_watch.h"
#include "player/title_match.h"
#include "player/track_finder.h"

namespace quillet {
namespace {

using phone::ReplyRule;
using testing::FakePlayer;

// A media library read by the stand-in's own query language, whose inserts
// land in the fake player's playlist unless it is told not to take them.
struct PlayerLibrary : fake::FakeLibraryCalls {
  explicit PlayerLibrary(FakePlayer& player) : player(player) {
    matches = [](std::u16string_view query, const LibraryTrack& t) {
      ::host::LibraryTrack h;
      h.filename = t.filename, h.title = t.title, h.artist = t.artist, h.album = t.album;
      h.albumartist = t.albumArtist, h.year = t.year, h.trackno = t.track, h.disc = t.disc;
      return ::host::LibraryQuery(std::u16string(query)).Matches(h);
    };
  }
  bool InsertFile(Handle target, std::u16string_view file, std::int32_t index) override {
    if (!FakeLibraryCalls::InsertFile(target, file, index)) return false;
    const auto at = static_cast<std::size_t>(std::max(index, 0));
    if (takes)
      player.titles.insert(player.titles.begin() + std::min(at, player.titles.size()),
                           ToUtf8(FromUtf16(file)));
    return true;
  }
  FakePlayer& player;
  bool takes = true;
};

// The finder and the library over a fake player, wired as the plug-in wires
// them; the library's entry is not shown until a test wants it.
struct FinderParts {
  explicit FinderParts(fake::FakePlatform& os)
      : watch(os, noWake),
        player(os),
        host(os, 0x4242),
        playerMenus(menus, host),
        finder(os, menus, host),
        calls(player),
        library(os, menus, host, &calls, nullptr,
                [this](const std::string& line) { traced.push_back(line); }) {
    router.UseFinder(&finder);
    router.UseLibrary(&library);
    playerMenus.Want(MainEntry::kFindTrack, true);
    // The player's window watched, as with the library's box ticked.
    watch.ReadFilesWith(
        [this](std::int32_t entry, std::u16string* file) { return host.EntryFile(entry, file); });
    library.AnswerNextWith([this](std::int32_t entry, std::u16string file) {
      watch.AnswerNextOnce(entry, std::move(file));
    });
    os.WatchWindow(0x4242, &watch);
  }
  Handle noWake = kNoHandle;
  PlayerWatch watch;
  FakePlayer player;
  BuiltInMenus menus;
  HostWindow host;
  PlayerMenus playerMenus;
  TrackFinder finder;
  PlayerLibrary calls;
  std::vector<std::string> traced;
  LibraryPages library;
  MenuRouter router{host, playerMenus, MenuMessageIds{}, 1};
};

struct OwnPlatform {
  fake::FakePlatform os;
};

struct Finding : OwnPlatform, FinderParts {
  Finding() : FinderParts(os) {}
  std::vector<std::string> sent;
  MenuProtocol protocol{router, [this](const std::string& c) { sent.push_back(c); }};
  // Runs once, after the first slice of the first search.
  std::function<void()> afterFirstSlice;
  int slices = 0;
  PhoneCharset set = PhoneCharset::kNone;
  MenuTexts texts{os, [this] { return set; }};
  std::uint32_t longestSliceMs = 0;
  int searchRequests = 0;

  // A Charset, and the phone agreed on `agreed`.
  void UseTexts(PhoneCharset agreed) {
    set = agreed;
    playerMenus.UseTexts(&texts);
    finder.UseTexts(&texts);
    library.UseTexts(&texts);
    protocol.UseTexts(&texts);
  }
  // What the phone gets for a line of its own: the command sent once the
  // menus have no more work.
  std::string Line(const std::string& line) {
    sent.clear();
    if (line == "*EAAI") protocol.MenuActivated();
    if (line.rfind("*EAMI: ", 0) == 0) protocol.ChooseEntry(std::stoi(line.substr(7)));
    if (line.rfind("*EAII", 0) == 0) protocol.HandleAnswer(line.substr(5));
    while (protocol.WorkPending()) {
      protocol.DoWork();
      if (++slices == 1 && afterFirstSlice) afterFirstSlice();
    }
    return sent.empty() ? "(nothing)" : sent.back();
  }
};

// "*EASM" of a page of matches titled `text`, the entries as they are sent.
std::string Page(const std::string& text, int selected, const std::vector<std::string>& entries) {
  std::string page = "*EASM=\"" + (text.size() > 15 ? text.substr(0, 12) + "..." : text) +
                     "\", 2, " + std::to_string(selected) + ", " + std::to_string(entries.size());
  for (const std::string& e : entries) page += ",\"" + e + "\"";
  return page;
}

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::vector<std::string> Matches(int from, int to) {
  std::vector<std::string> out;
  for (int i = from; i <= to; ++i)
    out.push_back(std::to_string(i) + ". Track " + std::to_string(i));
  return out;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::string> kCafe = {"Alpha", "Caf\xE9 \x96 D\xE9j\xE0 Vu", "BETA Song", "Deja",
                                        "Cafe Deja Vu (live)"};
const std::string kDialog = "*EAID=11,2,\"Find track\",\"Title contains\",30,\"\"";

TEST(TrackFind, SearchesAgainstAFakePlaylist) {
  struct Step {
    std::string line;
    std::string sent;
    std::function<void(Finding&)> first = nullptr;  // the player changes before the line
  };
  struct Row {
    const char* what;
    std::function<void(Finding&)> setUp;
    std::vector<Step> steps;
    std::int32_t playing = -1;  // the entry the player plays at the end; -1: none started
    std::function<void(Finding&)> check = nullptr;
  };
  // Eleven entries of 17 bytes fill a page without "<<" (189 bytes for the
  // matches), not one with it (184).
  std::vector<std::string> eleven, nine;
  for (int i = 1; i <= 20; ++i) {
    const std::string label = std::to_string(i) + ". match " + (i < 10 ? "12345" : "1234");
    (i <= 11 ? eleven : nine).push_back(label);
  }
  const std::vector<std::string> more = {">>"}, back = {"<<"};
  const std::string kino = "\xD0\xBA\xD0\xB8\xD0\xBD\xD0\xBE";  // typed in UTF-8
  const std::string main = "*EASM=\"Winamp menu\", 1, 8, 11";
  const std::vector<Row> rows = {
      {"case", [](Finding& f) { f.player.titles = kCafe; },
       {{"*EAII: 11,\"beta\"", Page("beta", 1, {"3. BETA Song"})},
        {"*EAMI: 0", main.substr(0, 29)}}},
      {"accents either way",
       [](Finding& f) { f.player.titles = kCafe; },
       {{"*EAII: 11,\"deja vu\"",
         Page("deja vu", 1, {"2. Caf\xE9 \x96 D\xE9j\xE0 Vu", "5. Cafe Deja Vu (live)"})},
        {"*EAMI: 2", Page("deja vu", 2, {"2. Caf\xE9 \x96 D\xE9j\xE0 Vu", "5. Cafe Deja Vu (live)"})}},
       4},
      {"accent typed, none in the title",
       [](Finding& f) { f.player.titles = kCafe; },
       {{"*EAII: 11,\"CAF\xC9\"",
         Page("CAF\xC9", 1, {"2. Caf\xE9 \x96 D\xE9j\xE0 Vu", "5. Cafe Deja Vu (live)"})},
        {"*EAMI: 1", Page("CAF\xC9", 1, {"2. Caf\xE9 \x96 D\xE9j\xE0 Vu", "5. Cafe Deja Vu (live)"})}},
       1},
      {"Cyrillic and Greek in Unicode",
       [](Finding& f) {
         f.os.utf8CodePage = true;
         f.player.titles = {"Kino", "?", "?"};
         f.player.unicodeTitles = {u"Kino", u"\u041A\u0418\u041D\u041E", u"\u039A\u03AF\u03BD\u03BF"};
       },
       {{"*EAII: 11,\"\xD0\xBA\xD0\xB8\xD0\xBD\xD0\xBE\"",
         Page("\xD0\xBA\xD0\xB8\xD0\xBD\xD0\xBE", 1, {"2. \xD0\x9A\xD0\x98\xD0\x9D\xD0\x9E"})},
        {"*EAMI: 0", main.substr(0, 29)},
        {"*EAMI: 8", "*EAID=11,2,\"Find track\",\"Title contains\",30,\"\xD0\xBA\xD0\xB8\xD0\xBD\xD0\xBE\""},
        {"*EAII: 11,\"\xCE\xBA\xCE\xB9\xCE\xBD\"",
         "*EASM=\"\xCE\xBA\xCE\xB9\xCE\xBD\", 2, 1, 1,\"3. \xCE\x9A\xCE\xAF\xCE\xBD\xCE\xBF\""}}},
      {"marks alone are no text: the last one comes back",
       [](Finding& f) {
         f.os.utf8CodePage = true;
         f.player.titles = kCafe;
       },
       {{"*EAII: 11,\"beta\"", Page("beta", 1, {"3. BETA Song"})},
        {"*EAMI: 0", main.substr(0, 29)},
        {"*EAMI: 8", "*EAID=11,2,\"Find track\",\"Title contains\",30,\"beta\""},
        {"*EAII: 11,\"\xCC\x81\xE1\xB7\x84\"", main.substr(0, 29)},
        {"*EAMI: 8", "*EAID=11,2,\"Find track\",\"Title contains\",30,\"beta\""}}},
      {"no match, and its notice goes back",
       [](Finding& f) { f.player.titles = kCafe; },
       {{"*EAII: 11,\"zzz\"", "*EAID=14,2,\"Find track\",\"No title contains zzz.\""},
        {"*EAII: 0", main.substr(0, 29)},
        {"*EAMI: 8", "*EAID=11,2,\"Find track\",\"Title contains\",30,\"zzz\""},
        {"*EAII: 11,\"\"", main.substr(0, 29)},
        {"*EAMI: 8", "*EAID=11,2,\"Find track\",\"Title contains\",30,\"zzz\""},
        {"*EAII: 0", main.substr(0, 29)}}},
      {"a match on the page's edge, >> and <<",
       [](Finding& f) { f.player.Entries(40); },
       {{"*EAII: 11,\"track\"", Page("track", 1, Matches(1, 13) + std::vector<std::string>{">>"})},
        {"*EAMI: 14", Page("track", 2, std::vector<std::string>{"<<"} + Matches(14, 25) +
                                            std::vector<std::string>{">>"})},
        {"*EAMI: 14", Page("track", 2, std::vector<std::string>{"<<"} + Matches(26, 37) +
                                            std::vector<std::string>{">>"})},
        {"*EAMI: 14", Page("track", 2, std::vector<std::string>{"<<"} + Matches(38, 40))},
        {"*EAMI: 1", Page("track", 2, std::vector<std::string>{"<<"} + Matches(26, 37) +
                                           std::vector<std::string>{">>"})},
        {"*EAMI: 1", Page("track", 2, std::vector<std::string>{"<<"} + Matches(14, 25) +
                                           std::vector<std::string>{">>"})},
        {"*EAMI: 3", Page("track", 3, std::vector<std::string>{"<<"} + Matches(14, 25) +
                                           std::vector<std::string>{">>"})}},
       14},
      {"the playlist shrinks mid-search",
       [](Finding& f) {
         f.player.Generate(10000);
         f.player.beforeRequest = [&f] { f.os.AdvanceMs(1); };
         f.afterFirstSlice = [&f] { f.player.Generate(9000); };
       },
       {{"*EAII: 11,\"track 99\"", Page("track 99", 1, Matches(99, 99) + Matches(990, 999) + more)}}},
      {"an entry added mid-search is looked at",
       [](Finding& f) {
         f.player.Generate(3000);
         f.player.beforeRequest = [&f] { f.os.AdvanceMs(1); };
         f.afterFirstSlice = [&f] { f.player.Generate(3001); };
       },
       {{"*EAII: 11,\"track 3001\"", Page("track 3001", 1, Matches(3001, 3001))}}},
      {"thirty characters typed, counted as characters",
       [](Finding& f) {
         f.UseTexts(PhoneCharset::kUtf8);
         // Neither next nor previous: the main menu stays one page.
         f.player.titles = {"Kino", "A", "????", "B"};
         f.player.unicodeTitles = {u"Kino", u"A", std::u16string(30, u'\u041A'), u"B"};
       },
       {{"*EAII: 11,\"" + Repeat("\xD0\xBA", 31) + "\"",
         "*EASM=\"" + Repeat("\xD0\xBA", 12) + "...\", 2, 1, 1,\"3. " + Repeat("\xD0\x9A", 30)},
        {"*EAMI: 0", main.substr(0, 29)},
        {"*EAMI: 8", "*EAID=11,2,\"Find track\",\"Title contains\",30,\"" +
                         Repeat("\xD0\xBA", 30) + "\""}}},
      {"a playlist still loading when the search begins",
       [](Finding& f) {
         f.UseTexts(PhoneCharset::kUtf8);
         // Empty for the search's first length request, loaded by its second.
         f.player.beforeRequest = [&f] {
           if (f.finder.Searching() && ++f.searchRequests == 2) {
             f.player.titles = {"Kino", "????"};
             f.player.unicodeTitles = {u"Kino", u"\u041A\u0418\u041D\u041E"};
           }
         };
       },
       {{"*EAII: 11,\"" + kino + "\"", Page(kino, 1, {"2. \xD0\x9A\xD0\x98\xD0\x9D\xD0\x9E"})}}},
      {"a slice holds the player's window about 20 ms",
       [](Finding& f) {
         f.player.Generate(3000);
         f.player.beforeRequest = [&f] { f.os.AdvanceMs(1); };
         f.finder.RunSlicesWith([&f](const std::function<void()>& slice) {
           const std::uint32_t began = f.os.NowMs();
           slice();
           f.longestSliceMs = std::max(f.longestSliceMs, f.os.NowMs() - began);
         });
       },
       {{"*EAII: 11,\"track 2999\"", Page("track 2999", 1, Matches(2999, 2999))}},
       -1,
       [](Finding& f) {
         // The length, then one title past the slice's time (two requests).
         EXPECT_GE(f.longestSliceMs, kSearchSliceMs);
         EXPECT_LE(f.longestSliceMs, kSearchSliceMs + 3);
       }},
      {"the first page again after >> and <<",
       [](Finding& f) {
         for (int i = 1; i <= 20; ++i)
           f.player.titles.push_back(std::string("match ") + (i < 10 ? "12345" : "1234"));
       },
       {{"*EAII: 11,\"match\"", Page("match", 1, eleven + more)},
        {"*EAMI: 12", Page("match", 2, back + nine)},
        {"*EAMI: 1", Page("match", 1, eleven + more)}}},
      {"a match renamed since its page does not play",
       [](Finding& f) { f.player.titles = kCafe; },
       {{"*EAII: 11,\"beta\"", Page("beta", 1, {"3. BETA Song"})},
        {"*EAMI: 1", Page("beta", 1, {"3. BETA Song"}),
         [](Finding& f) { f.player.titles[2] = "Gamma"; }}}},
      {"Cyrillic typed on a Western Windows",
       [](Finding& f) {
         f.UseTexts(PhoneCharset::kUtf8);
         f.player.titles = {"Kino", "????"};
         f.player.unicodeTitles = {u"Kino", u"\u041A\u0418\u041D\u041E"};
       },
       {{"*EAII: 11,\"" + kino + "\"", Page(kino, 1, {"2. \xD0\x9A\xD0\x98\xD0\x9D\xD0\x9E"})},
        {"*EAMI: 0", main.substr(0, 29)},
        {"*EAMI: 8", "*EAID=11,2,\"Find track\",\"Title contains\",30,\"" + kino + "\""},
        {"*EAII: 11,\"\"", main.substr(0, 29)},
        {"*EAMI: 8", "*EAID=11,2,\"Find track\",\"Title contains\",30,\"" + kino + "\""},
        {"*EAII: 11,\"" + kino + "\"", Page(kino, 1, {"2. \xD0\x9A\xD0\x98\xD0\x9D\xD0\x9E"})},
        {"*EAMI: 1", Page(kino, 1, {"2. \xD0\x9A\xD0\x98\xD0\x9D\xD0\x9E"})}},
       1},
      {"a new menu code ends the search",
       [](Finding& f) {
         f.player.Generate(10000);
         f.player.beforeRequest = [&f] { f.os.AdvanceMs(1); };
         f.afterFirstSlice = [&f] { f.protocol.MenuActivated(); };
       },
       {{"*EAII: 11,\"track 9999\"", main.substr(0, 29)}}},
      {"the connection ends the search",
       [](Finding& f) {
         f.player.Generate(10000);
         f.player.beforeRequest = [&f] { f.os.AdvanceMs(1); };
         f.afterFirstSlice = [&f] { f.protocol.ConnectionEnded(); };
       },
       {{"*EAII: 11,\"track 9999\"", "(nothing)"}}},
      {"five seconds without a full page",
       [](Finding& f) {
         f.player.Generate(6000);
         f.player.beforeRequest = [&f] { f.os.AdvanceMs(1); };
       },
       {{"*EAII: 11,\"track 5999\"", Page("track 5999", 1, {"More..."})},
        {"*EAMI: 1", Page("track 5999", 1, {"5999. Track 5999"})}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Finding f;
    row.setUp(f);
    EXPECT_NE(f.Line("*EAAI").find(",\"Go to track: 1\",\"Find track\",\"Playlist\""),
              std::string::npos);
    EXPECT_EQ(f.Line("*EAMI: 8"), kDialog);
    for (const Step& step : row.steps) {
      if (step.first) step.first(f);
      const std::string sent = f.Line(step.line);
      EXPECT_EQ(sent.substr(0, step.sent.size()), step.sent) << step.line;
    }
    EXPECT_EQ(f.player.state == 1 ? f.player.position : -1, row.playing);
    if (row.check) row.check(f);
  }
}

LibraryTrack Song(std::u16string title, std::u16string artist, std::u16string album, int year,
                  int number, int disc = kNoNumber) {
  LibraryTrack t;
  t.filename = u"C:\\Music\\" + title + u".mp3";
  t.title = std::move(title);
  t.artist = std::move(artist);
  t.album = std::move(album);
  t.year = year;
  t.track = number;
  t.disc = disc;
  return t;
}

// Two artists the library's own "=" takes for one.
const std::u16string kAcdc = u"AC/DC \"Live\" (1991) #1 100%";
std::vector<LibraryTrack> Shelf() {
  return {Song(u"Go Your Own Way", u"Fleetwood Mac", u"Rumours", 1977, 5),
          Song(u"Tusk", u"Fleetwood Mac", u"Tusk", 1979, 1),
          Song(u"Dreams", u"Fleetwood Mac", u"Rumours", 1977, 2),
          Song(u"Silver Springs", u"Fleetwood Mac", u"Rumours", 1977, 1, 2),
          Song(u"Thunder", kAcdc, u"Live", 1992, 1),
          Song(u"Demo", u"ac/dc \"live\" (1991) #1 100%", u"Demos", 1990, 1)};
}

TEST(TrackFind, TheLibraryBrowsedAndPlayedFromThePhone) {
  struct Row {
    const char* what;
    std::function<void(Finding&)> setUp;
    std::vector<std::pair<std::string, std::string>> steps;  // a line, and what is sent
    std::function<void(Finding&)> check = nullptr;
  };
  const std::string main = "*EASM=\"Winamp menu\"";
  const std::string top = Page("Library", 1, {"Artists", "Albums", "Search library"});
  const std::string searched = Page("Library", 3, {"Artists", "Albums", "Search library"});
  const std::vector<std::string> acts = {"Play now", "Play next", "Add to playlist"};
  const std::string rumours = Page(
      "Rumours", 1,
      acts + std::vector<std::string>{"2. Dreams", "5. Go Your Own Way", "2-1. Silver Springs"});
  const std::string noLibrary = "*EAID=14,2,\"Library\",\"The player has no media library.\"";
  const auto file = [](const char* title) { return std::string("C:\\Music\\") + title + ".mp3"; };
  std::vector<Row> rows = {
      {"no window: the notice, then the main menu",
       [](Finding& f) { f.calls.hasWindow = false; },
       {{"*EAMI: 9", noLibrary}, {"*EAII: 0", main}}},
      {"a library window without a local library: the notice at once",
       [](Finding& f) { f.calls.answer = 0; },
       {{"*EAMI: 9", noLibrary}, {"*EAII: 0", main}}},
      {"an artist, an album, a track, play next",
       [](Finding& f) { f.player.Entries(3); },
       {{"*EAMI: 9", top},
        {"*EAMI: 1", "*EASM=\"Artists\", 2, 1, 3"},
        {"*EAMI: 3", Page("Fleetwood Mac", 1, {"All tracks", "Rumours (1977)", "Tusk (1979)"})},
        {"*EAMI: 2", rumours},
        {"*EAMI: 4", Page("Dreams", 1, acts)},
        {"*EAMI: 2", "*EAID=14,2,\"Play next\",\"Next: Dreams\""},
        {"*EAII: 0", Page("Dreams", 2, acts)},
        {"*EAMI: 0", "*EASM=\"Rumours\", 2, 4, 6"},
        {"*EAMI: 0", "*EASM=\"Fleetwood Mac\", 2, 2, 3"}},
       [file](Finding& f) {
         EXPECT_EQ(f.player.titles,
                   (std::vector<std::string>{"Track 1", file("Dreams"), "Track 2", "Track 3"}));
         EXPECT_EQ(f.player.commands.size(), 0u) << "nothing played";
       }},
      {"an album from Albums, play now after the current entry",
       [](Finding& f) {
         f.player.Entries(3);
         f.player.position = 2;
       },
       {{"*EAMI: 9", top},
        {"*EAMI: 2",
         Page("Albums", 1,
              {"Demos - ac/dc 'live' (1991) #1 100%", "Live - AC/DC 'Live' (1991) #1 100%",
               "Rumours - Fleetwood Mac", "Tusk - Fleetwood Mac"})},
        {"*EAMI: 3", rumours},
        {"*EAMI: 1", rumours}},
       [file](Finding& f) {
         EXPECT_EQ(f.player.titles,
                   (std::vector<std::string>{"Track 1", "Track 2", "Track 3", file("Dreams"),
                                             file("Go Your Own Way"), file("Silver Springs")}));
         EXPECT_EQ(f.player.position, 3);
         EXPECT_EQ(f.player.state, 1);
       }},
      {"play next with shuffle on: the player's next question answered once",
       [](Finding& f) {
         f.player.Entries(3);
         f.player.shuffle = true;
       },
       {{"*EAMI: 9", top},
        {"*EAMI: 3", "*EAID=11,2,\"Search library\""},
        {"*EAII: 11,\"dreams\"", Page("dreams", 1, {"Fleetwood Mac - Dreams"})},
        {"*EAMI: 1", Page("Dreams", 1, acts)},
        {"*EAMI: 2", "*EAID=14,2,\"Play next\",\"Next: Dreams\""}},
       [](Finding& f) {
         const auto next = [&f] {
           return f.os.PlayerMessage(0x4242, host::kWmUser, 0, host::kNextItem);
         };
         EXPECT_EQ(next(), 1);
         EXPECT_EQ(next(), 0) << "once";
       }},
      {"... and not once the entry holds another file",
       [](Finding& f) {
         f.player.Entries(3);
         f.player.shuffle = true;
       },
       {{"*EAMI: 9", top},
        {"*EAMI: 3", "*EAID=11,2,\"Search library\""},
        {"*EAII: 11,\"dreams\"", Page("dreams", 1, {"Fleetwood Mac - Dreams"})},
        {"*EAMI: 1", Page("Dreams", 1, acts)},
        {"*EAMI: 2", "*EAID=14,2,\"Play next\",\"Next: Dreams\""}},
       [](Finding& f) {
         f.player.titles.erase(f.player.titles.begin());
         EXPECT_EQ(f.os.PlayerMessage(0x4242, host::kWmUser, 0, host::kNextItem), 0);
       }},
      {"all tracks added at the end",
       [](Finding& f) { f.player.Entries(2); },
       {{"*EAMI: 9", top},
        {"*EAMI: 1", "*EASM=\"Artists\""},
        {"*EAMI: 3", "*EASM=\"Fleetwood Mac\""},
        {"*EAMI: 1", "*EASM=\"Fleetwood Mac\", 2, 1, 7"},
        {"*EAMI: 3", "*EAID=14,2,\"Add to playlist\",\"Added: Fleetwood Mac\""}},
       [file](Finding& f) {
         EXPECT_EQ(f.player.titles,
                   (std::vector<std::string>{"Track 1", "Track 2", file("Dreams"),
                                             file("Go Your Own Way"), file("Silver Springs"),
                                             file("Tusk")}));
       }},
      {"an insert not taken: traced, the notice, back to the page",
       [](Finding& f) { f.calls.takes = false; },
       {{"*EAMI: 9", top},
        {"*EAMI: 3", "*EAID=11,2,\"Search library\",\"Artist, album or title\",30,\"\""},
        {"*EAII: 11,\"tusk\"", Page("tusk", 1, {"Fleetwood Mac - Tusk"})},
        {"*EAMI: 1", Page("Tusk", 1, acts)},
        {"*EAMI: 1", "*EAID=14,2,\"Library\",\"The playlist did not take it.\""},
        {"*EAII: 0", Page("Tusk", 1, acts)}},
       [](Finding& f) {
         EXPECT_EQ(f.traced.size(), 1u);
         EXPECT_EQ(f.player.state, 0);
       }},
      {"artists in ranges down to one, and back up",
       [](Finding& f) {
         f.calls.tracks.clear();
         for (int i = 25; i >= 1; --i) {
           const std::string band = std::string("Band ") + (i < 10 ? "0" : "") + std::to_string(i);
           f.calls.tracks.push_back(Song(u"Song", ToUtf16(FromUtf8(band)), u"First", 2000, 1));
         }
       },
       {{"*EAMI: 9", top},
        {"*EAMI: 1",
         Page("Artists", 1, {"Band 01 - Band 10", "Band 11 - Band 20", "Band 21 - Band 25"})},
        {"*EAMI: 2", Page("Artists", 1,
                          {"<<<", "Band 11", "Band 12", "Band 13", "Band 14", "Band 15", "Band 16",
                           "Band 17", "Band 18", "Band 19", "Band 20", ">>>"})},
        {"*EAMI: 12",
         Page("Artists", 1, {"<<<", "Band 21", "Band 22", "Band 23", "Band 24", "Band 25", ">>>"})},
        {"*EAMI: 3", Page("Band 22", 1, {"All tracks", "First (2000)"})},
        {"*EAMI: 0", "*EASM=\"Artists\", 2, 3, 7"},
        {"*EAMI: 0", "*EASM=\"Artists\", 2, 1, 3"}}},
      {"an artist by its exact name",
       nullptr,
       {{"*EAMI: 9", top},
        {"*EAMI: 1", "*EASM=\"Artists\", 2, 1, 3"},
        {"*EAMI: 1", "*EASM=\"AC/DC 'Live'...\", 2, 1, 2,\"All tracks\",\"Live (1992)\""}}},
      {"a search by two words in any order, then no match",
       nullptr,
       {{"*EAMI: 9", top},
        {"*EAMI: 3", "*EAID=11,2,\"Search library\""},
        {"*EAII: 11,\"rumours MAC\"",
         Page("rumours MAC", 1,
              {"Fleetwood Mac - Dreams", "Fleetwood Mac - Go Your Own Way",
               "Fleetwood Mac - Silver Springs"})},
        {"*EAMI: 0", searched},
        {"*EAMI: 3", "*EAID=11,2,\"Search library\",\"Artist, album or title\",30,\"rumours MAC\""},
        {"*EAII: 11,\"zzz\"", "*EAID=14,2,\"Library\",\"Nothing in the library matches zzz.\""},
        {"*EAII: 0", searched}}},
  };
  const std::string kino = "\xD0\xBA\xD0\xB8\xD0\xBD\xD0\xBE";  // typed in UTF-8
  rows.push_back(
      {"Cyrillic searched on a Western Windows, and offered again as typed",
       [](Finding& f) {
         f.UseTexts(PhoneCharset::kUtf8);
         f.calls.tracks.push_back(Song(u"\u041A\u0440\u043E\u0432\u044C",
                                       u"\u041A\u0438\u043D\u043E",
                                       u"\u0413\u0440\u0443\u043F\u043F\u0430", 1988, 1));
       },
       {{"*EAMI: 9", top},
        {"*EAMI: 3", "*EAID=11,2,\"Search library\",\"Artist, album or title\",30,\"\""},
        {"*EAII: 11,\"" + kino + "\"",
         Page(kino, 1,
              {"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE - \xD0\x9A\xD1\x80\xD0\xBE\xD0\xB2\xD1\x8C"})},
        {"*EAMI: 0", searched},
        {"*EAMI: 3",
         "*EAID=11,2,\"Search library\",\"Artist, album or title\",30,\"" + kino + "\""}}});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Finding f;
    f.calls.tracks = Shelf();
    f.playerMenus.Want(MainEntry::kLibrary, true);
    if (row.setUp) row.setUp(f);
    EXPECT_NE(f.Line("*EAAI").find(",\"Find track\",\"Library\",\"Playlist\""), std::string::npos);
    for (const auto& [line, sent] : row.steps)
      EXPECT_EQ(f.Line(line).substr(0, sent.size()), sent) << line;
    EXPECT_EQ(f.calls.recordsHeld, 0u);
    if (row.check) row.check(f);
  }
  // Cleared: no entry, and the library is never asked.
  Finding f;
  f.calls.tracks = Shelf();
  EXPECT_EQ(f.Line("*EAAI").find("Library"), std::string::npos);
  EXPECT_FALSE(f.library.Serves(kLibraryMenuId));
  f.Line("*EAMI: 9");
  EXPECT_TRUE(f.calls.queries.empty());
}

// The menus with a phone at the far end of the line, on either command set,
// which refuses a page when told to.
struct Wire : testing::LinkFixture, FinderParts {
  explicit Wire(bool newerSet) : FinderParts(os), newerSet(newerSet) {
    OpenPort();
    if (newerSet) {
      phone.model().SetNewer(true);
      link.menus.set = MenuCommandSet::kNewer;
      newer.Tell(&protocol);
      protocol.UseDialects([this] { return &newer; });
    } else {
      SendCommand(link, "+CMEE=1");  // refusals as "+CME ERROR"
    }
  }
  void Work() {
    while (protocol.WorkPending()) protocol.DoWork();
  }
  void Choose(int entry) {
    protocol.ChooseEntry(entry);
    Work();
  }
  void Find(const std::string& text) {
    protocol.MenuActivated();
    protocol.ChooseEntry(8);
    protocol.Answered(DialogAnswer{DialogAnswer::Kind::kFinal, 0, text});
    Work();
  }
  // Chooses `entry` while the phone answers pages as `result` says.
  void Refused(int entry, ReplyRule::Result result) {
    const char* command = newerSet ? "*SELIST" : "*EASM";
    phone.model().rules().Edit(command).result = result;
    phone.model().rules().Edit(command).cmeCode = 100;
    phone.model().rules().Edit(command).withoutValues = true;
    const std::size_t before = Pages();
    Choose(entry);
    EXPECT_GT(Pages(), before) << "no page was sent";
    phone.model().rules().Remove(command);
  }
  std::size_t Pages() {
    const auto& sent = phone.model().history();
    return static_cast<std::size_t>(std::count_if(sent.begin(), sent.end(), [](const auto& line) {
      return line.find("*EASM") != std::string::npos || line.find("*SELIST") != std::string::npos;
    }));
  }
  std::int32_t Playing() const { return player.state == 1 ? player.position : -1; }

  bool newerSet;
  MenuProtocol protocol{router, [this](const std::string& c) { return SendCommand(link, c); }};
  NewerDialect newer{[this](const std::string& command, const char* code, std::string* reply) {
                       return SendCommandForReply(link, command, code, reply);
                     },
                     [](const std::string&) {}, link.menus};
};

TEST(TrackFind, APageThePhoneRefusesChangesNothing) {
  struct Refusal {
    const char* what;
    bool newerSet;
    ReplyRule::Result result;
  };
  const Refusal refusals[] = {
      {"ERROR", false, ReplyRule::Result::Error},
      {"+CME ERROR", false, ReplyRule::Result::CmeError},
      {"no answer", false, ReplyRule::Result::Silent},
      {"newer ERROR", true, ReplyRule::Result::Error},
      {"newer OK without an id", true, ReplyRule::Result::Ok},
  };
  struct Walk {
    const char* what;
    std::function<void(Wire&, ReplyRule::Result)> run;
  };
  const Walk walks[] = {
      {"find >>",
       [](Wire& w, ReplyRule::Result refusal) {
         w.player.Entries(40);
         w.Find("track");
         w.Refused(14, refusal);
         w.Choose(3);
         EXPECT_EQ(w.Playing(), 2) << "the third match of the first page";
         w.Choose(14);
         w.Choose(3);
         EXPECT_EQ(w.Playing(), 14) << "the page after it, once taken";
       }},
      {"find <<",
       [](Wire& w, ReplyRule::Result refusal) {
         w.player.Entries(40);
         w.Find("track");
         w.Choose(14);
         w.Refused(1, refusal);
         w.Choose(3);
         EXPECT_EQ(w.Playing(), 14);
         w.Choose(1);
         w.Choose(3);
         EXPECT_EQ(w.Playing(), 2);
       }},
      {"find More...",
       [](Wire& w, ReplyRule::Result refusal) {
         w.player.Generate(6000);
         w.player.beforeRequest = [&w] { w.os.AdvanceMs(1); };
         w.Find("track 5999");
         w.Refused(1, refusal);
         w.Choose(1);
         EXPECT_EQ(w.Playing(), -1) << "\"More...\" once more, not the match unseen";
         w.Choose(1);
         EXPECT_EQ(w.Playing(), 5998);
       }},
      {"library >>",
       [](Wire& w, ReplyRule::Result refusal) {
         for (int i = 1; i <= 30; ++i)
           w.calls.tracks.push_back(
               Song(u"Song " + ToUtf16(FromUtf8(std::to_string(i))), u"A", u"B", 2000, i));
         w.playerMenus.Want(MainEntry::kLibrary, true);
         w.protocol.MenuActivated();
         w.Choose(9);
         w.protocol.ChooseEntry(3);
         w.protocol.Answered(DialogAnswer{DialogAnswer::Kind::kFinal, 0, "song"});
         w.Work();
         w.Refused(w.router.CurrentMenu()->count, refusal);
         w.Choose(2);
         w.Choose(0);
         w.Choose(3);
         w.Choose(1);
         ASSERT_EQ(w.player.titles.size(), 1u);
         EXPECT_EQ(w.player.titles[0], "C:\\Music\\Song 3.mp3") << "the first page's, not the next";
       }},
      {"playlist >>>",
       [](Wire& w, ReplyRule::Result refusal) {
         w.player.Entries(40);
         w.protocol.MenuActivated();
         w.Choose(9);
         w.Choose(2);  // 11-20
         w.Refused(12, refusal);
         w.Choose(3);
         EXPECT_EQ(w.player.position, 11);
         w.Choose(12);
         w.Choose(3);
         EXPECT_EQ(w.player.position, 21);
       }},
      {"playlist <<<",
       [](Wire& w, ReplyRule::Result refusal) {
         w.player.Entries(40);
         w.protocol.MenuActivated();
         w.Choose(9);
         w.Choose(2);
         w.Refused(1, refusal);
         w.Choose(3);
         EXPECT_EQ(w.player.position, 11);
         w.Choose(1);
         w.Choose(3);
         EXPECT_EQ(w.player.position, 1);
       }},
  };
  for (const Refusal& refusal : refusals) {
    for (const Walk& walk : walks) {
      SCOPED_TRACE(std::string(walk.what) + ", " + refusal.what);
      Wire w(refusal.newerSet);
      walk.run(w, refusal.result);
    }
  }
}

// Titles and typed texts in UTF-8, both brought to their search form.
TEST(TrackFind, TitlesHoldTypedTextsWhateverTheScript) {
  struct Row {
    const char* title;
    const char* typed;
    bool holds;
  };
  const Row rows[] = {
      {"Ph\xE1\xBB\x9F B\xC3\xB2", "pho bo", true},  // Vietnamese, two marks
      {"N\xC7\x90 h\xC7\x8Eo", "ni hao", true},      // pinyin tones
      {"\xD2\x90\xD0\x90\xD0\x9D\xD0\x9E\xD0\x9A", "\xD2\x91\xD0\xB0\xD0\xBD", true},  // Ґ as ґ
      {"\xE1\xBC\x88\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1", "\xCE\xB1\xCE\xB8\xCE\xB7\xCE\xBD",
       true},                              // Ἀθήνα, breathing and all
      {"GRO\xE1\xBA\x9E", "gross", true},  // capital sharp s
      {"Gro\xC3\x9F", "GROSS", true},
      {"\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3", "abc", true},           // full width
      {"\xEF\xAC\x81nal", "final", true},                              // the fi ligature
      {"a\xE1\xB7\x84 x\xE2\x83\x97y", "a xy", true},                  // marks beyond U+036F
      {"\xE3\x81\xB0\xE3\x82\x89", "\xE3\x81\xAF", false},             // voicing mark stays
      {"\xE3\x81\xB0\xE3\x82\x89", "\xE3\x81\xAF\xE3\x82\x99", true},  // ば spelt は + mark
      {"\xE0\xA4\x95\xE0\xA4\xBE", "\xE0\xA4\x95", false},             // का is not क
      {"\xD7\x91\xD6\xBC\xD6\xB0", "\xD7\x91\xD6\xB0\xD6\xBC", true},  // Hebrew marks either order
      {"\xED\x95\x9C\xEA\xB5\xAD", "\xED\x95\x9C", true},              // Hangul syllables whole
      {"\xED\x95\x9C\xEA\xB5\xAD", "\xED\x95\x98", false},
      {"\xC5\x81\xC3\xB3\x64\xC5\xBA", "lodz", true},  // the phone's plain forms
      {"Don\xE2\x80\x99t", "don't", true},
      {"\xCC\x81\xE1\xB7\x84", "", true},  // marks alone fold away
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.title) + " / " + row.typed);
    const std::u32string typed = SearchForm(FromUtf8(row.typed));
    std::u32string title = U"left over";
    SearchForm(FromUtf8(row.title), &title);
    EXPECT_EQ(Holds(title, typed), row.holds);
    if (*row.typed == '\0') {
      EXPECT_EQ(title, U"");
    }
  }
}

}  // namespace
}  // namespace quillet
