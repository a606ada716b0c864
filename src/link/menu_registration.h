#pragma once
// Registering the accessory menu at set-up: on the older set, and only when
// the phone refuses it there, on the newer set.

#include "link/link.h"

namespace quillet {

// Leaves the set picked, and the item's id, in link.menus; true when the
// menu is available on either set.
bool RegisterMenu(Link& link);

// The id in "*SEAM: <id>" (blank or not); false when the line is none.
bool ParseObjectReply(const std::string& line, const char* code, std::int32_t* id);

}  // namespace quillet
