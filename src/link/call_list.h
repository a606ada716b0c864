#pragma once
// Asking the phone which calls are going on ("+CLCC"), for a link whose phone
// reports its calls.

#include "link/link.h"

namespace quillet {

// Sends "+CLCC" and hands the answer to the link's call handlers. Call reports
// that came before the answer are handed on first, in order, as the list
// already holds what they said; lines after it stay for dispatch.
void ListCalls(Link& link);

}  // namespace quillet
