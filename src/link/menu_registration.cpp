#include "link/menu_registration.h"

#include "link/at_transaction.h"
#include "link/command_reply.h"
#include "link/decimal.h"
#include "link/line_fields.h"
#include "link/phone_commands.h"

namespace quillet {

bool IsNewerMenuCode(const std::string& line) {
  return StartsWithCode(line, phone::kNewerMenuOpened) ||
         StartsWithCode(line, phone::kNewerAnswer) || StartsWithCode(line, phone::kNewerFocus);
}

bool ParseObjectReply(const std::string& line, const char* code, std::int32_t* id) {
  std::size_t at = 0;
  if (!SkipCode(line, code, &at)) return false;
  std::int32_t value = 0;
  if (!ReadDecimal(line, &at, &value)) return false;
  SkipBlanks(line, &at);
  if (at != line.size()) return false;
  *id = value;
  return true;
}

namespace {

// The newer set: asked about first, so that a phone without it hears no
// more than the question. Its reply line is taken out of the buffer; the
// rest stays for the set-up's leftovers.
bool RegisterNewerMenu(Link& link) {
  if (!SendCommand(link, phone::kNewerMenuTest) || link.stopping()) return false;
  std::string reply;
  if (!SendCommandForReply(link, phone::kNewerRegisterMenu, phone::kNewerMenuReply, &reply))
    return false;
  const bool found = ParseObjectReply(reply, phone::kNewerMenuReply, &link.menus.item);
  if (!found) link.trace.WriteTrace("menu registered without an id", kTraceInfo);
  return found;
}

}  // namespace

bool RegisterMenu(Link& link) {
  ++link.menus.connection;
  link.menus.set = MenuCommandSet::kOlder;
  link.menus.item = -1;
  if (SendCommand(link, phone::kRegisterMenu)) return true;
  if (link.stopping() || !RegisterNewerMenu(link)) return false;
  link.menus.set = MenuCommandSet::kNewer;
  link.trace.WriteTrace("menus on the newer commands", kTraceInfo);
  return true;
}

}  // namespace quillet
