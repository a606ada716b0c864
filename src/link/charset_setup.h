#pragma once
// The set-up's last step with a Charset setting: agree on the character set
// that texts go out in; and, once the setting is cleared or the phone is
// left, give the phone its own set back.

#include <string>

#include "link/link.h"

namespace quillet {

// With a Charset, leaves link.charset as the phone accepted it (kNone on a
// refusal, or when it lists no usable set) and says on the trace which set
// is in use; the phone's own set is read first, before Quillet first selects
// one. Without, puts the phone's own set back if Quillet's is selected. Lines
// read that are not the answers are kept as strays.
void AgreeCharset(Link& link);

// The command that gives the phone its own set back, or "" when Quillet's is
// not selected or the phone's own is not known.
std::string CharsetToPutBack(const Link& link);
// Another phone, or none: nothing known of the set holds any more.
void ForgetPhoneCharset(Link& link);

}  // namespace quillet
