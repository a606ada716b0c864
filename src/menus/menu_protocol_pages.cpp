#include <cstring>

#include "menus/accessory_commands.h"
#include "menus/at_text.h"
#include "menus/menu_items.h"
#include "menus/menu_protocol.h"

namespace quillet {
namespace {

constexpr char kMissingTitle[] = "Missing menu";
constexpr char kMissingText[] = "This menu is not available.";
constexpr char kPreviousPage[] = ",\"<<\"";
constexpr char kNextPage[] = ",\">>\"";

// '1' for a top-level menu, '2' for one with a parent to go back to.
char Navigation(const Menu& menu) {
  return menu.parent != 0 ? '2' : '1';
}

// What the list shows for an item: its name and, by kind, its value.
std::string ShownText(const MenuItem& item) {
  std::string text = FieldText(item.name);
  switch (item.kind) {
    case kLevel:
      return text + ": " + std::to_string(ToSteps(item.value, item));
    case kChoice:
      return text + ": " + LabelAt(item.value, item);
    case kSwitch:
      return text + (item.value != 0 ? ": On" : ": Off");
    case kNumber:
      return text + ": " + std::to_string(item.value);
    case kText:
      return text + ": " + TextBuffer(item);
    default:
      return text;
  }
}

std::string Entry(const MenuItem& item) {
  return ",\"" + QuotedText(ShownText(item)) + "\"";
}

std::string PageTitle(const Menu& menu) {
  std::string title = FieldText(menu.title);
  if (title.size() > kLongestPageTitle) title = title.substr(0, 12) + "...";
  return QuotedText(title);
}

}  // namespace

std::string MenuProtocol::BuildEntries(std::int32_t first, std::int32_t* end) const {
  const Menu* menu = source_.CurrentMenu();
  const std::int32_t count = menu ? ItemCount(*menu) : 0;
  std::string list;
  std::int32_t i = first;
  for (; i < count; ++i) {
    const std::string entry = Entry(menu->items[i]);
    // An entry too long for any page still goes alone on one, so that every
    // page takes an item and paging always ends.
    if (list.size() + entry.size() >= kPageBudget && i > first) break;
    list += entry;
    if (list.size() >= kPageBudget) {
      ++i;
      break;
    }
  }
  *end = i;
  return list;
}

void MenuProtocol::ShowMenu() {
  Menu* menu = source_.CurrentMenu();
  if (!menu) {
    listShown_ = false;
    send_(Format(phone::kNoticeFormat, '0', kMissingTitle, kMissingText));
    return;
  }
  const std::int32_t count = ItemCount(*menu);
  if (count == 0) {
    listShown_ = false;
    const std::string text = menu->text ? QuotedText(menu->text) : std::string();
    send_(Format(phone::kNoticeFormat, Navigation(*menu),
                 QuotedText(FieldText(menu->title)).c_str(), text.c_str()));
    return;
  }
  // A selection outside the items (a supplied record may hold any) would
  // never be found on a page: it becomes the first item.
  if (menu->selection < 0 || menu->selection >= count) menu->selection = 0;

  std::int32_t start = 0;
  std::int32_t end = 0;
  std::string list = BuildEntries(start, &end);
  while (menu->selection >= end) {
    start = end;
    list = BuildEntries(start, &end);
  }
  pageBase_ = start - 1;
  pageEnd_ = end;
  std::int32_t entries = end - start;
  if (start > 0) {
    list = kPreviousPage + list;
    --pageBase_;
    ++entries;
  }
  if (end < count) {
    list += kNextPage;
    ++entries;
  }
  listShown_ = true;
  pageEntries_ = entries;
  pageHasPrevious_ = start > 0;
  send_(Format(phone::kShowMenuFormat, PageTitle(*menu).c_str(), Navigation(*menu),
               static_cast<int>(menu->selection - pageBase_), static_cast<int>(entries),
               list.c_str()));
}

void MenuProtocol::MenuActivated() {
  // Opened afresh, the accessory menu has left any key screen behind.
  if (keyScreen_ != nullptr) keyScreen_->Close();
  source_.OpenMenu(kMainMenuRequestId);
  ShowMenu();
}

}  // namespace quillet
