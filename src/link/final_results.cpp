#include "link/final_results.h"

namespace quillet {

const FinalResult* MatchFinalResult(std::string_view line) {
  for (const FinalResult& row : kFinalResults) {
    std::string_view text(row.text);
    if (row.wholeLine ? line == text : line.substr(0, text.size()) == text) return &row;
  }
  return nullptr;
}

}  // namespace quillet
