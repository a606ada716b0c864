#include "supplied_menu.h"

namespace quillet::fuzzing {
namespace {

constexpr int kMaxItems = 64;

// A fixed field filled with text, terminated only when it is shorter.
template <std::size_t N>
void Fill(char (&field)[N], const std::string& text) {
  for (std::size_t i = 0; i < N; ++i) field[i] = i < text.size() ? text[i] : '\0';
}

}  // namespace

char* SuppliedMenu::Buffer(const std::string& bytes) {
  buffers.push_back(std::make_unique<char[]>(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), buffers.back().get());
  return buffers.back().get();
}

std::string FuzzText(FuzzedDataProvider& in, std::size_t longest) {
  std::string text = in.ConsumeRandomLengthString(longest);
  for (char& c : text)
    if (c == '\0') c = 'z';
  return text;
}

void BuildSuppliedMenu(FuzzedDataProvider& in, SuppliedMenu& r) {
  const int real = in.ConsumeIntegralInRange(0, kMaxItems);
  r.menu.count = in.ConsumeBool() ? real : in.ConsumeIntegral<std::int32_t>();
  if (r.menu.count > 0 && r.menu.count != real) r.menu.count = real;  // the owner's promise
  if (real > 0 && in.ConsumeBool()) {
    r.items = std::make_unique<MenuItem[]>(static_cast<std::size_t>(real));
    r.menu.items = r.items.get();
    r.itemsHeld = real;
  }
  r.menu.selection = in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, real + 2)
                                      : in.ConsumeIntegral<std::int32_t>();
  r.menu.parent = in.ConsumeIntegralInRange(-1, 2000);
  r.menu.id =
      in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 2100) : in.ConsumeIntegral<std::int32_t>();
  Fill(r.menu.title, FuzzText(in, 60));
  if (in.ConsumeBool()) r.menu.text = r.Buffer(FuzzText(in, 300) + '\0');
  for (int i = 0; r.menu.items && i < real; ++i) {
    MenuItem& item = r.menu.items[i];
    Fill(item.name, FuzzText(in, 60));
    item.kind =
        in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 7) : in.ConsumeIntegral<std::int32_t>();
    // Ids that name the built-in menus, the player's values and the
    // supplier's own, or anything.
    item.id =
        in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 2100) : in.ConsumeIntegral<std::int32_t>();
    item.value = in.ConsumeIntegral<std::int32_t>();
    item.minimum = in.ConsumeIntegral<std::int32_t>();
    item.maximum = in.ConsumeIntegral<std::int32_t>();
    if (item.kind == kChoice && in.ConsumeBool()) {
      std::string list;
      for (int n = in.ConsumeIntegralInRange(1, 5); n > 0; --n) {
        const std::string label = FuzzText(in, 120);
        if (label.empty()) break;
        list += label + '\0';
      }
      item.labels = r.Buffer(list + '\0');
    } else if (item.kind == kText && in.ConsumeBool()) {
      // A buffer of `maximum` characters and its NUL.
      const std::string text = FuzzText(in, 250);
      item.maximum = static_cast<std::int32_t>(text.size());
      item.labels = r.Buffer(text + '\0');
    }
  }
}

void ChangeSuppliedMenu(FuzzedDataProvider& in, SuppliedMenu& r) {
  r.menu.count = in.ConsumeIntegralInRange(0, r.itemsHeld);
  r.menu.selection = in.ConsumeIntegralInRange(-1, r.itemsHeld + 1);
}

}  // namespace quillet::fuzzing
