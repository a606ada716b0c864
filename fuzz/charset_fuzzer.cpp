// Fuzzes the texts that go out in the phone's character set and come back
// from it: random UTF-16 and UTF-8 through every set, with cuts, and supplied
// menus shown and answered with a Charset set. Checked (abort on violation):
// what is sent holds only bytes of the set (7-bit without one, well-formed
// UTF-8 in UTF-8), no double quote or control character, cuts keep at most
// their characters and never split one; every command passes the command
// checks; a Text answer stays inside its buffer, NUL-terminated.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "command_checks.h"
#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "menus/menu_texts.h"
#include "menus/phone_text.h"
#include "platform/fake/fake_platform.h"
#include "stub_menu_source.h"
#include "supplied_menu.h"

namespace {

using namespace quillet;
using quillet::fuzzing::Fail;

void CheckBytes(const std::string& bytes, PhoneCharset set) {
  for (char b : bytes) {
    const auto byte = static_cast<unsigned char>(b);
    if (byte < 0x20 || b == '"') Fail("a quote or control character sent", bytes);
    if (set == PhoneCharset::kNone && byte >= 0x80) Fail("8-bit byte without a set", bytes);
    if (set == PhoneCharset::kLatin1 && byte >= 0x7F && byte < 0xA0)
      Fail("a control character of 8859-1 sent", bytes);
  }
  if (set == PhoneCharset::kUtf8 && ToUtf8(FromUtf8(bytes)) != bytes)
    Fail("malformed UTF-8 sent", bytes);
}

void Texts(FuzzedDataProvider& in, PhoneCharset set) {
  std::u16string units;
  const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, 300);
  for (std::size_t i = 0; i < n && in.remaining_bytes() > 0; ++i)
    units += in.ConsumeIntegral<char16_t>();
  const std::u32string text =
      in.ConsumeBool() ? FromUtf16(units) : FromUtf8(in.ConsumeRandomLengthString(400));
  const std::size_t keep = in.ConsumeIntegralInRange<std::size_t>(0, 40);
  const std::size_t longest = keep + 3;
  const std::string whole = PhoneBytes(text, set);
  const std::string cut = PhoneBytes(text, set, longest, keep);
  CheckBytes(whole, set);
  CheckBytes(cut, set);
  const std::u32string shown = set == PhoneCharset::kUtf8 ? FromUtf8(cut) : Decode(cut, set);
  if (shown.size() > longest) Fail("a cut longer than its characters", cut);
  // A cut text is the whole one's beginning and "...".
  const std::size_t kept = cut == whole ? cut.size() : cut.size() - 3;
  if (cut != whole && (cut.size() < 3 || cut.compare(kept, 3, "...") != 0 ||
                       whole.compare(0, kept, cut, 0, kept) != 0))
    Fail("a cut that is not the start of the text", cut);
}

void Menus(FuzzedDataProvider& in, PhoneCharset set) {
  fake::FakePlatform os;
  MenuTexts texts(os, [set] { return set; });
  testing::StubMenuSource source;
  std::vector<std::string> sent;
  MenuProtocol protocol(
      source, [&](const std::string& c) { sent.push_back(c); }, &texts);
  fuzzing::SuppliedMenu record;
  fuzzing::BuildSuppliedMenu(in, record);
  source.current = &record.menu;
  protocol.ShowMenu();
  const int entries = protocol.pageEntries();
  if (entries > 0) protocol.ChooseEntry(in.ConsumeIntegralInRange(1, entries));
  for (const std::string& c : sent) {
    fuzzing::CheckCommand(c);
    const std::size_t quote = c.find('"');
    if (quote != std::string::npos) {
      std::string texts_only;
      bool inside = false;
      for (std::size_t i = quote; i < c.size(); ++i) {
        if (c[i] == '"') {
          inside = !inside;
        } else if (inside) {
          texts_only += c[i];
        }
      }
      CheckBytes(texts_only, set);
    }
  }
  // The answer of a Text dialog, whatever the phone sends.
  const std::int32_t count = ItemCount(record.menu);
  if (count == 0 || record.menu.selection < 0 || record.menu.selection >= count) return;
  MenuItem& item = record.menu.items[record.menu.selection];
  if (item.kind != kText || !item.labels || item.maximum < 0) return;
  const std::string answer = ": 1,\"" + in.ConsumeRandomLengthString(300);
  protocol.HandleAnswer(answer);
  if (std::memchr(item.labels, '\0', static_cast<std::size_t>(item.maximum) + 1) == nullptr)
    Fail("a Text answer without its end inside the buffer", answer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  while (in.remaining_bytes() > 0) {
    const auto set = static_cast<PhoneCharset>(in.ConsumeIntegralInRange(0, 2));
    if (in.ConsumeBool()) {
      Texts(in, set);
    } else {
      Menus(in, set);
    }
  }
  return 0;
}
