#include <cstring>

#include "menus/menu_items.h"
#include "menus/menu_protocol.h"

namespace quillet {
namespace {

// A supplied Choice item may announce any number of labels; a list dialog
// offers at most this many.
constexpr std::int32_t kMostChoiceLabels = 100;

}  // namespace

void MenuProtocol::GoBack() {
  Menu* menu = source_.CurrentMenu();
  if (!menu) return;
  const std::int32_t parent = source_.BackId(*menu);
  source_.CloseMenu();
  if (parent == 0) {
    listShown_ = false;
    Dialect().Left();
    screen_ = Screen::kNothing;
    Taken(nullptr);
    return;
  }
  source_.OpenMenu(parent);
  ShowMenu();
}

void MenuProtocol::Cancelled() {
  Heard();
  source_.StopFilling();
  if (keyScreen_ != nullptr) keyScreen_->Close();
  source_.CloseMenu();
  listShown_ = false;
  Dialect().Left();
  screen_ = Screen::kNothing;
  Taken(nullptr);
}

void MenuProtocol::ChooseEntry(int entry) {
  Heard();
  source_.StopFilling();
  // A choice means the phone shows a list again, not the key screen.
  if (keyScreen_ != nullptr) keyScreen_->Close();
  Menu* menu = source_.CurrentMenu();
  if (!menu) return;
  if (entry == 0) {
    GoBack();
    return;
  }
  // Only an entry of the list on the phone's screen means anything.
  if (!listShown_ || entry < 0 || entry > pageEntries_) return;
  const std::int32_t selection = pageBase_ + entry;
  const std::int32_t count = ItemCount(*menu);
  if (selection < 0 || selection >= count) {
    // The record changed under us since its page was sent.
    ShowMenu();
    return;
  }
  menu->selection = selection;
  if (entry == 1 && pageHasPrevious_) {
    ShowMenu();  // "<<": the page before
    return;
  }
  if (selection == pageEnd_ && pageEnd_ < count) {
    ShowMenu();  // ">>": the page after
    return;
  }
  const MenuItem& item = menu->items[selection];
  if (OpensKeyScreen(item)) {
    OpenKeyScreen(*menu);
    return;
  }
  switch (item.kind) {
    case kCommand:
      RunCommand(item);
      return;
    case kSubmenu: {
      const std::int32_t id = source_.GlobalId(item.id);
      source_.CloseMenu();
      source_.OpenMenu(id);
      ShowMenu();
      return;
    }
    case kLevel:
    case kChoice:
    case kSwitch:
    case kNumber:
    case kText:
      OpenDialog(item);
      return;
    default:
      ShowMenu();
      return;
  }
}

void MenuProtocol::RunCommand(const MenuItem& item) {
  const std::int32_t after = item.value;
  source_.PostCommand(item.minimum, item.id);
  switch (after) {
    case kAfterShowAgain:
      ShowMenu();
      break;
    case kAfterReopen:
      source_.ReopenMenu();
      ShowMenu();
      break;
    case kAfterNothing:
      break;
    default:
      GoBack();
      break;
  }
}

void MenuProtocol::OpenKeyScreen(const Menu& menu) {
  const char* refusal =
      keyScreen_->Open([this] { return Dialect().ShowKeyScreen(kKeyScreenTitle); });
  if (refusal == nullptr) {
    // Up: its dialog's end shows the menu again.
    if (keyScreen_->Up()) screen_ = Screen::kKeyScreen;
    return;
  }
  // Said once; its answer shows the menu again, as the screen's would.
  listShown_ = false;
  Dialect().ShowNotice(menu.parent != 0 ? '2' : '1', kKeyScreenTitle, refusal);
  screen_ = Screen::kNotice;
}

void MenuProtocol::EndKeyScreen() {
  if (keyScreen_ == nullptr || !keyScreen_->Up()) return;
  // As the user's NO would: reports off, then the menu, found after the call.
  keyScreen_->Close();
  source_.ReopenMenu();
  ShowMenu();
}

void MenuProtocol::OpenDialog(const MenuItem& item) {
  const Menu* menu = source_.CurrentMenu();
  const auto place = [&](TextPlace::Field field) {
    return menu != nullptr ? TextPlace::Of(*menu, item, field) : TextPlace::Nowhere();
  };
  DialogRequest dialog;
  dialog.kind = item.kind;
  dialog.name = Quote(place(TextPlace::Field::kName), FieldText(item.name));
  switch (item.kind) {
    case kLevel:
      dialog.count = ToSteps(item.maximum, item);
      dialog.value = ToSteps(item.value, item);
      break;
    case kChoice: {
      const std::int32_t labels = item.maximum < 0                   ? 0
                                  : item.maximum > kMostChoiceLabels ? kMostChoiceLabels
                                                                     : item.maximum;
      dialog.value = item.value;
      dialog.count = labels;
      for (std::int32_t i = 0; i < labels; ++i)
        dialog.labels.push_back(Quote(TextPlace::Nowhere(), LabelAt(i, item)));
      break;
    }
    case kSwitch:
      dialog.value = item.value;
      break;
    case kNumber:
      dialog.prompt = Quote(place(TextPlace::Field::kPrompt), FieldText(item.prompt));
      dialog.minimum = item.minimum;
      dialog.maximum = item.maximum;
      dialog.value = item.value;
      break;
    default:
      dialog.kind = kText;
      dialog.prompt = Quote(place(TextPlace::Field::kPrompt), FieldText(item.prompt));
      dialog.maximum = item.maximum;
      dialog.text = Quote(place(TextPlace::Field::kCurrent), TextBuffer(item));
      break;
  }
  // The list stays the last one sent: its entry numbers still count.
  Dialect().OpenDialog(dialog);
  screen_ = Screen::kDialog;
}

}  // namespace quillet
