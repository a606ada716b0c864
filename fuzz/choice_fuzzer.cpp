// Fuzzes the user's side of the menus: the phone's "*EAAI", "*EAMI: n" and
// "*EAII..." codes in any order and with any content, against the built-in
// menus refreshed from a fake player with a playlist of any length, and
// against menus that other plug-ins supply (see foreign_menu.h) under any
// id, through the real menu sources, player menus and playlist pages. The
// owners of supplied menus cut their items and move their selections now and
// then.
//
// Checked after every code (abort on violation): every command sent passes
// the command checks; after a page is sent, the menu it shows has its
// selection inside its items; choosing an entry never moves a selection out
// of its menu's items; the playlist cursor stays inside the playlist. The
// sanitizers check that no record, label list or text buffer is read or
// written beyond what its owner promised.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "command_checks.h"
#include "fake_player.h"
#include "foreign_menu.h"
#include "menus/menu_items.h"
#include "player/menu_sources.h"
#include "shell/menu_bundle.h"

namespace quillet::fuzzing {
namespace {

constexpr int kMaxSteps = 64;
constexpr Handle kHostWindow = 0x4242;

std::string Answer(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 6)) {
    case 0:
      return "";
    case 1:
      return in.ConsumeBool() ? ": 0" : ":0";
    case 2:
      return ": " + std::to_string(in.ConsumeIntegral<std::int32_t>()) + "," +
             std::to_string(in.ConsumeIntegral<std::int32_t>());
    case 3:
      return ": 4," + std::to_string(in.ConsumeIntegralInRange(-5, 105));
    case 4:
      return ": 11,\"" + FuzzText(in, 300) + (in.ConsumeBool() ? "\"" : "");
    default:
      return FuzzText(in, 40);
  }
}

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
  FuzzedDataProvider in(data, size);
  fake::FakePlatform os;
  testing::FakePlayer player(os);
  const int length =
      in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 30) : in.ConsumeIntegralInRange(0, 2000000);
  player.Generate(length);
  player.position = in.ConsumeIntegralInRange(-1, length);
  player.state = in.ConsumeIntegralInRange(0, 4);
  player.noTitleFrom = in.ConsumeIntegralInRange<std::size_t>(0, 40);

  Link link(os);
  MenuBundle menus(link, kHostWindow, RegisterMenuMessages(os, kHostWindow),
                   in.ConsumeIntegralInRange(0, 1));
  std::vector<std::string> sent;
  MenuProtocol protocol(menus.sources, [&](const std::string& c) { sent.push_back(c); });

  // Other plug-ins' menus, under ids the built-in ones lead to and their own.
  std::list<ForeignMenu> foreign;
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) {
    foreign.emplace_back();
    BuildForeignMenu(in, foreign.back());
    const std::int32_t id = in.ConsumeBool() ? 1000 + in.ConsumeIntegralInRange(0, 3)
                                             : in.ConsumeIntegralInRange(0, 200);
    player.supplied[id] = &foreign.back().menu;
  }

  for (int step = 0; step < kMaxSteps && in.remaining_bytes() > 0; ++step) {
    sent.clear();
    switch (in.ConsumeIntegralInRange(0, 4)) {
      case 4:
        if (!foreign.empty()) {
          auto it = foreign.begin();
          std::advance(it, in.ConsumeIntegralInRange<std::size_t>(0, foreign.size() - 1));
          ChangeForeignMenu(in, *it);
        }
        continue;
      case 0:
        protocol.MenuActivated();
        break;
      case 1: {
        // The owner may have moved a selection out; a choice never does.
        Menu* before = menus.sources.CurrentMenu();
        const std::int32_t selection = before ? before->selection : 0;
        protocol.ChooseEntry(in.ConsumeBool() ? in.ConsumeIntegralInRange(-1, 13)
                                              : in.ConsumeIntegral<int>());
        if (before == menus.sources.CurrentMenu() && before && before->selection != selection)
          CheckSelection(before, "a choice moved the selection outside");
        break;
      }
      default:
        protocol.HandleAnswer(Answer(in));
        break;
    }
    for (const std::string& c : sent) CheckCommand(c);
    if (!sent.empty() && sent.back().rfind("*EASM=", 0) == 0)
      CheckSelection(menus.sources.CurrentMenu(), "a page shown with its selection outside");
    const std::int32_t cursor = menus.player.playlist().cursor();
    if (cursor < 0 || (length > 0 && cursor >= length))
      Fail("the playlist cursor left the playlist", std::to_string(cursor));
  }
  return 0;
}
