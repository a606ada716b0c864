// Fuzzes the showing of menus that other plug-ins supply (see
// supplied_menu.h). Checked for every record (abort on violation): exactly
// one command is sent, and it passes the command checks; a page is sent only
// for a menu with items, whose selection then lies inside them, and it keeps
// the page rules (command_checks.h).

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "command_checks.h"
#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "stub_menu_source.h"
#include "supplied_menu.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  using namespace quillet::fuzzing;
  FuzzedDataProvider in(data, size);
  testing::StubMenuSource source;
  std::vector<std::string> sent;
  MenuProtocol protocol(source, [&](const std::string& c) { sent.push_back(c); });
  while (in.remaining_bytes() > 0) {
    SuppliedMenu record;
    BuildSuppliedMenu(in, record);
    source.current = in.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : &record.menu;
    sent.clear();
    protocol.ShowMenu();
    if (sent.size() != 1) Fail("not exactly one command", sent.empty() ? "" : sent[0]);
    const std::string& c = sent[0];
    if (c.rfind("*EAID=", 0) == 0 && c.rfind("*EAID=14,", 0) != 0) Fail("a dialog for a menu", c);
    CheckCommand(c);
    if (c.rfind("*EASM=", 0) == 0) {
      if (ItemCount(record.menu) == 0) Fail("a page for a menu without items", c);
      if (record.menu.selection < 0 || record.menu.selection >= record.menu.count)
        Fail("a selection outside the items", c);
      CheckPageRules(c, record.menu, protocol);
    }
  }
  return 0;
}
