#include "player/menu_router.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_player.h"
#include "menus/built_in_menus.h"
#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "platform/host_messages.h"

namespace quillet {
namespace {

using testing::FakePlayer;

// The player's side of the menus on the fake platform, as the plug-in builds it.
struct Sources : ::testing::Test {
  fake::FakePlatform os;
  FakePlayer player{os};
  BuiltInMenus menus;
  HostWindow host{os, 0x4242};
  PlayerMenus playerMenus{menus, host};
  MenuMessageIds ids = RegisterMenuMessages(os, 0x4242);
  MenuRouter router{host, playerMenus, ids, 0};

  Menu* Open(std::int32_t id) {
    router.OpenMenu(id);
    return router.CurrentMenu();
  }
  std::string Name(std::int32_t itemId) {
    return FieldText(FindItem(menus.mainMenu, itemId)->name);
  }
  int LoadMenuRequests() {
    int n = 0;
    for (const auto& call : os.HostCalls()) n += call.lParam == ids.loadMenu;
    return n;
  }
};

TEST_F(Sources, MainMenuFollowsThePlayerAtBothEndsOfThePlaylist) {
  player.Entries(5);
  player.volume = 77;
  struct Case {
    std::int32_t position;
    const char *previous, *next;
  };
  for (const Case& c :
       {Case{0, "Prev: Track 5", "Next: Track 2"}, Case{2, "Prev: Track 2", "Next: Track 4"},
        Case{4, "Prev: Track 4", "Next: Track 1"}}) {
    player.position = c.position;
    const int before = player.requests;
    ASSERT_EQ(Open(kMainMenuRequestId), &menus.mainMenu);
    EXPECT_EQ(player.requests - before, 5) << "volume, position, length and two titles";
    EXPECT_EQ(Name(host::kCommandPrevious), c.previous);
    EXPECT_EQ(Name(host::kCommandNext), c.next);
    const MenuItem* track = FindItem(menus.mainMenu, kTrackId);
    EXPECT_EQ(track->value, c.position + 1);
    EXPECT_EQ(track->minimum, 1);
    EXPECT_EQ(track->maximum, 5);
    EXPECT_EQ(FindItem(menus.mainMenu, kVolumeId)->value, 77);
  }
  EXPECT_EQ(router.idOffset(), 0);
}

TEST_F(Sources, LongTitlesAreCutAndMissingOnesLeaveThePlainName) {
  player.titles = {std::string(33, 'x'), std::string(34, 'y'), "z"};
  player.position = 2;
  Open(kMainMenuId);
  EXPECT_EQ(Name(host::kCommandPrevious), "Prev: " + std::string(30, 'y') + "...");
  EXPECT_EQ(Name(host::kCommandNext), "Next: " + std::string(33, 'x')) << "39 characters fit";
  player.titles.clear();
  Open(kMainMenuId);
  EXPECT_EQ(Name(host::kCommandPrevious), "Previous");
  EXPECT_EQ(Name(host::kCommandNext), "Next");
  EXPECT_EQ(FindItem(menus.mainMenu, kTrackId)->maximum, 0);
}

TEST_F(Sources, NowPlayingTextByState) {
  player.titles = {"Intro", std::string(300, 'l')};
  struct Case {
    std::int32_t state, position;
    std::string text;
  };
  const Case cases[] = {{0, 0, "Stopped, Intro"},
                        {1, 0, "Playing Intro"},
                        {3, 0, "Paused, Intro"},
                        {7, 0, "Intro"},
                        {1, 1, "Playing " + std::string(180, 'l')},
                        {0, 9, "Stopped, "}};
  for (const Case& c : cases) {
    player.state = c.state;
    player.position = c.position;
    ASSERT_EQ(Open(kNowPlayingMenuId), &menus.nowPlayingMenu);
    EXPECT_EQ(std::string(menus.nowPlayingText), c.text);
  }
}

TEST_F(Sources, TitlesAreReadOnlyWhereTheyCanBe) {
  // "Edge" runs to the last byte of a readable range; "Whole" ends in a NUL
  // inside one; "Hidden" is memory the OS would not let us read.
  const char edge[] = "EdgeBEYOND";
  const char whole[] = "Whole";
  const char hidden[] = "Hidden";
  const auto at = [](const char* text) { return reinterpret_cast<std::intptr_t>(text); };
  os.DeclareReadable(static_cast<std::uintptr_t>(at(edge)), 4);
  os.DeclareReadable(static_cast<std::uintptr_t>(at(whole)), sizeof whole);
  struct Case {
    std::intptr_t answer;
    const char* title;  // null: no title
  };
  const Case cases[] = {{-1, nullptr},      {std::intptr_t{0x80000000}, nullptr},
                        {65535, nullptr},   {at(hidden), nullptr},
                        {at(edge), "Edge"}, {at(whole), "Whole"}};
  player.Entries(3);
  player.position = 1;
  for (const Case& c : cases) {
    player.titleAnswer = c.answer;
    const std::string title = c.title ? c.title : "";
    Open(kMainMenuId);
    EXPECT_EQ(Name(host::kCommandPrevious), c.title ? "Prev: " + title : "Previous") << c.answer;
    EXPECT_EQ(Name(host::kCommandNext), c.title ? "Next: " + title : "Next") << c.answer;
    Open(kNowPlayingMenuId);
    EXPECT_EQ(std::string(menus.nowPlayingText), "Stopped, " + title) << c.answer;
    EXPECT_EQ(FieldText(Open(kPlaylistMenuId)->items[0].name),
              "1. " + (c.title ? title : "Unknown"))
        << c.answer;
  }
}

// A 32-bit player's answer as it arrives: its LRESULT, sign and all.
constexpr std::intptr_t Answer32(std::uint32_t bits) {
  return static_cast<std::int32_t>(bits);
}

TEST(TitleAddress, EveryAnswerFrom65536UpIsLeftToTheReadableMemoryCheck) {
  const struct {
    std::intptr_t answer;
    bool mayBeTitle;
  } cases[] = {
      {0, false},
      {65535, false},
      {65536, true},
      {Answer32(0x7FFFFFFF), true},
      {Answer32(0x80000000), true},
      {Answer32(0x80001000), true},  // a large-address-aware player's title
      {-1, true},                    // never readable: the check turns it down
  };
  for (const auto& c : cases) EXPECT_EQ(MayBeTitle(c.answer), c.mayBeTitle) << c.answer;
}

TEST_F(Sources, VideoMenuShowsTheWindowState) {
  player.video = true;
  EXPECT_EQ(Open(kVideoMenuId)->items[0].value, 1);
  player.video = false;
  EXPECT_EQ(Open(kVideoMenuId)->items[0].value, 0);
}

TEST_F(Sources, SuppliedMainMenusAndTheirIds) {
  MenuItem subItem{};
  Menu top{};
  top.items = &subItem;
  top.count = 1;
  for (const std::int32_t id : {1000, 2000, 500}) {
    top.id = id;
    player.supplied[1000] = &top;
    player.closed.clear();
    ASSERT_EQ(Open(kMainMenuRequestId), &top);
    EXPECT_EQ(router.idOffset(), 1000 - id);
    EXPECT_EQ(router.GlobalId(999), 999);
    EXPECT_EQ(router.GlobalId(id + 1), id == 500 ? 501 : 1001);
    Open(kVideoMenuId);
    if (id == 500) {
      EXPECT_TRUE(player.closed.empty()) << "a record under 1000 is never told";
    } else {
      ASSERT_EQ(player.closed.size(), 1u);
      EXPECT_EQ(player.closed[0].first, &top);
      EXPECT_EQ(player.closed[0].second, 1000) << "closed under the id it was asked for";
    }
  }
}

TEST_F(Sources, PluginMenusSettingAndUnansweredIds) {
  Menu top{};
  top.id = 1000;
  player.supplied[1000] = &top;
  MenuRouter builtInOnly{host, playerMenus, ids, 1};
  builtInOnly.OpenMenu(kMainMenuRequestId);
  EXPECT_EQ(builtInOnly.CurrentMenu(), &menus.mainMenu);
  EXPECT_EQ(LoadMenuRequests(), 0);

  player.supplied[2000] = &top;
  top.id = 2000;
  Open(1000);
  player.rawAnswers[12] = 0;
  EXPECT_EQ(Open(12), nullptr);
  EXPECT_EQ(router.idOffset(), -1000) << "kept when nothing opens";
  player.rawAnswers[12] = 65536;  // an address only for the main menu
  EXPECT_EQ(Open(12), nullptr);
  player.rawAnswers[1000] = 65535;
  EXPECT_EQ(Open(1000), &menus.mainMenu);
}

TEST_F(Sources, ReopenAsksTheOwnerAgainUnderTheRestoredId) {
  Menu sub{};
  sub.id = 2001;
  player.supplied[1001] = &sub;
  ASSERT_EQ(Open(1001), &sub);
  EXPECT_EQ(router.idOffset(), -1000);
  router.ReopenMenu();
  EXPECT_EQ(sub.id, 1001);
  ASSERT_EQ(player.closed.size(), 1u);
  EXPECT_EQ(router.CurrentMenu(), &sub);
  EXPECT_EQ(LoadMenuRequests(), 2);
}

TEST_F(Sources, ValuesActOnThePlayerOrReachTheirOwner) {
  player.Entries(9);
  router.ApplyValue(kVolumeId, 128);
  EXPECT_EQ(player.volume, 128);

  for (const std::int32_t state : {1, 3, 0}) {
    player.state = state;
    player.commands.clear();
    Open(kMainMenuId);
    router.ApplyValue(kTrackId, 7);
    EXPECT_EQ(player.position, 6);
    EXPECT_EQ(player.commands, state ? std::vector<std::uintptr_t>{host::kCommandPlay}
                                     : std::vector<std::uintptr_t>{});
    EXPECT_EQ(FindItem(menus.mainMenu, kTrackId)->value, 7) << "the main menu was reopened";
    player.position = 0;
  }

  player.commands.clear();
  player.video = true;
  router.ApplyValue(kVideoShownId, 1);
  EXPECT_TRUE(player.commands.empty()) << "already shown";
  router.ApplyValue(kVideoShownId, 0);
  EXPECT_EQ(player.commands, std::vector<std::uintptr_t>{host::kCommandVideoToggle});

  Menu top{};
  top.id = 2000;
  player.supplied[1000] = &top;
  Open(1000);
  router.ApplyValue(500, 3);
  router.ApplyValue(2010, -4);
  ASSERT_EQ(player.changes.size(), 2u);
  EXPECT_EQ(player.changes[0].id, 500);
  EXPECT_EQ(player.changes[0].value, 3);
  EXPECT_EQ(player.changes[1].id, 1010);
  EXPECT_EQ(player.changes[1].value, -4);
}

// PluginMenus=2: the "Menus" page offers the built-in main menu and the
// supplied one, as the phone walks it through the protocol.
struct Chooser : Sources {
  Chooser() { router.SetPluginMenus(kPluginMenusChoose); }
  std::vector<std::string> sent;
  MenuProtocol protocol{router, [this](const std::string& c) { sent.push_back(c); }};
  // The title of the page last sent, or the notice, as the phone shows it.
  std::string Page() {
    if (sent.empty()) return "(nothing)";
    const std::string& last = sent.back();
    const std::size_t open = last.find('"');
    return last.substr(0, open) + last.substr(open, last.find('"', open + 1) - open + 1);
  }
  // A supplied menu record, empty but for its id and title.
  static Menu Titled(std::int32_t id, const char* title) {
    Menu menu{};
    menu.id = id;
    SetFieldText(menu.title, title);
    return menu;
  }
};

TEST_F(Chooser, ThePageAndGoingBackFromEitherMenu) {
  Menu supplied = Titled(2000, "Sample menus");
  player.supplied[1000] = &supplied;
  player.Entries(3);

  protocol.MenuActivated();
  ASSERT_EQ(router.CurrentMenu()->id, kMenuChooserId);
  EXPECT_EQ(sent.back(), "*EASM=\"Menus\", 1, 1, 2,\"Winamp menu\",\"Sample menus\"");
  ASSERT_EQ(player.closed.size(), 1u) << "the offered record goes back to its owner";
  EXPECT_EQ(player.closed[0].second, 1000);

  struct Step {
    int entry;
    const char* page;  // what the phone then shows; null: nothing current
  };
  const Step walk[] = {
      {2, "*EAID=14,2,\"Sample menus\""},  // the supplied menu (no items), asked again
      {0, "*EASM=\"Menus\""},              // back returns to the page
      {1, "*EASM=\"Winamp menu\""},        // the built-in main menu
      {0, "*EASM=\"Menus\""},
      {0, nullptr},  // back from the page leaves
  };
  for (const Step& step : walk) {
    SCOPED_TRACE(step.entry);
    const std::size_t before = sent.size();
    protocol.ChooseEntry(step.entry);
    if (!step.page) {
      EXPECT_EQ(router.CurrentMenu(), nullptr);
      EXPECT_EQ(sent.size(), before);
      continue;
    }
    EXPECT_EQ(Page(), step.page);
  }
  EXPECT_EQ(LoadMenuRequests(), 2) << "once to offer it, once when chosen";
  // The menus chosen on the page show that there is a way back.
  protocol.MenuActivated();
  protocol.ChooseEntry(1);
  EXPECT_EQ(sent.back().substr(0, 22), "*EASM=\"Winamp menu\", 2");
}

TEST_F(Chooser, WithoutASuppliedMenuOrInTheOtherModes) {
  Menu supplied = Titled(1000, "Other");
  struct Case {
    std::int32_t mode;
    bool supplier;
    std::int32_t shown;  // the menu the phone opens on
    int loads;
  };
  const Case cases[] = {
      {kPluginMenusChoose, false, kMainMenuId, 1},
      {kPluginMenusChoose, true, kMenuChooserId, 1},
      {kPluginMenusSupplied, true, 1000, 1},
      {1, true, kMainMenuId, 0},
      {-1, true, kMainMenuId, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    player.supplied.clear();
    if (c.supplier) player.supplied[1000] = &supplied;
    router.SetPluginMenus(c.mode);
    const int loads = LoadMenuRequests();
    protocol.MenuActivated();
    ASSERT_NE(router.CurrentMenu(), nullptr);
    EXPECT_EQ(router.CurrentMenu()->id, c.shown);
    EXPECT_EQ(LoadMenuRequests() - loads, c.loads);
    // Back from the main menu opened directly leaves.
    EXPECT_EQ(router.BackId(*router.CurrentMenu()), 0);
    protocol.ChooseEntry(0);
  }
  // Outside the page, its ids are asked of the plug-ins as any unused id.
  router.SetPluginMenus(kPluginMenusSupplied);
  EXPECT_EQ(Open(kMenuChooserId), nullptr);
  EXPECT_EQ(Open(kChosenMainMenuId), nullptr);
}

TEST_F(Chooser, ASuppliedSubMenuGoesBackToTheSuppliedMainMenu) {
  MenuItem subItem{};
  SetFieldText(subItem.name, "Deeper");
  subItem.kind = kSubmenu;
  subItem.id = 1001;
  Menu top = Titled(1000, "Top");
  top.items = &subItem;
  top.count = 1;
  Menu sub = Titled(1001, "Sub");
  sub.parent = 1000;
  player.supplied[1000] = &top;
  player.supplied[1001] = &sub;
  protocol.MenuActivated();
  protocol.ChooseEntry(2);
  EXPECT_EQ(Page(), "*EASM=\"Top\"");
  protocol.ChooseEntry(1);
  EXPECT_EQ(router.CurrentMenu(), &sub);
  protocol.ChooseEntry(0);
  EXPECT_EQ(router.CurrentMenu(), &top) << "its parent, not the page";
  protocol.ChooseEntry(0);
  EXPECT_EQ(router.CurrentMenu()->id, kMenuChooserId);
  // The supplier gone meanwhile: the built-in main menu stands in.
  player.supplied.clear();
  protocol.ChooseEntry(2);
  EXPECT_EQ(router.CurrentMenu(), &menus.mainMenu);
}

}  // namespace
}  // namespace quillet
