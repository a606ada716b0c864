// Fuzzes the showing of menus that other plug-ins supply: records with random
// names (up to the full 40 bytes, unterminated), counts that do not match
// their items, selections anywhere, any kind, label lists and text buffers of
// any length, null pointers. Every allocation is exactly as large as the
// record promises, so the sanitizer sees any read beyond it.
//
// Checked for every record (abort on violation): exactly one command is sent;
// it holds no control character; it is a page whose title and entries are
// quoted texts without quotes inside, with as many entries as it announces
// and a selected entry among them, or a notice of exactly two quoted texts;
// the record's selection ends inside its items.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "menus/menu_items.h"
#include "menus/menu_protocol.h"

namespace quillet::fuzzing {
namespace {

constexpr int kMaxItems = 64;

class OneMenu : public MenuSource {
 public:
  Menu* menu = nullptr;
  Menu* CurrentMenu() override { return menu; }
  void OpenMenu(std::int32_t) override {}
  void CloseMenu() override {}
  void ReopenMenu() override {}
  std::int32_t GlobalId(std::int32_t id) const override { return id; }
  void ApplyValue(std::int32_t, std::int32_t) override {}
  void PostCommand(std::int32_t, std::int32_t) override {}
};

void Fail(const char* why, const std::string& command) {
  std::fprintf(stderr, "menu fuzzer: %s\n  %s\n", why, command.c_str());
  std::abort();
}

// Text without NULs, of a random length.
std::string Text(FuzzedDataProvider& in, std::size_t longest) {
  std::string text = in.ConsumeRandomLengthString(longest);
  for (char& c : text)
    if (c == '\0') c = 'z';
  return text;
}

// A fixed field filled with text, terminated only when it is shorter.
template <std::size_t N>
void Fill(char (&field)[N], const std::string& text) {
  for (std::size_t i = 0; i < N; ++i) field[i] = i < text.size() ? text[i] : '\0';
}

struct Record {
  Menu menu{};
  std::unique_ptr<MenuItem[]> items;
  std::vector<std::unique_ptr<char[]>> buffers;

  char* Buffer(const std::string& bytes) {
    buffers.push_back(std::make_unique<char[]>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), buffers.back().get());
    return buffers.back().get();
  }
};

void Build(FuzzedDataProvider& in, Record& r) {
  const int real = in.ConsumeIntegralInRange(0, kMaxItems);
  r.menu.count = in.ConsumeBool() ? real : in.ConsumeIntegral<std::int32_t>();
  if (r.menu.count > 0 && r.menu.count != real) r.menu.count = real;  // the owner's promise
  if (real > 0 && in.ConsumeBool()) {
    r.items = std::make_unique<MenuItem[]>(static_cast<std::size_t>(real));
    r.menu.items = r.items.get();
  }
  r.menu.selection = in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, real + 2)
                                      : in.ConsumeIntegral<std::int32_t>();
  r.menu.parent = in.ConsumeIntegralInRange(-1, 2000);
  Fill(r.menu.title, Text(in, 60));
  if (in.ConsumeBool()) r.menu.text = r.Buffer(Text(in, 300) + '\0');
  for (int i = 0; r.menu.items && i < real; ++i) {
    MenuItem& item = r.menu.items[i];
    Fill(item.name, Text(in, 60));
    item.kind =
        in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 7) : in.ConsumeIntegral<std::int32_t>();
    item.value = in.ConsumeIntegral<std::int32_t>();
    item.minimum = in.ConsumeIntegral<std::int32_t>();
    item.maximum = in.ConsumeIntegral<std::int32_t>();
    if (item.kind == kChoice && in.ConsumeBool()) {
      std::string list;
      for (int n = in.ConsumeIntegralInRange(1, 5); n > 0; --n) {
        const std::string label = Text(in, 120);
        if (label.empty()) break;
        list += label + '\0';
      }
      item.labels = r.Buffer(list + '\0' + (list.empty() ? "" : ""));
    } else if (item.kind == kText && in.ConsumeBool()) {
      // A buffer of `maximum` characters and its NUL.
      const std::string text = Text(in, 250);
      item.maximum = static_cast<std::int32_t>(text.size());
      item.labels = r.Buffer(text + '\0');
    }
  }
}

// `at` points at a quoted text: its end, past the closing quote.
std::size_t Quoted(const std::string& c, std::size_t at) {
  if (at >= c.size() || c[at] != '"') Fail("a text without its opening quote", c);
  const std::size_t close = c.find('"', at + 1);
  if (close == std::string::npos) Fail("a text without its closing quote", c);
  return close + 1;
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
  std::size_t at = Quoted(c, head.size() + 2);
  if (at >= c.size() || c[at] != ',') Fail("a notice without its second text", c);
  if (Quoted(c, at + 1) != c.size()) Fail("text after a notice", c);
}

}  // namespace
}  // namespace quillet::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  using namespace quillet::fuzzing;
  FuzzedDataProvider in(data, size);
  OneMenu source;
  std::vector<std::string> sent;
  MenuProtocol protocol(source, [&](const std::string& c) { sent.push_back(c); });
  while (in.remaining_bytes() > 0) {
    Record record;
    Build(in, record);
    source.menu = in.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : &record.menu;
    sent.clear();
    protocol.ShowMenu();
    if (sent.size() != 1) Fail("not exactly one command", sent.empty() ? "" : sent[0]);
    const std::string& c = sent[0];
    for (const char ch : c)
      if (static_cast<unsigned char>(ch) < 32) Fail("a control character in a command", c);
    if (c.rfind("*EASM=", 0) == 0) {
      CheckPage(c);
      if (ItemCount(record.menu) == 0) Fail("a page for a menu without items", c);
      if (record.menu.selection < 0 || record.menu.selection >= record.menu.count)
        Fail("a selection outside the items", c);
    } else if (c.rfind("*EAID=14,", 0) == 0) {
      CheckNotice(c);
    } else {
      Fail("neither a page nor a notice", c);
    }
  }
  return 0;
}
