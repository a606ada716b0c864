#include "chunkings.h"

#include <cstdio>

namespace quillet::phone::testing {
namespace {

std::vector<std::string> CutAtTerminators(const std::string& bytes, bool after) {
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : bytes) {
    bool terminator = c == '\r' || c == '\n';
    if (terminator && !after && !piece.empty()) {
      pieces.push_back(piece);
      piece.clear();
    }
    piece += c;
    if (terminator && after) {
      pieces.push_back(piece);
      piece.clear();
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

}  // namespace

std::vector<Chunked> Chunkings(const std::string& bytes) {
  std::vector<Chunked> all;
  all.push_back({"whole", {bytes}});
  Chunked single{"byte-by-byte", {}};
  for (char c : bytes) single.pieces.emplace_back(1, c);
  all.push_back(single);
  all.push_back({"after-each-CR-LF", CutAtTerminators(bytes, true)});
  all.push_back({"before-each-CR-LF", CutAtTerminators(bytes, false)});
  for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
    all.push_back({"split-at-" + std::to_string(cut), {bytes.substr(0, cut), bytes.substr(cut)}});
  }
  return all;
}

std::string Visible(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "<CR>";
    } else if (c == '\n') {
      out += "<LF>";
    } else if (byte < 0x20 || byte >= 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quillet::phone::testing
