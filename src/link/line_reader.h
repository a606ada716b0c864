#pragma once
// Lines from the phone. A line ends at LF, or at CR with one LF that directly
// follows it; every other byte belongs to the line, and nothing is trimmed.

#include <string>

#include "link/link.h"

namespace quillet {

// With `wait` the call blocks until a line is complete or a read brings
// nothing; without, it completes a line only from what is there already.
std::string ReadLine(Link& link, bool wait);

}  // namespace quillet
