#include "menus/menu_items.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "menus/built_in_menus.h"

namespace quillet {
namespace {

MenuItem Range(std::int32_t minimum, std::int32_t maximum) {
  MenuItem item{};
  item.kind = kLevel;
  item.minimum = minimum;
  item.maximum = maximum;
  return item;
}

TEST(MenuItems, ToStepsAndFromPercent) {
  struct Case {
    std::int32_t minimum, maximum, in, steps, fromPercent;
  };
  const Case cases[] = {
      {0, 255, 0, 0, 0},
      {0, 255, 13, 1, 33},
      {0, 255, 128, 5, 326},
      {0, 255, 255, 10, 650},
      {0, 255, 50, 2, 127},
      {0, 255, 100, 4, 255},
      {1, 11, 11, 10, 2},
      {1, 11, 6, 5, 1},
      {1, 11, 35, 34, 4},
      {-50, 50, 0, 5, -50},
      {-50, 50, -50, 0, -100},
      {0, 0, 7, 7, 0},
      // Supplied records with extreme ranges stay defined and in range.
      {INT_MIN, INT_MAX, INT_MAX, 10, INT_MAX},
      {INT_MIN, INT_MAX, 0, 5, INT_MIN},
      {0, 10, INT_MIN, INT_MIN, -214748364},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.minimum) + ".." + std::to_string(c.maximum) + " " +
                 std::to_string(c.in));
    const MenuItem item = Range(c.minimum, c.maximum);
    EXPECT_EQ(ToSteps(c.in, item), c.steps);
    EXPECT_EQ(FromPercent(c.in, item), c.fromPercent);
  }
}

TEST(MenuItems, LabelAtWalksTheListAndStopsAtItsEnds) {
  char three[] = "Low\0Mid\0High\0";  // the literal's own NUL ends the list
  char one[] = "Only\0";
  char empty[1] = {};  // one NUL alone: no labels, nothing after it to read
  struct Case {
    char* labels;
    std::int32_t n;
    const char* label;
  };
  const Case cases[] = {
      {three, 0, "Low"},  {three, 1, "Mid"}, {three, 2, "High"}, {three, 7, "High"},
      {three, -1, "Low"}, {one, 0, "Only"},  {one, 5, "Only"},   {empty, 3, ""},
      {nullptr, 0, ""},   {nullptr, 2, ""},
  };
  for (const auto& c : cases) {
    MenuItem item{};
    item.kind = kChoice;
    item.labels = c.labels;
    EXPECT_STREQ(LabelAt(c.n, item), c.label) << c.n;
  }
}

TEST(MenuItems, FindItemTakesTheFirstAndReadsOnlyWhatIsThere) {
  MenuItem items[3] = {};
  items[0].id = 7;
  items[1].id = 9;
  items[2].id = 9;
  Menu menu{};
  menu.items = items;
  menu.count = 3;
  EXPECT_EQ(FindItem(menu, 9), &items[1]);
  EXPECT_EQ(FindItem(menu, 8), nullptr);
  menu.count = 0;
  EXPECT_EQ(FindItem(menu, 7), nullptr);
  menu.count = -4;
  EXPECT_EQ(FindItem(menu, 7), nullptr);
  menu.items = nullptr;
  menu.count = 3;  // no items behind a count: nothing to read
  EXPECT_EQ(ItemCount(menu), 0);
  EXPECT_EQ(FindItem(menu, 7), nullptr);
}

TEST(MenuItems, FixedFieldsAreReadAndWrittenWithinTheirFortyBytes) {
  MenuItem item{};
  std::memset(item.name, 'N', sizeof item.name);  // no terminator at all
  item.kind = 0x41414141;                         // what follows must not be read
  EXPECT_EQ(FieldText(item.name), std::string(40, 'N'));
  SetFieldText(item.name, std::string(60, 'x'));
  EXPECT_EQ(FieldText(item.name), std::string(39, 'x'));
  EXPECT_EQ(item.kind, 0x41414141);
  SetFieldText(item.name, "Play");
  EXPECT_EQ(FieldText(item.name), "Play");
}

TEST(BuiltInMenus, StartWithTheirInitialContents) {
  BuiltInMenus menus;
  const Menu& main = menus.mainMenu;
  EXPECT_EQ(main.id, 10);
  EXPECT_EQ(main.parent, 0);
  EXPECT_EQ(FieldText(main.title), "Winamp menu");
  ASSERT_EQ(main.count, 10);
  EXPECT_EQ(main.selection, 0);
  struct Row {
    const char* name;
    std::int32_t kind, id, value;
  };
  const Row rows[] = {
      {"Previous", kCommand, 40044, 1}, {"Next", kCommand, 40048, 1},
      {"Play", kCommand, 40045, 1},     {"Pause", kCommand, 40046, 0},
      {"Stop", kCommand, 40047, 1},     {"Track info", kSubmenu, 15, 0},
      {"Go to track", kNumber, 102, 0}, {"Playlist", kSubmenu, 11, 0},
      {"Volume", kLevel, 101, 0},       {"Video window", kSubmenu, 14, 0},
  };
  for (int i = 0; i < 10; ++i) {
    const MenuItem& item = main.items[i];
    EXPECT_EQ(FieldText(item.name), rows[i].name);
    EXPECT_EQ(item.kind, rows[i].kind) << i;
    EXPECT_EQ(item.id, rows[i].id) << i;
    EXPECT_EQ(item.value, rows[i].value) << i;
    EXPECT_EQ(item.labels, nullptr);
  }
  EXPECT_EQ(FieldText(main.items[6].prompt), "Track number");
  EXPECT_EQ(main.items[8].maximum, 255);

  struct MenuRow {
    const Menu* menu;
    std::int32_t id, parent, count;
    const char* title;
    const char* text;
  };
  const MenuRow menuRows[] = {
      {&menus.nowPlayingMenu, 15, 10, 0, "Now playing", ""},
      {&menus.videoMenu, 14, 10, 2, "Video options", nullptr},
      {&menus.playlistLevelMenu, 11, 50, 1, "Playlist", nullptr},
      {&menus.playlistTopMenu, 11, 10, 1, "Playlist", nullptr},
      {&menus.emptyPlaylistMenu, 15, 10, 0, "Playlist", "No item to display."},
  };
  for (const auto& row : menuRows) {
    SCOPED_TRACE(row.title);
    EXPECT_EQ(row.menu->id, row.id);
    EXPECT_EQ(row.menu->parent, row.parent);
    EXPECT_EQ(row.menu->count, row.count);
    EXPECT_EQ(FieldText(row.menu->title), row.title);
    if (row.text) {
      ASSERT_NE(row.menu->text, nullptr);
      EXPECT_STREQ(row.menu->text, row.text);
    } else {
      EXPECT_EQ(row.menu->text, nullptr);
    }
  }
  EXPECT_EQ(menus.nowPlayingMenu.text, menus.nowPlayingText);
  EXPECT_EQ(menus.videoItems[0].kind, kSwitch);
  EXPECT_EQ(menus.videoItems[0].id, 103);
  EXPECT_EQ(menus.videoItems[1].id, 40337);
  EXPECT_EQ(FieldText(menus.playlistLevelItems[0].name), "<<<");
  EXPECT_EQ(menus.playlistLevelItems[0].id, 51);
  EXPECT_EQ(FieldText(menus.playlistLevelItems[11].name), ">>>");
  EXPECT_EQ(menus.playlistLevelItems[11].id, 52);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(menus.playlistLevelItems[i + 1].id, 53 + i);
    EXPECT_EQ(menus.playlistTopItems[i].id, 53 + i);
    EXPECT_EQ(FieldText(menus.playlistTopItems[i].name), "xx. item");
  }
}

}  // namespace
}  // namespace quillet
