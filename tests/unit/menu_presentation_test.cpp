#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "menus/built_in_menus.h"
#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "stub_menu_source.h"

namespace quillet {
namespace {

struct Shown : ::testing::Test {
  testing::StubMenuSource source;
  std::vector<std::string> sent;
  MenuProtocol protocol{source, [this](const std::string& c) { sent.push_back(c); }};

  std::string Show(Menu& menu) {
    source.current = &menu;
    sent.clear();
    protocol.ShowMenu();
    EXPECT_EQ(sent.size(), 1u);
    return sent.empty() ? std::string() : sent.back();
  }
};

MenuItem Named(const std::string& name, std::int32_t kind = kCommand) {
  MenuItem item{};
  SetFieldText(item.name, name);
  item.kind = kind;
  return item;
}

Menu MenuOf(std::vector<MenuItem>& items, const char* title = "T", std::int32_t parent = 10) {
  Menu menu{};
  menu.items = items.data();
  menu.count = static_cast<std::int32_t>(items.size());
  menu.parent = parent;
  SetFieldText(menu.title, title);
  return menu;
}

TEST_F(Shown, VideoMenuAsTheExample) {
  BuiltInMenus menus;
  EXPECT_EQ(Show(menus.videoMenu),
            "*EASM=\"Video options\", 2, 1, 2,\"Shown: Off\",\"Fullscreen\"");
  EXPECT_EQ(protocol.pageBase(), -1);
  EXPECT_EQ(protocol.pageEnd(), 2);
  EXPECT_EQ(Show(menus.mainMenu),
            "*EASM=\"Winamp menu\", 1, 1, 10,\"Previous\",\"Next\",\"Play\",\"Pause\",\"Stop\","
            "\"Track info\",\"Go to track: 0\",\"Playlist\",\"Volume: 0\",\"Video window\"");
}

TEST_F(Shown, ThirtyItemsOfTwentyCharactersArePagedFromTheFirst) {
  // Each entry is ,"<17 characters>": 20 characters, nine to a page.
  std::vector<MenuItem> items;
  for (int i = 0; i < 30; ++i)
    items.push_back(Named(std::string("Item ") + char('A' + i % 26) + "___________"));
  Menu menu = MenuOf(items);
  struct Case {
    std::int32_t selection, pageBase, pageEnd, s, n;
    bool previous, next;
  };
  const Case cases[] = {
      {0, -1, 9, 1, 10, false, true},   {8, -1, 9, 9, 10, false, true},
      {9, 7, 18, 2, 11, true, true},    {20, 16, 27, 4, 11, true, true},
      {26, 16, 27, 10, 11, true, true}, {27, 25, 30, 2, 4, true, false},
      {29, 25, 30, 4, 4, true, false},
  };
  for (const Case& c : cases) {
    menu.selection = c.selection;
    const std::string line = Show(menu);
    SCOPED_TRACE(line);
    EXPECT_EQ(protocol.pageBase(), c.pageBase);
    EXPECT_EQ(protocol.pageEnd(), c.pageEnd);
    const std::string head =
        "*EASM=\"T\", 2, " + std::to_string(c.s) + ", " + std::to_string(c.n) + ",";
    EXPECT_EQ(line.compare(0, head.size(), head), 0);
    EXPECT_EQ(line.find(",\"<<\"") != std::string::npos, c.previous);
    EXPECT_EQ(line.size() - 5 == line.rfind(",\">>\""), c.next);
  }
}

TEST_F(Shown, BudgetEdgeAt199And200) {
  // Text entries ,"t: <text>": the first 100 characters, the second 99 or 100.
  std::string first(94, 'a'), second;
  for (const std::size_t size : {99u, 100u}) {
    second.assign(size - 6, 'b');
    std::vector<MenuItem> items = {Named("t", kText), Named("t", kText)};
    items[0].labels = first.data();
    items[0].maximum = 94;
    items[1].labels = second.data();
    items[1].maximum = static_cast<std::int32_t>(second.size());
    Menu menu = MenuOf(items);
    source.current = &menu;
    std::int32_t end = 0;
    const std::string list = protocol.BuildEntries(0, &end);
    EXPECT_EQ(end, size == 99 ? 2 : 1) << size;
    EXPECT_EQ(list.size(), size == 99 ? 199u : 100u);
  }
}

TEST_F(Shown, TitlesAreCutAfterFifteenCharactersOnPagesOnly) {
  std::vector<MenuItem> items = {Named("x")};
  Menu fifteen = MenuOf(items, "ABCDEFGHIJKLMNO", 0);
  EXPECT_EQ(Show(fifteen), "*EASM=\"ABCDEFGHIJKLMNO\", 1, 1, 1,\"x\"");
  Menu sixteen = MenuOf(items, "ABCDEFGHIJKLMNOP", 0);
  EXPECT_EQ(Show(sixteen), "*EASM=\"ABCDEFGHIJKL...\", 1, 1, 1,\"x\"");
  Menu notice = MenuOf(items, "ABCDEFGHIJKLMNOP", 0);
  notice.count = 0;
  char text[] = "Hello";
  notice.text = text;
  EXPECT_EQ(Show(notice), "*EAID=14,1,\"ABCDEFGHIJKLMNOP\",\"Hello\"");
}

TEST_F(Shown, NoticesForMissingAndEmptyMenus) {
  source.current = nullptr;
  protocol.ShowMenu();
  EXPECT_EQ(sent.back(), "*EAID=14,0,\"Missing menu\",\"This menu is not available.\"");
  BuiltInMenus menus;
  std::strcpy(menus.nowPlayingText, "Playing Song");
  EXPECT_EQ(Show(menus.nowPlayingMenu), "*EAID=14,2,\"Now playing\",\"Playing Song\"");
  // Supplied records without items in any form, and without a text.
  std::vector<MenuItem> items = {Named("x")};
  for (const auto& [nullItems, count] : {std::pair{false, 0}, {true, 3}, {false, -2}}) {
    Menu menu = MenuOf(items, "Empty", 0);
    if (nullItems) menu.items = nullptr;
    menu.count = count;
    EXPECT_EQ(Show(menu), "*EAID=14,1,\"Empty\",\"\"");
  }
  EXPECT_EQ(protocol.pageBase(), 0) << "notices leave the paging alone";
}

TEST_F(Shown, ItemKindsShowTheirValues) {
  char labels[] = "Low\0Mid\0High\0";
  char text[] = "abcdefgh";
  std::vector<MenuItem> items = {Named("S", kSwitch), Named("L", kLevel),  Named("C", kChoice),
                                 Named("E", kChoice), Named("N", kNumber), Named("T", kText),
                                 Named("Q", 42)};
  items[0].value = 5;
  items[1].maximum = 255;
  items[1].value = 128;
  items[2].labels = labels;
  items[2].value = 2;
  items[4].value = -7;
  items[5].labels = text;
  items[5].maximum = 5;  // the buffer's capacity bounds what is read
  items[6].value = 3;
  Menu menu = MenuOf(items, "K", 0);
  EXPECT_EQ(
      Show(menu),
      "*EASM=\"K\", 1, 1, 7,\"S: On\",\"L: 5\",\"C: High\",\"E: \",\"N: -7\",\"T: abcde\",\"Q\"");
}

TEST_F(Shown, QuotesAndControlCharactersCannotEndTheCommand) {
  std::vector<MenuItem> items = {Named("12\" Mix"), Named("a\r\nAT+CFUN=0\rb")};
  Menu menu = MenuOf(items, "Ti\"tle\x01", 0);
  const std::string line = Show(menu);
  EXPECT_EQ(line, "*EASM=\"Ti'tle \", 1, 1, 2,\"12' Mix\",\"a  AT+CFUN=0 b\"");
  char text[] = "say \"hi\"\r";
  menu.count = 0;
  menu.text = text;
  EXPECT_EQ(Show(menu), "*EAID=14,1,\"Ti'tle \",\"say 'hi' \"");
}

TEST_F(Shown, SuppliedRecordsAreReadWithinTheirFields) {
  std::vector<MenuItem> items(1);
  std::memset(items[0].name, 'n', sizeof items[0].name);  // no terminator
  Menu menu = MenuOf(items, "", 0);
  std::memset(menu.title, 't', sizeof menu.title);
  EXPECT_EQ(Show(menu), "*EASM=\"tttttttttttt...\", 1, 1, 1,\"" + std::string(40, 'n') + "\"");
}

TEST_F(Shown, PagingEndsForBadSelectionsAndHugeEntries) {
  std::string huge(250, 'h');
  huge.push_back('\0');
  huge.push_back('\0');
  std::vector<MenuItem> items = {Named("a"), Named("big", kChoice), Named("b")};
  items[1].labels = huge.data();
  Menu menu = MenuOf(items, "P", 0);
  for (const std::int32_t selection : {-1, 3, 1000}) {
    menu.selection = selection;
    Show(menu);
    EXPECT_EQ(menu.selection, 0) << "an impossible selection becomes the first item";
  }
  menu.selection = 1;
  const std::string line = Show(menu);
  EXPECT_EQ(line, "*EASM=\"P\", 1, 2, 3,\"<<\",\"big: " + std::string(250, 'h') + "\",\">>\"");
  EXPECT_EQ(protocol.pageBase(), -1);
  EXPECT_EQ(protocol.pageEnd(), 2);
  menu.selection = 2;
  EXPECT_EQ(Show(menu), "*EASM=\"P\", 1, 2, 2,\"<<\",\"b\"");
}

}  // namespace
}  // namespace quillet
