#include "command_checks.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "menus/at_text.h"
#include "menus/menu_items.h"

namespace quillet::fuzzing {
namespace {

// The entries of one page, taken together, are at most this long.
constexpr std::size_t kEntryBudget = 199;

// `at` points at a quoted text: its end, past the closing quote.
std::size_t Quoted(const std::string& c, std::size_t at) {
  if (at >= c.size() || c[at] != '"') Fail("a text without its opening quote", c);
  const std::size_t close = c.find('"', at + 1);
  if (close == std::string::npos) Fail("a text without its closing quote", c);
  return close + 1;
}

struct Page {
  std::string title;
  int nav = 0, selected = 0, announced = 0;
  std::vector<std::string> entries;  // without their quotes
};

Page ReadPage(const std::string& c) {
  Page page;
  std::size_t at = Quoted(c, 6);
  page.title = c.substr(7, at - 8);
  int used = 0;
  if (std::sscanf(c.c_str() + at, ", %d, %d, %d%n", &page.nav, &page.selected, &page.announced,
                  &used) != 3)
    Fail("a page without its numbers", c);
  at += static_cast<std::size_t>(used);
  while (at < c.size()) {
    if (c[at] != ',') Fail("entries not separated by commas", c);
    const std::size_t end = Quoted(c, at + 1);
    page.entries.push_back(c.substr(at + 2, end - at - 3));
    at = end;
  }
  return page;
}

}  // namespace

void Fail(const char* why, const std::string& command) {
  std::fprintf(stderr, "menu fuzzer: %s\n  %s\n", why, command.c_str());
  std::abort();
}

void CheckPage(const std::string& c) {
  const Page page = ReadPage(c);
  const int entries = static_cast<int>(page.entries.size());
  if (entries != page.announced) Fail("a page announcing other than its entries", c);
  if (page.selected < 1 || page.selected > entries) Fail("a selected entry not on the page", c);
  if (page.nav != 1 && page.nav != 2) Fail("a page with a bad navigation mark", c);
}

void CheckPageRules(const std::string& c, const Menu& menu, const MenuProtocol& protocol) {
  const Page page = ReadPage(c);
  std::string title = FieldText(menu.title);
  if (title.size() > 15) title = title.substr(0, 12) + "...";
  if (page.title != QuotedText(title)) Fail("a title not cut to 12 characters and ...", c);

  // Each item's entry text, as the menus make it.
  const std::int32_t count = ItemCount(menu);
  if (menu.selection < 0 || menu.selection >= count) Fail("a page for no item of its menu", c);
  std::vector<std::string> texts;
  for (std::int32_t i = 0; i < count; ++i) {
    std::int32_t end = 0;
    const std::string list = protocol.BuildEntries(i, &end);
    texts.push_back(list.substr(2, list.find('"', 2) - 2));
  }
  // The items sent, each as a comma and its text in quotes.
  std::size_t sent = 0;
  const std::size_t first = protocol.pageHasPrevious() ? 1 : 0;
  const std::size_t last = page.entries.size() - (protocol.pageEnd() < count ? 1 : 0);
  for (std::size_t k = first; k < last; ++k) sent += page.entries[k].size() + 3;
  if (sent > kEntryBudget && last - first > 1) Fail("a page over the entry budget", c);
  // Pages cut from item 0 on, each as full as the budget allows; the one
  // that holds the selection is sent.
  std::int32_t start = 0, end = 0;
  for (;;) {
    std::size_t used = texts[start].size() + 3;
    for (end = start + 1; end < count && used + texts[end].size() + 3 <= kEntryBudget; ++end)
      used += texts[end].size() + 3;
    if (menu.selection < end) break;
    start = end;
  }
  const bool previous = start > 0, next = end < count;
  std::vector<std::string> expected;
  if (previous) expected.push_back("<<");
  expected.insert(expected.end(), texts.begin() + start, texts.begin() + end);
  if (next) expected.push_back(">>");
  if (page.entries != expected) Fail("a page cut otherwise than from the first item", c);
  if (page.selected != menu.selection - start + 1 + previous)
    Fail("a page with another entry selected", c);
  if (protocol.pageEnd() != end || protocol.pageBase() != start - 1 - previous ||
      protocol.pageHasPrevious() != previous)
    Fail("paging state that does not match the page sent", c);
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
  // The key screen's reports, on and off.
  if (c == "+CMER=3,2,0,0,0" || c == "+CMER=0,0,0,0,0") return;
  if (c.rfind("*EAID=", 0) != 0) Fail("neither a page, a notice nor a dialog", c);
  // A dialog: its quoted texts (name, prompt, labels, text) are balanced.
  std::size_t quotes = 0;
  for (const char ch : c) quotes += ch == '"';
  if (quotes % 2 != 0) Fail("a dialog with unbalanced quotes", c);
}

}  // namespace quillet::fuzzing
