#pragma once
// The ways a byte stream can arrive: whole, byte by byte, cut after or before
// every CR and LF, and cut in two at every position.

#include <string>
#include <vector>

namespace quillet::phone::testing {

struct Chunked {
  std::string name;
  std::vector<std::string> pieces;
};

std::vector<Chunked> Chunkings(const std::string& bytes);

// For test names and failure messages: CR, LF and other control bytes shown.
std::string Visible(const std::string& bytes);

}  // namespace quillet::phone::testing
