#include <cstring>

#include "menus/accessory_commands.h"
#include "menus/at_text.h"
#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "menus/wrap32.h"

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
    return;
  }
  source_.OpenMenu(parent);
  ShowMenu();
}

void MenuProtocol::ChooseEntry(int entry) {
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
  const char* refusal = keyScreen_->Open();
  if (refusal == nullptr) return;  // its dialog's end shows the menu again
  // Said once; its answer shows the menu again, as the screen's would.
  listShown_ = false;
  send_(Format(phone::kNoticeFormat, menu.parent != 0 ? '2' : '1', kKeyScreenTitle, refusal));
}

void MenuProtocol::EndKeyScreen() {
  if (keyScreen_ == nullptr || !keyScreen_->Up()) return;
  // As the user's NO would: reports off, then the menu, found after the call.
  keyScreen_->Close();
  source_.ReopenMenu();
  ShowMenu();
}

void MenuProtocol::OpenDialog(const MenuItem& item) {
  const std::string name = Quote(item.name, FieldText(item.name));
  std::string command;
  switch (item.kind) {
    case kLevel:
      command = Format(phone::kLevelDialogFormat, name.c_str(), ToSteps(item.maximum, item),
                       ToSteps(item.value, item));
      break;
    case kChoice: {
      const std::int32_t labels = item.maximum < 0                   ? 0
                                  : item.maximum > kMostChoiceLabels ? kMostChoiceLabels
                                                                     : item.maximum;
      command = Format(phone::kListDialogFormat, name.c_str(), WrapAdd(item.value, 1), labels);
      for (std::int32_t i = 0; i < labels; ++i)
        command += ",\"" + Quote(nullptr, LabelAt(i, item)) + "\"";
      break;
    }
    case kSwitch:
      command = Format(phone::kSwitchDialogFormat, name.c_str(), item.value);
      break;
    case kNumber:
      command = Format(phone::kNumberDialogFormat, name.c_str(),
                       Quote(item.prompt, FieldText(item.prompt)).c_str(), item.minimum,
                       item.maximum, item.value);
      break;
    default:
      command = Format(phone::kTextDialogFormat, name.c_str(),
                       Quote(item.prompt, FieldText(item.prompt)).c_str(), item.maximum,
                       Quote(item.labels, TextBuffer(item)).c_str());
      break;
  }
  // The list stays the last one sent: its entry numbers still count.
  send_(command);
}

}  // namespace quillet
