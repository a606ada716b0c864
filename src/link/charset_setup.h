#pragma once
// The set-up's last step with a Charset setting: agree on the character set
// that texts go out in.

#include <functional>
#include <string>

#include "link/link.h"

namespace quillet {

// Leaves link.charset as the phone accepted it (kNone on a refusal, or when it
// lists no usable set) and says on the trace which set is in use. Lines read
// that are not the list go to `otherLine`.
void AgreeCharset(Link& link, const std::function<void(const std::string&)>& otherLine);

}  // namespace quillet
