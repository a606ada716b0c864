#pragma once
// Cuts the plug-in's byte stream into command lines the way a phone's command
// interpreter does: a line ends at CR, LF is dropped wherever it appears, and
// empty lines (the CR the plug-in sends ahead of every "AT") vanish.

#include <string>
#include <string_view>
#include <vector>

namespace quillet::phone {

class LineFramer {
 public:
  // Takes bytes in any chunking; returns the lines they completed, in order.
  std::vector<std::string> Feed(std::string_view bytes);

  // Bytes of the line still waiting for its CR.
  const std::string& pending() const { return pending_; }
  // Forgets a line begun: the rest of it was lost.
  void Reset() { pending_.clear(); }

 private:
  std::string pending_;
};

}  // namespace quillet::phone
