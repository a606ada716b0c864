#include "line_framer.h"

namespace quillet::phone {

std::vector<std::string> LineFramer::Feed(std::string_view bytes) {
  std::vector<std::string> lines;
  for (char c : bytes) {
    switch (c) {
      case '\r':
        if (!pending_.empty()) lines.push_back(std::move(pending_));
        pending_.clear();
        break;
      case '\n':
        break;
      default:
        pending_.push_back(c);
        break;
    }
  }
  return lines;
}

}  // namespace quillet::phone
