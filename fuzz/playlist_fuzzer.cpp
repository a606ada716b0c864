// Fuzzes the playlist pages through the menus, as the phone walks them: a
// player with a playlist of any length up to two million entries, and the
// phone's codes as lines (the same input as choice_fuzzer.cpp, without
// supplied menus; the seeds are captured walks).
//
// Checked after every code (abort on violation): every command sent passes
// the command checks, and the last page the page rules; the cursor stays
// inside the playlist; a playlist page holds at most 12 items with its
// selection among them and its entries labelled as groups ("a-b") or entries
// ("n. title"); a page costs at most 11 host requests, and 15 with a jump;
// choosing an entry "n. ..." makes entry n - 1 the player's current one.

#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "command_checks.h"
#include "fake_player.h"
#include "link/monitor.h"
#include "menus/menu_items.h"
#include "phone_lines.h"
#include "shell/menu_bundle.h"

namespace quillet::fuzzing {
namespace {

constexpr int kMaxCodes = 48;
// A playlist page: its length and ten titles; with a jump also the play
// state, the position, play and, on a one-level playlist, the length again.
constexpr int kMostRequestsPerPage = 11;
constexpr int kMostRequestsForAJump = 15;
// Any other code: a menu and, before it, a value applied.
constexpr int kMostRequestsPerCode = 21;

bool IsPlaylistPage(const BuiltInMenus& menus, const Menu* menu) {
  return menu == &menus.playlistTopMenu || menu == &menus.playlistLevelMenu;
}

// The number of the entry an item label names ("n. title"), or 0.
long EntryNumber(const char* name) {
  char* end = nullptr;
  const long n = std::strtol(name, &end, 10);
  return end != name && end[0] == '.' && end[1] == ' ' ? n : 0;
}

}  // namespace
}  // namespace quillet::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  using namespace quillet::fuzzing;
  const WorldHead world = ReadWorldHead(data, size, 2000000);
  const std::size_t headEnd = HeadEnd(size);
  MenuWorld w(world, 1);  // no plug-in is asked for the main menu
  auto& player = w.player;
  auto& menus = w.menus;
  auto& sent = w.sent;
  auto& protocol = w.protocol;
  static const std::regex kLabel(R"(^(\d+-\d+|\d+\. .*|<<<|>>>)$)");

  int requests = 0;
  long expectedPosition = -1;
  LineHooks hooks;
  hooks.before = [&](std::string_view line) {
    sent.clear();
    requests = player.requests;
    expectedPosition = -1;
    // An entry chosen on a level-0 page: which one, by its label.
    Menu* menu = menus.router.CurrentMenu();
    int entry = 0;
    if (!IsPlaylistPage(menus.menus, menu) || line.rfind("*EAMI", 0) != 0 ||
        ScanMenuChoice(std::string(line), &entry) != 1 || entry <= 0)
      return;
    const std::int32_t index = protocol.pageBase() + entry;
    // Numbers beyond the list on the phone choose nothing; "<<" and ">>"
    // name no item of their own.
    if (entry > protocol.pageEntries()) return;
    if (entry == 1 && protocol.pageHasPrevious()) return;
    if (index < 0 || index >= menu->count || index == protocol.pageEnd()) return;
    expectedPosition = EntryNumber(menu->items[index].name) - 1;
  };
  hooks.after = [&](std::string_view line) {
    for (const std::string& c : sent) CheckCommand(c);
    Menu* menu = menus.router.CurrentMenu();
    if (menu && !sent.empty() && sent.back().rfind("*EASM=", 0) == 0)
      CheckPageRules(sent.back(), *menu, protocol);
    const std::int32_t cursor = menus.player.playlist().cursor();
    if (cursor < 0 || (world.playlistLength > 0 && cursor >= world.playlistLength))
      Fail("the playlist cursor left the playlist", std::to_string(cursor));
    const int cost = player.requests - requests;
    const bool choice = line.rfind("*EAMI", 0) == 0;
    const int limit = !IsPlaylistPage(menus.menus, menu) || !choice ? kMostRequestsPerCode
                      : expectedPosition >= 0                       ? kMostRequestsForAJump
                                                                    : kMostRequestsPerPage;
    if (cost > limit) Fail("a page cost too many host requests", std::to_string(cost));
    if (IsPlaylistPage(menus.menus, menu)) {
      if (menu->count < 1 || menu->count > 12)
        Fail("a page of bad size", std::to_string(menu->count));
      if (menu->selection < 0 || menu->selection >= menu->count)
        Fail("a page selection outside", std::to_string(menu->selection));
      for (int i = 0; i < menu->count; ++i)
        if (!std::regex_match(FieldText(menu->items[i].name), kLabel))
          Fail("a badly labelled entry", FieldText(menu->items[i].name));
    }
    if (expectedPosition >= 0 && player.position != expectedPosition)
      Fail("the jump went elsewhere",
           std::to_string(player.position) + " for " + std::to_string(expectedPosition));
    return true;
  };
  const char* phone = reinterpret_cast<const char*>(data) + headEnd;
  DispatchPhoneLines(std::string_view(phone, size - headEnd), protocol, kMaxCodes, hooks);
  return 0;
}
