#include "menus/menu_protocol.h"

namespace quillet {

// Choosing entries and answering dialogs arrive with the dialog protocol.
void MenuProtocol::ChooseEntry(int) {}
void MenuProtocol::HandleAnswer(const std::string&) {}

}  // namespace quillet
