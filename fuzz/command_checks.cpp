#include "command_checks.h"

#include <cstdio>
#include <cstdlib>

namespace quillet::fuzzing {
namespace {

// `at` points at a quoted text: its end, past the closing quote.
std::size_t Quoted(const std::string& c, std::size_t at) {
  if (at >= c.size() || c[at] != '"') Fail("a text without its opening quote", c);
  const std::size_t close = c.find('"', at + 1);
  if (close == std::string::npos) Fail("a text without its closing quote", c);
  return close + 1;
}

}  // namespace

void Fail(const char* why, const std::string& command) {
  std::fprintf(stderr, "menu fuzzer: %s\n  %s\n", why, command.c_str());
  std::abort();
}

void CheckPage(const std::string& c) {
  std::size_t at = Quoted(c, 6);
  int nav = 0, selected = 0, announced = 0, used = 0;
  if (std::sscanf(c.c_str() + at, ", %d, %d, %d%n", &nav, &selected, &announced, &used) != 3)
    Fail("a page without its numbers", c);
  at += static_cast<std::size_t>(used);
  int entries = 0;
  while (at < c.size()) {
    if (c[at] != ',') Fail("entries not separated by commas", c);
    at = Quoted(c, at + 1);
    ++entries;
  }
  if (entries != announced) Fail("a page announcing other than its entries", c);
  if (selected < 1 || selected > entries) Fail("a selected entry not on the page", c);
  if (nav != 1 && nav != 2) Fail("a page with a bad navigation mark", c);
}

void CheckNotice(const std::string& c) {
  const std::string head = "*EAID=14,";
  if (c.size() < head.size() + 2 || c[head.size() + 1] != ',') Fail("a malformed notice", c);
  const std::size_t at = Quoted(c, head.size() + 2);
  if (at >= c.size() || c[at] != ',') Fail("a notice without its second text", c);
  if (Quoted(c, at + 1) != c.size()) Fail("text after a notice", c);
}

void CheckCommand(const std::string& c) {
  for (const char ch : c)
    if (static_cast<unsigned char>(ch) < 32) Fail("a control character in a command", c);
  if (c.rfind("*EASM=", 0) == 0) return CheckPage(c);
  if (c.rfind("*EAID=14,", 0) == 0) return CheckNotice(c);
  if (c.rfind("*EAID=", 0) != 0) Fail("neither a page, a notice nor a dialog", c);
  // A dialog: its quoted texts (name, prompt, labels, text) are balanced.
  std::size_t quotes = 0;
  for (const char ch : c) quotes += ch == '"';
  if (quotes % 2 != 0) Fail("a dialog with unbalanced quotes", c);
}

}  // namespace quillet::fuzzing
