#include <cstring>

#include "menus/at_text.h"
#include "menus/menu_items.h"
#include "menus/menu_protocol.h"

namespace quillet {
namespace {

constexpr char kMissingTitle[] = "Missing menu";
constexpr char kMissingText[] = "This menu is not available.";

// A menu with a menu to go back to.
bool HasParent(const Menu& menu, const MenuSource& source) {
  return menu.parent != 0 || source.BackId(menu) != 0;
}

// What the list shows after an item's name, by its kind.
std::string Suffix(const MenuItem& item) {
  switch (item.kind) {
    case kLevel:
      return ": " + std::to_string(ToSteps(item.value, item));
    case kChoice:
      return std::string(": ") + LabelAt(item.value, item);
    case kSwitch:
      return item.value != 0 ? ": On" : ": Off";
    case kNumber:
      return ": " + std::to_string(item.value);
    case kText:
      return ": " + TextBuffer(item);
    default:
      return std::string();
  }
}

}  // namespace

std::string MenuProtocol::Quote(const TextPlace& place, std::string_view ansi) const {
  if (!texts_) return QuotedText(ansi);
  return texts_->Out(texts_->Of(place, ansi));
}

std::string MenuProtocol::EntryText(const Menu& menu, std::int32_t index) const {
  const MenuItem& item = menu.items[index];
  const std::string suffix = source_.NameOnly(item) ? std::string() : Suffix(item);
  if (!texts_) return QuotedText(FieldText(item.name) + suffix);
  return texts_->Out(texts_->Of(TextPlace::Name(menu, index), FieldText(item.name)) +
                     texts_->FromAnsi(suffix));
}

std::string MenuProtocol::PageTitle(const Menu& menu) const {
  std::string title = FieldText(menu.title);
  if (texts_) return texts_->OutTitle(texts_->Of(TextPlace::Title(menu), title));
  if (title.size() > kLongestPageTitle) title = title.substr(0, kPageTitleKeep) + kCutMark;
  return QuotedText(title);
}

std::vector<std::string> MenuProtocol::PageEntries(std::int32_t first, std::int32_t* end) const {
  const Menu* menu = source_.CurrentMenu();
  const std::int32_t count = menu ? ItemCount(*menu) : 0;
  std::vector<std::string> entries;
  // Each entry counts as it goes out on the older page: ,"<text>".
  std::size_t length = 0;
  std::int32_t i = first;
  for (; i < count; ++i) {
    std::string entry = EntryText(*menu, i);
    const std::size_t size = entry.size() + 3;
    // An entry too long for any page still goes alone on one, so that every
    // page takes an item and paging always ends.
    if (length + size >= kPageBudget && i > first) break;
    length += size;
    entries.push_back(std::move(entry));
    if (length >= kPageBudget) {
      ++i;
      break;
    }
  }
  *end = i;
  return entries;
}

std::string MenuProtocol::BuildEntries(std::int32_t first, std::int32_t* end) const {
  std::string list;
  for (const std::string& entry : PageEntries(first, end)) list += ",\"" + entry + "\"";
  return list;
}

MenuDialect& MenuProtocol::Dialect() {
  MenuDialect* picked = pick_ ? pick_() : nullptr;
  return picked != nullptr ? *picked : older_;
}

void MenuProtocol::ShowMenu() {
  // A menu being filled is shown once it is ready.
  if (source_.Filling()) return;
  Menu* menu = source_.CurrentMenu();
  if (!menu) {
    listShown_ = false;
    Dialect().ShowNotice('0', kMissingTitle, kMissingText);
    screen_ = Screen::kNotice;
    Taken(nullptr);
    return;
  }
  const std::int32_t count = ItemCount(*menu);
  if (count == 0) {
    listShown_ = false;
    const std::string text = menu->text ? Quote(TextPlace::Text(*menu), menu->text) : std::string();
    Dialect().ShowNotice(HasParent(*menu, source_) ? '2' : '1',
                         Quote(TextPlace::Title(*menu), FieldText(menu->title)), text);
    screen_ = Screen::kNotice;
    Taken(menu);
    return;
  }
  // A selection outside the items (a supplied record may hold any) would
  // never be found on a page: it becomes the first item.
  if (menu->selection < 0 || menu->selection >= count) menu->selection = 0;
  SendPage(*menu, LayOutPage(*menu));
}

MenuProtocol::PageLayout MenuProtocol::LayOutPage(const Menu& menu) const {
  const std::int32_t count = ItemCount(menu);
  PageLayout layout;
  layout.page.entries = PageEntries(layout.start, &layout.end);
  while (menu.selection >= layout.end) {
    layout.start = layout.end;
    layout.page.entries = PageEntries(layout.start, &layout.end);
  }
  layout.base = layout.start - 1;
  if (layout.start > 0) {
    layout.page.entries.insert(layout.page.entries.begin(), kPreviousPageEntry);
    --layout.base;
  }
  if (layout.end < count) layout.page.entries.emplace_back(kNextPageEntry);
  layout.page.title = PageTitle(menu);
  layout.page.topLevel = !HasParent(menu, source_);
  layout.page.focus = menu.selection - layout.base;
  return layout;
}

bool MenuProtocol::SendPage(const Menu& menu, PageLayout layout) {
  if (!Dialect().ShowList(layout.page)) {
    KeepShownPage();
    return false;
  }
  pageBase_ = layout.base;
  pageEnd_ = layout.end;
  listShown_ = true;
  pageEntries_ = static_cast<std::int32_t>(layout.page.entries.size());
  pageHasPrevious_ = layout.start > 0;
  screen_ = Screen::kList;
  shownStart_ = layout.start;
  shownEntries_ = std::move(layout.page.entries);
  Taken(&menu);
  return true;
}

MenuProtocol::Refresh MenuProtocol::RefreshList() {
  Menu* menu = source_.CurrentMenu();
  if (screen_ != Screen::kList || !listShown_ || source_.Filling() || menu == nullptr ||
      menu != shownRecord_)
    return Refresh::kNotSent;
  const std::int32_t count = ItemCount(*menu);
  const std::int32_t selection = shownSelection_;
  source_.ReopenMenu();
  menu = source_.CurrentMenu();
  // Another record, or the same with other items: the phone's entries no
  // longer number the same items, and only the user's next step shows them.
  if (menu == nullptr || menu != shownRecord_ || ItemCount(*menu) != count || selection < 0 ||
      selection >= count)
    return Refresh::kNotSent;
  menu->selection = selection;
  PageLayout layout = LayOutPage(*menu);
  // A page break that moved would put entries the user has not paged to on
  // the page, or take some away.
  if (layout.start != shownStart_ || layout.end != pageEnd_) return Refresh::kNotSent;
  if (layout.page.entries == shownEntries_) return Refresh::kUnchanged;
  return SendPage(*menu, std::move(layout)) ? Refresh::kSent : Refresh::kNotSent;
}

void MenuProtocol::Taken(const Menu* menu) {
  shownRecord_ = menu;
  shownSelection_ = menu != nullptr ? menu->selection : 0;
  source_.PageTaken();
}

void MenuProtocol::KeepShownPage() {
  source_.PageRefused();
  Menu* menu = source_.CurrentMenu();
  if (menu != nullptr && menu == shownRecord_) menu->selection = shownSelection_;
}

void MenuProtocol::DoWork() {
  if (source_.FillStep()) ShowMenu();
}

void MenuProtocol::MenuActivated() {
  Heard();
  source_.StopFilling();
  // Opened afresh, the accessory menu has left any key screen behind.
  if (keyScreen_ != nullptr) keyScreen_->Close();
  Dialect().Opened();
  source_.OpenAccessoryMenu();
  ShowMenu();
}

}  // namespace quillet
