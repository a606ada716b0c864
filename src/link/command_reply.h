#pragma once
// A command's reply lines, cut out of the receive buffer where its answer
// stands, every other line left in place for dispatch.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link.h"

namespace quillet {

// The complete lines before `end` that `wanted` picks, in order.
std::vector<std::string> TakeLines(ReceiveBuffer& rx, std::size_t end,
                                   const std::function<bool(const std::string&)>& wanted);

// Sends `command`; true when the phone's final result is "OK". `reply` gets
// the last line of its answer that begins with `code`, or "" (always with
// an empty code).
bool SendCommandForReply(Link& link, std::string_view command, const char* code,
                         std::string* reply);

}  // namespace quillet
