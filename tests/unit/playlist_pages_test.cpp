#include "player/playlist_pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_player.h"
#include "menus/menu_items.h"
#include "platform/host_messages.h"
#include "player/player_menus.h"

namespace quillet {
namespace {

using testing::FakePlayer;

struct Playlist : ::testing::Test {
  fake::FakePlatform os;
  FakePlayer player{os};
  BuiltInMenus menus;
  HostWindow host{os, 0x4242};
  PlaylistPages pages{menus, host};

  // The page as "label=id" entries, "<<<"/">>>" included.
  static std::vector<std::string> Entries(const Menu& menu) {
    std::vector<std::string> out;
    for (int i = 0; i < menu.count; ++i)
      out.push_back(FieldText(menu.items[i].name) + "=" + std::to_string(menu.items[i].id));
    return out;
  }
};

TEST_F(Playlist, WorkedWalkThroughTwelveHundredEntries) {
  player.Entries(1234);
  struct Step {
    std::int32_t id;
    std::int32_t cursor;
    std::vector<std::string> entries;
    std::int32_t selection, parent;
  };
  const std::vector<std::string> lastTen = {"<<<=51",
                                            "1231. Track 1231=53",
                                            "1232. Track 1232=54",
                                            "1233. Track 1233=55",
                                            "1234. Track 1234=56",
                                            ">>>=52"};
  const std::vector<std::string> tens = {"<<<=64",       "1201-1210=66", "1211-1220=67",
                                         "1221-1230=68", "1231-1234=69", ">>>=65"};
  const std::vector<std::string> hundreds = {"<<<=77", "1001-1100=79", "1101-1200=80",
                                             "1201-1234=81", ">>>=78"};
  const std::vector<std::string> top = {"1-1000=92", "1001-1234=93"};
  std::vector<std::string> first = {"<<<=51"};
  for (int i = 1; i <= 10; ++i)
    first.push_back(std::to_string(i) + ". Track " + std::to_string(i) + "=" +
                    std::to_string(52 + i));
  first.push_back(">>>=52");
  const Step steps[] = {
      {11, 0, top, 0, 10},        {93, 1000, hundreds, 1, 76}, {81, 1200, tens, 1, 63},
      {69, 1230, lastTen, 1, 50}, {55, 1232, lastTen, 3, 50},  {52, 0, first, 1, 50},
      {51, 1233, lastTen, 4, 50}, {50, 1233, tens, 4, 63},     {63, 1233, hundreds, 3, 76},
      {76, 1233, top, 1, 10},
  };
  player.state = 1;
  for (const Step& s : steps) {
    player.commands.clear();
    Menu* page = pages.Page(s.id);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(pages.cursor(), s.cursor) << s.id;
    EXPECT_EQ(Entries(*page), s.entries) << s.id;
    EXPECT_EQ(page->selection, s.selection) << s.id;
    EXPECT_EQ(page->parent, s.parent) << s.id;
    EXPECT_EQ(page == &menus.playlistTopMenu, s.entries == top) << s.id;
    if (s.id == 55) {
      EXPECT_EQ(player.position, 1232);
      EXPECT_EQ(player.commands, std::vector<std::uintptr_t>{host::kCommandPlay});
    } else {
      EXPECT_TRUE(player.commands.empty()) << s.id;
    }
  }
}

// Twenty entries: the top page holds 1-10 (id 66) and 11-20 (id 67); on an
// entry page ">>>" is id 52 and entry k is id 52 + k.
TEST_F(Playlist, StepsFromTheSecondBlockOfTwenty) {
  struct Case {
    std::int32_t state, id, cursor, position;
    std::vector<std::uintptr_t> commands;
  };
  const Case cases[] = {
      {0, 52, 0, 5, {}},                      // the next block would start at the end
      {3, 55, 12, 12, {host::kCommandPlay}},  // an entry chosen while paused plays
  };
  for (const Case& c : cases) {
    player.Entries(20);
    player.position = 5;
    player.state = c.state;
    pages.Page(11);
    pages.Page(67);
    player.commands.clear();
    Menu* page = pages.Page(c.id);
    EXPECT_EQ(pages.cursor(), c.cursor) << c.id;
    EXPECT_EQ(FieldText(page->items[page->selection].name),
              std::to_string(c.cursor + 1) + ". Track " + std::to_string(c.cursor + 1))
        << c.id;
    EXPECT_EQ(player.position, c.position) << c.id;
    EXPECT_EQ(player.commands, c.commands) << c.id;
  }
}

TEST_F(Playlist, TopPagesBySize) {
  struct Case {
    int n;
    std::vector<std::string> top;
  };
  const Case cases[] = {
      {1, {"1. Track 1=53"}},
      {10,
       {"1. Track 1=53", "2. Track 2=54", "3. Track 3=55", "4. Track 4=56", "5. Track 5=57",
        "6. Track 6=58", "7. Track 7=59", "8. Track 8=60", "9. Track 9=61", "10. Track 10=62"}},
      {11, {"1-10=66", "11-11=67"}},
      {100,
       {"1-10=66", "11-20=67", "21-30=68", "31-40=69", "41-50=70", "51-60=71", "61-70=72",
        "71-80=73", "81-90=74", "91-100=75"}},
      {101, {"1-100=79", "101-101=80"}},
  };
  for (const Case& c : cases) {
    player.Entries(c.n);
    EXPECT_EQ(Entries(*pages.Page(11)), c.top) << c.n;
  }
  player.Entries(0);
  EXPECT_EQ(pages.Page(11), &menus.emptyPlaylistMenu);
  EXPECT_STREQ(menus.emptyPlaylistMenu.text, "No item to display.");
}

TEST_F(Playlist, SingleLevelJumpsShowTheTopAgain) {
  player.Entries(7);
  pages.Page(11);
  player.state = 0;
  Menu* page = pages.Page(56);
  EXPECT_EQ(page, &menus.playlistTopMenu);
  EXPECT_EQ(page->selection, 3);
  EXPECT_EQ(player.position, 3);
  EXPECT_TRUE(player.commands.empty()) << "stopped: no play";
  player.Entries(1);
  player.position = 5;
  pages.Page(11);
  EXPECT_EQ(Entries(*pages.Page(53)), std::vector<std::string>{"1. Track 1=53"});
  EXPECT_EQ(player.position, 0);
}

TEST_F(Playlist, StalePagesRestartAtTheTopAndMissingTitlesShowUnknown) {
  // A page built before the playlist shrank: what it leads to now lies
  // beyond the end, so the walk starts again at the top and plays nothing.
  struct Case {
    std::vector<std::int32_t> walk;  // on 1234 entries
    int shrunkTo;
    std::int32_t id;
    int topCount;
  };
  const Case cases[] = {
      {{11, 93}, 50, 92, 5},            // a page of a level the playlist no longer has
      {{11, 93, 81, 69}, 1232, 56, 2},  // entry 1234 on the page of 1231-1234
      {{11, 93, 81}, 1215, 68, 2},      // the group 1221-1230
      {{11, 92, 79}, 50, 63, 5},        // up from level 1, now the top level
      {{11, 92, 79, 66}, 7, 50, 7},     // up from level 0, now the top level
  };
  player.state = 1;
  for (const Case& c : cases) {
    player.Entries(1234);
    for (const std::int32_t id : c.walk) pages.Page(id);
    player.Entries(c.shrunkTo);
    player.position = 2;
    player.commands.clear();
    Menu* page = pages.Page(c.id);
    EXPECT_EQ(page, &menus.playlistTopMenu) << c.id;
    EXPECT_EQ(page->count, c.topCount) << c.id;
    EXPECT_EQ(pages.cursor(), 0) << c.id;
    EXPECT_EQ(player.position, 2) << c.id;
    EXPECT_TRUE(player.commands.empty()) << c.id;
  }
  player.Entries(3);
  player.noTitleFrom = 1;  // entries the player has no title for are still listed
  EXPECT_EQ(Entries(*pages.Page(11)),
            (std::vector<std::string>{"1. Track 1=53", "2. Unknown=54", "3. Unknown=55"}));
}

TEST_F(Playlist, TheLastShortGroupKeepsTheCursorInside) {
  player.Entries(1234);
  pages.Page(11);
  pages.Page(93);               // level 2: 1001-1100, 1101-1200, 1201-1234; cursor 1000
  pages.Page(79);               // 1001-1100 at level 1; cursor 1000
  pages.Page(75);               // group 1091-1100; cursor 1090
  pages.Page(50);               // up to level 1, cursor 1090
  pages.Page(63);               // up to level 2, cursor 1090
  Menu* page = pages.Page(81);  // 1201-1234 keeping the offset 90 would be 1290
  EXPECT_EQ(pages.cursor(), 1233);
  EXPECT_GE(page->selection, 0);
  EXPECT_LT(page->selection, page->count);
  EXPECT_EQ(FieldText(page->items[page->selection].name), "1231-1234");
}

TEST_F(Playlist, EveryEntryOfLongPlaylistsIsReachedInOneChoiceADigit) {
  // Through the built-in menus, which must serve every page id on the way.
  PlayerMenus playerMenus{menus, host};
  struct Case {
    int n, digits;
    std::vector<std::int32_t> targets;
  };
  const Case cases[] = {
      {1000000, 6, {0, 1, 9, 10, 123456, 999999, 500000, 99999}},
      {1000001, 7, {0, 999999, 1000000}},
      {2000000000, 10, {0, 1234567890, 1999999999}},
  };
  for (const Case& c : cases) {
    player.Generate(c.n);
    for (const std::int32_t target : c.targets) {
      Menu* page = playerMenus.BuiltInMenu(kPlaylistMenuId);
      int choices = 0;
      for (int level = c.digits - 1; level >= 0; --level) {
        int digit = target;
        for (int i = 0; i < level; ++i) digit /= 10;
        digit %= 10;
        const int slot = digit + (page == &menus.playlistTopMenu ? 0 : 1);
        ASSERT_LT(slot, page->count) << c.n << " " << target;
        const std::int32_t id = page->items[slot].id;
        EXPECT_LE(id, kLastPlaylistPageId);
        page = playerMenus.BuiltInMenu(id);
        ASSERT_NE(page, nullptr) << id;
        ++choices;
      }
      EXPECT_EQ(player.position, target) << c.n;
      EXPECT_EQ(choices, c.digits);
    }
  }
  // Back to a short playlist: ids past the first six levels belong to the
  // other plug-ins again once its pages are shown.
  player.Generate(10);
  playerMenus.BuiltInMenu(kPlaylistMenuId);
  EXPECT_NE(playerMenus.BuiltInMenu(kLastAlwaysPlaylistPageId), nullptr);
  EXPECT_EQ(playerMenus.BuiltInMenu(kLastAlwaysPlaylistPageId + 1), nullptr);
  // ... and once the empty-playlist notice is shown.
  player.Generate(2000000000);
  playerMenus.BuiltInMenu(kPlaylistMenuId);
  EXPECT_NE(playerMenus.BuiltInMenu(kLastAlwaysPlaylistPageId + 1), nullptr);
  player.Generate(0);
  EXPECT_EQ(playerMenus.BuiltInMenu(kPlaylistMenuId), &menus.emptyPlaylistMenu);
  EXPECT_EQ(playerMenus.BuiltInMenu(kLastAlwaysPlaylistPageId + 1), nullptr);
}

}  // namespace
}  // namespace quillet
