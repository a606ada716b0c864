// Fuzzes the user's side of the menus: the phone's "*EAAI", "*EAMI: n" and
// "*EAII..." codes in any order and with any content, against the built-in
// menus refreshed from a fake player with a playlist of any length, and
// against menus that other plug-ins supply (see supplied_menu.h) under any
// id, through the real menu router, player menus and playlist pages.
//
// Input: a 12-byte head (the player's state, see phone_lines.h), the bytes
// from which the supplied menus are built, then what the phone sends, as
// lines; a line "#" lets an owner change one of its records (fewer items,
// another selection). With the head's remote keys, "+CKEV" lines are the
// phone's keys and a line "~" lets 300 ms pass for held keys. The seeds are
// sessions captured from the phone simulator.
//
// Checked after every code (abort on violation): every command sent passes
// the command checks; after a page is sent, the menu it shows has its
// selection inside its items and the page keeps the page rules; a choice
// never moves a selection out of its menu's items; the playlist cursor stays
// inside the playlist; no page is sent while key reports are on, and
// reports go off only after they went on. The sanitizers check that no record, label list or
// text buffer is read or written beyond what its owner promised.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "command_checks.h"
#include "fake_player.h"
#include "menus/menu_items.h"
#include "phone_lines.h"
#include "shell/menu_bundle.h"
#include "supplied_menu.h"

namespace quillet::fuzzing {
namespace {

constexpr int kMaxCodes = 64;

void CheckSelection(Menu* menu, const char* when) {
  if (!menu) return;
  const std::int32_t count = ItemCount(*menu);
  if (count > 0 && (menu->selection < 0 || menu->selection >= count))
    Fail(when, "selection " + std::to_string(menu->selection) + " of " + std::to_string(count));
}

}  // namespace
}  // namespace quillet::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  using namespace quillet::fuzzing;
  const WorldHead world = ReadWorldHead(data, size, 2000000);
  const std::size_t headEnd = HeadEnd(size);
  const std::size_t suppliedEnd =
      headEnd + (world.suppliedBytes < size - headEnd ? world.suppliedBytes : size - headEnd);
  MenuWorld w(world, world.pluginMenus);
  auto& player = w.player;
  auto& menus = w.menus;
  auto& sent = w.sent;

  // Other plug-ins' menus, under ids the built-in ones lead to and their own.
  FuzzedDataProvider records(data + headEnd, suppliedEnd - headEnd);
  std::list<SuppliedMenu> supplied;
  for (int n = records.ConsumeIntegralInRange(0, 4); n > 0 && records.remaining_bytes(); --n) {
    supplied.emplace_back();
    BuildSuppliedMenu(records, supplied.back());
    const std::int32_t id = records.ConsumeBool() ? 1000 + records.ConsumeIntegralInRange(0, 3)
                                                  : records.ConsumeIntegralInRange(0, 200);
    player.supplied[id] = &supplied.back().menu;
  }

  Menu* before = nullptr;
  std::int32_t selection = 0;
  LineHooks hooks;
  if (world.remoteKeys) {
    menus.player.Want(MainEntry::kRemoteKeys, true);
    w.protocol.SetKeyScreen(&w.keys);
    hooks.keys = &w.keys;
  }
  bool reportsOn = false;
  hooks.other = [&](std::string_view line) {
    if (line == "~" && world.remoteKeys) {
      w.os.AdvanceMs(300);
      w.keys.ClockReached(w.os.NowMs());
      return;
    }
    // The owner of a record changes it while it is shown.
    if (line == "#" && !supplied.empty()) {
      auto it = supplied.begin();
      std::advance(it, records.ConsumeIntegralInRange<std::size_t>(0, supplied.size() - 1));
      ChangeSuppliedMenu(records, *it);
    }
  };
  hooks.before = [&](std::string_view) {
    sent.clear();
    before = menus.router.CurrentMenu();
    selection = before ? before->selection : 0;
  };
  hooks.after = [&](std::string_view line) {
    for (const std::string& c : sent) {
      CheckCommand(c);
      if (c == "+CMER=3,2,0,0,0" && !world.keysRefused) reportsOn = true;
      if (c == "+CMER=0,0,0,0,0") {
        if (!reportsOn) Fail("key reports turned off that were not on", c);
        reportsOn = false;
      }
      if (c.rfind("*EASM=", 0) == 0 && reportsOn) Fail("a page shown with key reports on", c);
    }
    if (reportsOn != w.keys.up())
      Fail("the key screen and the phone's reports disagree", std::string(line));
    Menu* current = menus.router.CurrentMenu();
    if (!sent.empty() && sent.back().rfind("*EASM=", 0) == 0) {
      CheckSelection(current, "a page shown with its selection outside");
      if (current) CheckPageRules(sent.back(), *current, w.protocol);
    }
    // The owner may have moved a selection out; a choice never does.
    if (line.rfind("*EAMI", 0) == 0 && before && before == current &&
        before->selection != selection)
      CheckSelection(before, "a choice moved the selection outside");
    const std::int32_t cursor = menus.player.playlist().cursor();
    if (cursor < 0 || (world.playlistLength > 0 && cursor >= world.playlistLength))
      Fail("the playlist cursor left the playlist", std::to_string(cursor));
    return true;
  };
  const char* phone = reinterpret_cast<const char*>(data) + suppliedEnd;
  DispatchPhoneLines(std::string_view(phone, size - suppliedEnd), w.protocol, kMaxCodes, hooks);
  return 0;
}
