// Titles in every language: the set agreed with the phone, titles read in
// UTF-16, texts sent in the set and texts the phone sends back.
// Over the same walk, the play-mode entries (shuffle, repeat, rating).

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "fake_player.h"
#include "link/charset_setup.h"
#include "link/connection_setup.h"
#include "link_fixture.h"
#include "menus/built_in_menus.h"
#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "menus/newer_dialect.h"
#include "menus/phone_text.h"
#include "platform/host_messages.h"
#include "player/menu_router.h"
#include "set_up_sequence.h"
#include "shell/settings.h"
#include "stub_menu_source.h"

namespace quillet {
namespace {

using testing::FakePlayer;

std::u16string U16(const std::string& utf8) {
  return ToUtf16(FromUtf8(utf8));
}

std::string Repeat(const std::string& text, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += text;
  return s;
}

// The menus as the plug-in builds them, with or without a Charset.
struct Walk {
  Walk(bool on, PhoneCharset agreed) : set(agreed), texts(os, [this] { return set; }) {
    player.Entries(3);
    MenuTexts* used = on ? &texts : nullptr;
    playerMenus = std::make_unique<PlayerMenus>(menus, host, used);
    router = std::make_unique<MenuRouter>(host, *playerMenus, ids, 1);
    protocol = std::make_unique<MenuProtocol>(
        *router, [this](const std::string& c) { sent.push_back(c); }, used);
  }
  // The next entry's title, as the player has it in UTF-16 and in ANSI.
  void NextTitle(const std::string& utf8) {
    player.unicodeTitles = {u"One", U16(utf8), u"Three"};
    player.titles[1] = os.UnicodeToAnsi(U16(utf8));
  }
  std::string MainPage() {
    protocol->MenuActivated();
    return sent.back();
  }
  // The pages go out on the newer commands, each list taken with an id.
  void SpeakNewer() {
    newer = std::make_unique<NewerDialect>(
        [this](const std::string& command, const char* code, std::string* reply) {
          sent.push_back(command);
          if (*code != '\0') *reply = std::string(code) + ": " + std::to_string(++objects);
          return true;
        },
        [](const std::string&) {}, registration);
    newer->Tell(protocol.get());
    protocol->UseDialects([this] { return newer.get(); });
  }
  // The entries of the last page, as the phone shows them.
  std::vector<std::string> Entries() {
    std::vector<std::string> quoted;
    auto last = sent.rbegin();
    while (last != sent.rend() && last->rfind("*EASM", 0) != 0 && last->rfind("*SELIST", 0) != 0)
      ++last;
    if (last == sent.rend()) return quoted;
    const std::string& page = *last;
    for (std::size_t at = page.find('"', page.find('"', page.find('"') + 1) + 1);
         at != std::string::npos; at = page.find('"', at + 1)) {
      const std::size_t end = page.find('"', at + 1);
      quoted.push_back(page.substr(at + 1, end - at - 1));
      at = end;
    }
    if (!newer) return quoted;
    std::vector<std::string> texts;  // each entry's text, then its image
    for (std::size_t i = 0; i < quoted.size(); i += 2) texts.push_back(quoted[i]);
    return texts;
  }

  fake::FakePlatform os;
  FakePlayer player{os};
  BuiltInMenus menus;
  HostWindow host{os, 0x4242};
  MenuMessageIds ids = RegisterMenuMessages(os, 0x4242);
  PhoneCharset set;
  MenuTexts texts;
  std::unique_ptr<PlayerMenus> playerMenus;
  std::unique_ptr<MenuRouter> router;
  std::unique_ptr<MenuProtocol> protocol;
  MenuRegistration registration{MenuCommandSet::kNewer, 5, 1};
  std::unique_ptr<NewerDialect> newer;
  int objects = 0;
  std::vector<std::string> sent;
};

enum Mode { kAbsent, kUtf8, kLatin1, kAscii };

struct TitleCase {
  const char* what;
  std::string title;    // UTF-8 here; the player has it in UTF-16
  std::string sent[4];  // the "Next:" entry in each Mode, as bytes
};

TEST(Charset, TitlesThroughEachModeToTheBytesSent) {
  const std::string zhe30 = Repeat("\xD0\x96", 30);
  const std::string note28 = Repeat("\xF0\x9F\x8E\xB5", 28);
  const std::string cut30 = "Next: " + std::string(30, '?') + "...";
  const std::string cut28 = "Next: Ab" + std::string(28, '?') + "...";
  const TitleCase cases[] = {
      {"Latin-1 and a dash",
       "Caf\xC3\xA9 \xE2\x80\x93 D\xC3\xA9j\xC3\xA0 Vu",
       {"Next: Caf\xE9 \x96 D\xE9j\xE0 Vu", "Next: Caf\xC3\xA9 \xE2\x80\x93 D\xC3\xA9j\xC3\xA0 Vu",
        "Next: Caf\xE9 - D\xE9j\xE0 Vu", "Next: Cafe - Deja Vu"}},
      {"curly quotes and an ellipsis",
       "\xE2\x80\x98Quiet\xE2\x80\x99 \xE2\x80\x9CLoud\xE2\x80\x9D\xE2\x80\xA6",
       {"Next: \x91Quiet\x92 \x93Loud\x94\x85",
        "Next: \xE2\x80\x98Quiet\xE2\x80\x99 \xE2\x80\x9CLoud\xE2\x80\x9D\xE2\x80\xA6",
        "Next: 'Quiet' 'Loud'...", "Next: 'Quiet' 'Loud'..."}},
      {"marked letters outside 8859-1",
       "\xC5\x81\xC3\xB3"
       "d\xC5\xBA \xC5\x92uvre",
       {"Next: ?\xF3"
        "d? \x8Cuvre",
        "Next: \xC5\x81\xC3\xB3"
        "d\xC5\xBA \xC5\x92uvre",
        "Next: L\xF3"
        "dz OEuvre",
        "Next: Lodz OEuvre"}},
      {"Cyrillic",
       "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE",
       {"Next: ????", "Next: \xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE", "Next: ????", "Next: ????"}},
      {"CJK",
       "\xE5\xA4\x9C\xE3\x81\xAE\xE6\xAD\x8C",
       {"Next: ???", "Next: \xE5\xA4\x9C\xE3\x81\xAE\xE6\xAD\x8C", "Next: ???", "Next: ???"}},
      {"a 4-byte character",
       "\xF0\x9F\x8E\xB5 Song",
       {"Next: ? Song", "Next: \xF0\x9F\x8E\xB5 Song", "Next: ? Song", "Next: ? Song"}},
      {"a quote and a CR inside",
       "Say \"Hi\"\rNow",
       {"Next: Say 'Hi' Now", "Next: Say 'Hi' Now", "Next: Say 'Hi' Now", "Next: Say 'Hi' Now"}},
      // 36 characters and "...", never 36 bytes: 30 Cyrillic letters need 60.
      {"a long Cyrillic title", zhe30 + zhe30, {cut30, "Next: " + zhe30 + "...", cut30, cut30}},
      {"C1 controls as blanks",
       "A\xC2\x80"
       "B\xC2\x9F"
       "C",
       {"Next: A?B?C", "Next: A B C", "Next: A B C", "Next: A?B?C"}},
      {"DEL as a blank",
       "A\x7F"
       "B",
       {"Next: A B", "Next: A B", "Next: A B", "Next: A B"}},
      // "Next: " and 33 characters: 39, the most a label keeps whole.
      {"a title of exactly the label's limit",
       Repeat("\xC3\xA9", 33),
       {"Next: " + std::string(33, '\xE9'), "Next: " + Repeat("\xC3\xA9", 33),
        "Next: " + std::string(33, '\xE9'), "Next: " + std::string(33, 'e')}},
      {"long 4-byte characters cut between them",
       "Ab" + note28 + note28,
       {cut28, "Next: Ab" + note28 + "...", cut28, cut28}},
  };
  const PhoneCharset sets[] = {PhoneCharset::kNone, PhoneCharset::kUtf8, PhoneCharset::kLatin1,
                               PhoneCharset::kNone};
  for (const TitleCase& c : cases) {
    for (int mode = kAbsent; mode <= kAscii; ++mode) {
      SCOPED_TRACE(std::string(c.what) + ", mode " + std::to_string(mode));
      Walk walk(mode != kAbsent, sets[mode]);
      walk.NextTitle(c.title);
      const std::string page = walk.MainPage();
      EXPECT_NE(page.find(",\"" + c.sent[mode] + "\","), std::string::npos) << page;
      // Without the setting the player is asked exactly what it always was.
      EXPECT_EQ(walk.player.unicodeRequests > 0, mode != kAbsent);
    }
  }
}

TEST(Charset, AnUnpairedSurrogateIsOneUnknownCharacter) {
  for (PhoneCharset set : {PhoneCharset::kUtf8, PhoneCharset::kLatin1, PhoneCharset::kNone}) {
    Walk walk(true, set);
    walk.player.unicodeTitles = {u"One", std::u16string(u"A") + char16_t(0xD800) + u"B",
                                 std::u16string(1, char16_t(0xDC00))};
    EXPECT_NE(walk.MainPage().find(",\"Next: A?B\","), std::string::npos);
    walk.player.position = 1;  // a lone second half next
    EXPECT_NE(walk.MainPage().find(",\"Prev: One\",\"Next: ?\","), std::string::npos);
  }
}

// The optional entries come and go in any order, on either command set,
// with the titles held in full or not: each entry keeps its own label.
TEST(Charset, OptionalMainEntriesNeverRelabelAnother) {
  const MainEntry find = MainEntry::kFindTrack;
  const MainEntry keys = MainEntry::kRemoteKeys;
  struct Toggle {
    MainEntry entry;
    bool shown;
  };
  const std::vector<std::vector<Toggle>> orders = {
      {{find, true}, {keys, true}, {find, false}, {keys, false}},
      {{find, true}, {keys, true}, {keys, false}, {find, false}},
      {{keys, true}, {find, true}, {find, false}, {keys, false}},
      {{keys, true}, {find, true}, {keys, false}, {find, false}},
      {{find, true}, {find, false}, {keys, true}, {keys, false}},
      {{keys, true}, {keys, false}, {find, true}, {find, false}},
  };
  for (bool on : {false, true}) {
    for (bool newer : {false, true}) {
      for (std::size_t order = 0; order < orders.size(); ++order) {
        SCOPED_TRACE(std::string(on ? "UTF-8" : "no charset") + (newer ? ", newer" : ", older") +
                     ", order " + std::to_string(order));
        Walk walk(on, PhoneCharset::kUtf8);
        if (newer) walk.SpeakNewer();
        walk.NextTitle("Caf\xC3\xA9");
        walk.MainPage();
        const std::vector<std::string> plain = walk.Entries();
        ASSERT_GE(plain.size(), 3u);
        EXPECT_EQ(plain[0], on ? "Prev: Three" : "Prev: Track 3");
        EXPECT_EQ(plain[1], on ? "Next: Caf\xC3\xA9" : "Next: Caf\xE9");
        EXPECT_EQ(plain[2], "Play");
        bool shows[2] = {false, false};
        for (const Toggle& toggle : orders[order]) {
          shows[toggle.entry == keys] = toggle.shown;
          walk.playerMenus->Want(toggle.entry, toggle.shown);
          std::vector<std::string> expected = plain;
          // Find track after Go to track; Remote keys last.
          if (shows[0]) expected.insert(expected.begin() + 7, "Find track: ");
          if (shows[1]) expected.emplace_back("Remote keys");
          walk.MainPage();
          EXPECT_EQ(walk.Entries(), expected);
        }
      }
    }
  }
}

// Shuffle, repeat and the rating (PlayModes=1): each opening reads them,
// and without the setting no request of theirs is ever sent.
TEST(PlayModes, ReadAtEveryOpeningAndNeverAskedWithout) {
  Walk without(false, PhoneCharset::kUtf8);
  without.MainPage();
  for (const std::int32_t id : {kShuffleId, kRepeatId, kRatingId})
    without.router->ApplyValue(id, 1);
  for (const std::intptr_t request : {250, 251, 252, 253, 639, 640})
    EXPECT_EQ(std::count(without.player.asked.begin(), without.player.asked.end(), request), 0);
  EXPECT_EQ(without.player.changes.size(), 3u) << "other plug-ins' ids, as before";

  Walk walk(false, PhoneCharset::kUtf8);
  walk.playerMenus->WantPlayModes(true);
  for (const std::int32_t rating : {4, 1}) {
    walk.player.shuffle = walk.player.repeat = rating == 1;
    walk.player.rating = rating;
    walk.MainPage();
    const std::vector<std::string> entries = walk.Entries();
    const char* on = rating == 1 ? "On" : "Off";
    EXPECT_EQ(std::vector<std::string>(entries.begin() + 9, entries.end()),
              (std::vector<std::string>{std::string("Shuffle: ") + on, std::string("Repeat: ") + on,
                                        rating == 1 ? "Rating: 1 star" : "Rating: 4 stars",
                                        "Video window"}));
  }
}

// Each entry through its dialog on both command sets, the rating read back,
// and the notices, whose answer shows the main menu again.
TEST(PlayModes, SwitchesAndTheRatingThroughTheirDialogs) {
  const std::string ratings =
      ",6,\"No rating\",\"1 star\",\"2 stars\",\"3 stars\",\"4 stars\",\"5 stars\"";
  const std::string notKept[] = {"*EAID=14,2,\"Rating\",\"This player keeps no ratings.\"",
                                 "*SELERT=\"This player keeps no ratings.\",4,1,\"Rating\""};
  const std::string noTrack[] = {"*EAID=14,2,\"Rating\",\"No track to rate.\"",
                                 "*SELERT=\"No track to rate.\",4,1,\"Rating\""};
  // The player: three entries, repeat on and a rating of two stars.
  enum Player { kKeeps, kKeepsNone, kEmptiedUnderTheDialog, kEmpty };
  struct Row {
    const char* entry;      // chosen on the main menu
    std::string opened[2];  // what that shows, older and newer (a start of it)
    Player player;
    std::int32_t answer;              // -1: a notice, dismissed
    std::string notice[2];            // what the answer shows, if not the main menu
    std::vector<std::intptr_t> sets;  // the play modes' set requests
    const char* label;                // the entry on the main menu then
  };
  const Row rows[] = {
      {"Shuffle: Off",
       {"*EAID=3,2,\"Shuffle\",0", "*SEONO=\"Shuffle\",0,1"},
       kKeeps,
       1,
       {},
       {host::kSetShuffle},
       "Shuffle: On"},
      {"Repeat: On",
       {"*EAID=3,2,\"Repeat\",1", "*SEONO=\"Repeat\",1,1"},
       kKeeps,
       0,
       {},
       {host::kSetRepeat},
       "Repeat: Off"},
      {"Rating: 2 stars",
       {"*EAID=5,2,\"Rating\",3" + ratings, "*SELIST=\"Rating\",1,2,6,"},
       kKeeps,
       5,
       {},
       {host::kSetRating},
       "Rating: 4 stars"},
      {"Rating: 2 stars",
       {"*EAID=5,2,\"Rating\",3", "*SELIST=\"Rating\",1,2,6,"},
       kKeepsNone,
       5,
       {notKept[0], notKept[1]},
       {host::kSetRating},
       "Rating: 2 stars"},
      {"Rating: 2 stars",
       {"*EAID=5,2,\"Rating\"", "*SELIST=\"Rating\""},
       kEmptiedUnderTheDialog,
       4,
       {noTrack[0], noTrack[1]},
       {},
       "Rating"},
      {"Rating", {noTrack[0], noTrack[1]}, kEmpty, -1, {}, {}, "Rating"},
  };
  const auto lastShown = [](const std::vector<std::string>& sent) {
    auto at = sent.rbegin();
    while (at != sent.rend() && (at->rfind("*SEDEL", 0) == 0 || at->rfind("*SEUIS", 0) == 0)) ++at;
    return at == sent.rend() ? std::string() : *at;
  };
  for (bool newer : {false, true}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.entry) + " answered " + std::to_string(row.answer) +
                   (newer ? ", newer" : ", older"));
      Walk walk(false, PhoneCharset::kUtf8);
      if (newer) walk.SpeakNewer();
      walk.playerMenus->WantPlayModes(true);
      walk.player.repeat = true;
      walk.player.rating = 2;
      walk.player.keepsRatings = row.label != std::string("Rating: 2 stars");
      if (row.player == kEmpty) walk.player.titles.clear();
      walk.MainPage();
      const std::vector<std::string> entries = walk.Entries();
      const auto at = static_cast<std::size_t>(
          std::find(entries.begin(), entries.end(), row.entry) - entries.begin());
      ASSERT_LT(at, entries.size()) << ::testing::PrintToString(entries);
      const std::size_t asked = walk.player.asked.size();
      walk.protocol->ChooseEntry(static_cast<int>(at) + 1);
      EXPECT_EQ(lastShown(walk.sent).rfind(row.opened[newer], 0), 0u) << lastShown(walk.sent);
      if (row.player == kEmptiedUnderTheDialog) walk.player.titles.clear();
      DialogAnswer answer;  // a notice's: dismissed
      if (row.answer >= 0) answer = {DialogAnswer::Kind::kFinal, row.answer, ""};
      walk.protocol->Answered(answer);
      if (!row.notice[newer].empty()) {
        EXPECT_EQ(lastShown(walk.sent), row.notice[newer]);
        walk.protocol->Answered(DialogAnswer{});
      }
      std::vector<std::intptr_t> sets;
      std::copy_if(walk.player.asked.begin() + asked, walk.player.asked.end(),
                   std::back_inserter(sets), [](std::intptr_t r) {
                     return r == host::kSetShuffle || r == host::kSetRepeat ||
                            r == host::kSetRating;
                   });
      EXPECT_EQ(sets, row.sets);
      // The main menu again, the entry chosen selected.
      EXPECT_EQ(lastShown(walk.sent).rfind(
                    newer ? "*SELIST=\"Winamp menu\",3," + std::to_string(at) + ",13,"
                          : "*EASM=\"Winamp menu\", 1, " + std::to_string(at + 1) + ", 13,",
                    0),
                0u)
          << lastShown(walk.sent);
      EXPECT_EQ(walk.Entries().at(at), row.label);
    }
  }
}

// Everything ticked: the main menu is longer than a page and pages like any
// other, on both command sets.
TEST(PlayModes, EverythingTickedPagesTheMainMenu) {
  const std::vector<std::string> first = {
      "Prev: Track 3", "Next: Track 2",     "Play",           "Pause",
      "Stop",          "Track info",        "Go to track: 1", "Find track: ",
      "Library",       "Playlist",          "Volume: 8",      "Shuffle: Off",
      "Repeat: Off",   "Rating: No rating", "Video window",   ">>"};
  for (bool newer : {false, true}) {
    Walk walk(false, PhoneCharset::kUtf8);
    if (newer) walk.SpeakNewer();
    walk.playerMenus->WantPlayModes(true);
    walk.playerMenus->Want(MainEntry::kFindTrack, true);
    walk.playerMenus->Want(MainEntry::kRemoteKeys, true);
    walk.playerMenus->Want(MainEntry::kLibrary, true);
    walk.MainPage();
    EXPECT_EQ(walk.Entries(), first);
    walk.protocol->ChooseEntry(16);
    EXPECT_EQ(walk.Entries(), (std::vector<std::string>{"<<", "Remote keys"}));
    walk.protocol->ChooseEntry(1);
    EXPECT_EQ(walk.Entries(), first);
  }
}

// The now-playing notice keeps 180 characters of the title, whatever bytes
// they need; the supplied menu's title is cut by characters.
TEST(Charset, NoticesKeep180CharactersAndTitlesAreCutByCharacters) {
  const std::string e200 = Repeat("\xC3\xA9", 200);
  struct Case {
    PhoneCharset set;
    std::string notice;  // after "Stopped, "
    std::string title;   // the supplied menu's, cut
  };
  const Case cases[] = {
      {PhoneCharset::kUtf8, e200.substr(0, 360), "Caf\xC3\xA9 \xE2\x80\x93 D\xC3\xA9j\xC3\xA0 ..."},
      {PhoneCharset::kLatin1, std::string(180, '\xE9'), "Caf\xE9 - D\xE9j\xE0 ..."},
      {PhoneCharset::kNone, std::string(180, 'e'), "Cafe - Deja ..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(CharsetName(c.set));
    Walk walk(true, c.set);
    walk.player.unicodeTitles = {U16(e200)};
    walk.router->OpenMenu(kNowPlayingMenuId);
    walk.protocol->ShowMenu();
    EXPECT_EQ(walk.sent.back(), "*EAID=14,2,\"Now playing\",\"Stopped, " + c.notice + "\"");
    // The 180 units end inside a pair: the half is left out, not sent as "?".
    walk.player.unicodeTitles = {std::u16string(179, u'a') + u"\U0001F3B5"};
    walk.router->OpenMenu(kNowPlayingMenuId);
    walk.protocol->ShowMenu();
    EXPECT_EQ(walk.sent.back(),
              "*EAID=14,2,\"Now playing\",\"Stopped, " + std::string(179, 'a') + "\"");

    // A supplied record's texts are ANSI (Windows-1252 here).
    MenuItem item{};
    SetFieldText(item.name, "\x93Vu\x94 \x85");
    Menu menu{};
    menu.items = &item;
    menu.count = 1;
    menu.id = 500;
    SetFieldText(menu.title, "Caf\xE9 \x96 D\xE9j\xE0 Vu!!");  // 16 characters
    walk.player.supplied[500] = &menu;
    walk.router->OpenMenu(500);
    walk.protocol->ShowMenu();
    const std::string entry =
        c.set == PhoneCharset::kUtf8 ? "\xE2\x80\x9CVu\xE2\x80\x9D \xE2\x80\xA6" : "'Vu' ...";
    EXPECT_EQ(walk.sent.back(), "*EASM=\"" + c.title + "\", 1, 1, 1,\"" + entry + "\"");
  }
}

TEST(Charset, TheBytesWithoutTheSettingAreToday) {
  Walk walk(false, PhoneCharset::kUtf8);
  walk.player.titles[1] = std::string(60, '\xE9');
  EXPECT_EQ(walk.MainPage(),
            "*EASM=\"Winamp menu\", 1, 1, 10,\"Prev: Track 3\",\"Next: " + std::string(30, '\xE9') +
                "...\",\"Play\",\"Pause\",\"Stop\",\"Track info\",\"Go to track: 1\",\"Playlist\","
                "\"Volume: 8\",\"Video window\"");
  EXPECT_EQ(walk.player.unicodeRequests, 0);
}

// A title the player does not give in UTF-16 (no answer, or memory that
// cannot be read) comes from the ANSI request through the code page.
TEST(Charset, WithoutAUnicodeAnswerTheAnsiTitleIsConverted) {
  // The last round answers addresses of UTF-16 titles that cannot be read.
  const std::optional<std::intptr_t> answers[] = {0, 1, 65535, -1, 0x7FFF0000, std::nullopt};
  for (const auto& answer : answers) {
    Walk walk(true, PhoneCharset::kUtf8);
    walk.player.titles[1] = "Caf\xE9 \x96 1";
    walk.player.unicodeTitles = {u"One", u"Two", u"Three"};
    walk.player.unicodeTitleAnswer = answer;
    for (const std::string& title : walk.player.titles)
      walk.os.DeclareReadable(reinterpret_cast<std::uintptr_t>(title.c_str()), title.size() + 1);
    EXPECT_NE(walk.MainPage().find(",\"Next: Caf\xC3\xA9 \xE2\x80\x93 1\","), std::string::npos)
        << answer.value_or(42);
  }
}

TEST(Charset, PlaylistEntriesKeepTheirFullLabelsAndOtherPagesNone) {
  Walk walk(true, PhoneCharset::kUtf8);
  walk.player.Entries(12);
  walk.player.unicodeTitles.assign(12, U16("\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE"));
  walk.router->OpenMenu(kPlaylistMenuId);
  walk.protocol->ShowMenu();
  EXPECT_EQ(walk.sent.back(), "*EASM=\"Playlist\", 2, 1, 2,\"1-10\",\"11-12\"");
  walk.protocol->ChooseEntry(2);
  EXPECT_EQ(walk.sent.back(),
            "*EASM=\"Playlist\", 2, 2, 4,\"<<<\",\"11. \xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\","
            "\"12. \xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\",\">>>\"");
  walk.protocol->ChooseEntry(0);
  EXPECT_EQ(walk.sent.back(), "*EASM=\"Playlist\", 2, 2, 2,\"1-10\",\"11-12\"");
}

// What the user types in a Text dialog reaches the supplied buffer in the
// player's code page, never longer than the buffer.
TEST(Charset, TextAnswersGoBackToTheCodePage) {
  struct Case {
    PhoneCharset set;
    std::string answer;
    std::string stored;
    bool utf8CodePage = false;  // Windows' "Unicode UTF-8 for worldwide language support"
  };
  const Case cases[] = {
      {PhoneCharset::kUtf8, ": 1,\"D\xC3\xA9j\xC3\xA0 vu\"", "D\xE9j\xE0 v"},
      // Overlong forms spell '/' and 'A': neither may come through.
      {PhoneCharset::kUtf8, ": 1,\"\xC0\xAF\xE0\x80\xC1\"", "?????"},
      {PhoneCharset::kUtf8, ": 1,\"\xE0\x80\xAF\"", "???"},
      {PhoneCharset::kUtf8, ": 1,\"D\xC3\xA9j\xC3\xA0 vu\"", "D\xC3\xA9j\xC3\xA0", true},
      {PhoneCharset::kUtf8, ": 1,\"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\"", "\xD0\x9A\xD0\xB8\xD0\xBD",
       true},
      {PhoneCharset::kUtf8, ": 1,\"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\"", "????"},
      {PhoneCharset::kUtf8, ": 1,\"\xE2\x80\x93\xF0\x9F\x8E\xB5\xC3\"", "\x96??"},
      {PhoneCharset::kLatin1, ": 1,\"D\xE9j\xE0 vu\"", "D\xE9j\xE0 v"},
      {PhoneCharset::kNone, ": 1,\"D\xE9j\xE0\"", "D?j?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    fake::FakePlatform os;
    os.utf8CodePage = c.utf8CodePage;
    PhoneCharset set = c.set;
    MenuTexts texts(os, [&] { return set; });
    testing::StubMenuSource source;
    std::vector<std::string> sent;
    MenuProtocol protocol(
        source, [&](const std::string& s) { sent.push_back(s); }, &texts);
    char buffer[7] = "xxxxxx";
    MenuItem item{};
    item.kind = kText;
    item.labels = buffer;
    item.maximum = 6;
    Menu menu{};
    menu.items = &item;
    menu.count = 1;
    source.current = &menu;
    protocol.HandleAnswer(c.answer);
    EXPECT_EQ(std::string(buffer), c.stored);
  }
}

struct SetupRig : testing::LinkFixture {
  SetupRig() {
    phone.model().SetValue("+CGMI", {"SimPhone"});
    phone.model().SetValue("+CGMM", {"QX-1"});
    phone.device().SetDsr(true, 0);
  }
  // The commands after the set-up's last.
  std::vector<std::string> AfterSetup() {
    const auto& all = phone.model().history();
    std::vector<std::string> after;
    bool seen = false;
    for (const std::string& line : all) {
      if (seen) after.push_back(line);
      seen = seen || line == testing::SetUpCommands().back();
    }
    return after;
  }
};

TEST(Charset, TheSetIsChosenFromWhatThePhoneOffers) {
  struct Case {
    CharsetWish wish;
    std::vector<std::string> offered;
    std::vector<std::string> sent;
    PhoneCharset agreed;
    const char* trace;
    // Quillet's set selected on this port before, over the phone's own.
    bool selectedBefore = false;
    const char* own = "";
    bool newer = false;
  };
  const std::vector<std::string> usual = {"GSM", "IRA", "8859-1", "UTF-8", "UCS2"};
  const std::string ask = "AT+CSCS=?", utf8 = "AT+CSCS=\"UTF-8\"", latin1 = "AT+CSCS=\"8859-1\"";
  const std::string read = "AT+CSCS?", gsm = "AT+CSCS=\"GSM\"";
  const char* toUtf8 = "info: character set: UTF-8";
  const char* toLatin1 = "info: character set: 8859-1";
  const char* toAscii = "info: character set: none agreed, texts in ASCII";
  const Case cases[] = {
      {CharsetWish::kAuto, usual, {ask, read, utf8}, PhoneCharset::kUtf8, toUtf8},
      {CharsetWish::kAuto, {"GSM", "8859-1"}, {ask, read, latin1}, PhoneCharset::kLatin1, toLatin1},
      {CharsetWish::kAuto, {"GSM", "UCS2"}, {ask}, PhoneCharset::kNone, toAscii},
      {CharsetWish::kAuto, {}, {ask}, PhoneCharset::kNone, toAscii},
      {CharsetWish::kLatin1, usual, {read, latin1}, PhoneCharset::kLatin1, toLatin1},
      {CharsetWish::kUtf8, {"GSM"}, {read, utf8}, PhoneCharset::kNone, toAscii},
      {CharsetWish::kOff, usual, {}, PhoneCharset::kNone, nullptr},
      // The phone's own set is read only while it has it, and put back when
      // the setting is cleared; unknown, nothing is put back.
      {CharsetWish::kUtf8, usual, {utf8}, PhoneCharset::kUtf8, toUtf8, true, "GSM"},
      {CharsetWish::kOff, usual, {gsm}, PhoneCharset::kNone, nullptr, true, "GSM"},
      {CharsetWish::kOff, usual, {}, PhoneCharset::kNone, nullptr, true, ""},
      // A Charset left out: off on an older phone (its set put back), auto on
      // a newer one.
      {CharsetWish::kAutoOnNewer, usual, {}, PhoneCharset::kNone, nullptr},
      {CharsetWish::kAutoOnNewer, usual, {gsm}, PhoneCharset::kNone, nullptr, true, "GSM"},
      {CharsetWish::kAutoOnNewer,
       usual,
       {ask, read, utf8},
       PhoneCharset::kUtf8,
       toUtf8,
       false,
       "",
       true},
      {CharsetWish::kOff, usual, {}, PhoneCharset::kNone, nullptr, false, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent.empty() ? "off" : c.sent.back());
    SetupRig f;
    f.phone.model().SetCharsets(c.offered);
    f.phone.model().SetNewer(c.newer);
    f.link.charsetWish = c.wish;
    f.link.charset = PhoneCharset::kUtf8;  // from an earlier phone
    f.link.charsetSelected = c.selectedBefore;
    f.link.ownCharset = c.own;
    OnInit(f.link, false);
    EXPECT_EQ(f.AfterSetup(), c.sent);
    EXPECT_EQ(f.link.charset, c.agreed);
    EXPECT_EQ(f.link.status.Text(), testing::kConnectedStatus);
    const std::string trace = f.Trace();
    if (c.trace) {
      EXPECT_NE(trace.find(std::string(c.trace) + "\r\n"), std::string::npos) << trace;
    } else {
      EXPECT_EQ(trace.find("character set"), std::string::npos) << trace;
    }
  }
}

TEST(Charset, ListAnswersAndSettings) {
  const std::pair<const char*, PhoneCharset> lists[] = {
      {"+CSCS: (\"GSM\",\"IRA\",\"8859-1\",\"UTF-8\",\"UCS2\")", PhoneCharset::kUtf8},
      {"+CSCS: (\"utf-8\")", PhoneCharset::kUtf8},
      {"+CSCS: (\"GSM\",\"8859-1\")", PhoneCharset::kLatin1},
      {"+CSCS: (\"UTF-8 \",\"8859-15\",\"UTF8\")", PhoneCharset::kNone},
      {"+CSCS: (GSM,UTF-8)", PhoneCharset::kNone},
      {"+CSCS: (\"UTF-8", PhoneCharset::kNone},
      {"+CSCA: (\"UTF-8\")", PhoneCharset::kNone},
      {"", PhoneCharset::kNone},
  };
  for (const auto& [line, set] : lists) EXPECT_EQ(ChooseCharset(line), set) << line;
  const std::pair<const char*, CharsetWish> wishes[] = {
      {"", CharsetWish::kOff},       {"auto", CharsetWish::kAuto},
      {"AUTO", CharsetWish::kAuto},  {"utf-8", CharsetWish::kUtf8},
      {"UTF-8", CharsetWish::kUtf8}, {"8859-1", CharsetWish::kLatin1},
      {"UCS2", CharsetWish::kAuto},  {" ", CharsetWish::kAuto},
  };
  for (const auto& [text, wish] : wishes) EXPECT_EQ(ParseCharsetWish(text), wish) << text;
  EXPECT_EQ(ParseCharsetWish("", false), CharsetWish::kAutoOnNewer);
}

}  // namespace
}  // namespace quillet
