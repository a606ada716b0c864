#include <cstring>

#include "link/decimal.h"
#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "menus/wrap32.h"

namespace quillet {

bool ReadTwoNumbers(const std::string& answer, std::int32_t* first, std::int32_t* second) {
  if (answer.empty() || answer[0] != ':') return false;
  std::size_t at = 1;
  if (!ReadDecimal(answer, &at, first)) return false;
  if (at >= answer.size() || answer[at] != ',') return false;
  ++at;
  return ReadDecimal(answer, &at, second);
}

void MenuProtocol::StoreText(MenuItem& item, const std::string& text) {
  // The buffer holds `maximum` characters and a NUL; without either there is
  // nowhere to write.
  if (!item.labels || item.maximum < 0) return;
  if (texts_) {
    // The phone's set to the code page the buffer's owner reads.
    const std::u32string typed = texts_->In(text);
    const std::string ansi = texts_->ToAnsi(typed, static_cast<std::size_t>(item.maximum));
    std::memcpy(item.labels, ansi.data(), ansi.size());
    item.labels[ansi.size()] = '\0';
    // The longest text counts characters here, whatever bytes they take.
    source_.TextTyped(item, typed.substr(0, static_cast<std::size_t>(item.maximum)));
    return;
  }
  const std::size_t length =
      text.size() > static_cast<std::size_t>(item.maximum) ? item.maximum : text.size();
  std::memcpy(item.labels, text.data(), length);
  item.labels[length] = '\0';
}

void MenuProtocol::HandleAnswer(const std::string& answer) {
  const Menu* menu = source_.CurrentMenu();
  const std::int32_t count = menu ? ItemCount(*menu) : 0;
  const bool onItem = count > 0 && menu->selection >= 0 && menu->selection < count;
  Answered(ReadOlderAnswer(onItem ? menu->items[menu->selection].kind : kCommand, answer));
  // A bare answer: the user left the accessory menu, whatever is sent after.
  if (answer.find_first_not_of(" \t") == std::string::npos) leftByPhone_ = true;
}

void MenuProtocol::Answered(const DialogAnswer& answer) {
  Heard();
  source_.StopFilling();
  Menu* menu = source_.CurrentMenu();
  if (!menu) {
    // Only the notice that a menu is missing was left to answer: nothing of
    // ours stays on the phone.
    Dialect().Left();
    screen_ = Screen::kNothing;
    return;
  }
  const std::int32_t count = ItemCount(*menu);
  if (count == 0) {
    GoBack();  // the notice was closed
    return;
  }
  if (menu->selection < 0 || menu->selection >= count) {
    // The record changed under the dialog: there is no item to answer.
    ShowMenu();
    return;
  }
  MenuItem& item = menu->items[menu->selection];
  if (OpensKeyScreen(item)) {
    // The key screen, or the notice that it could not be had, has ended.
    // The keys may have moved the player since the menu was built.
    keyScreen_->Close();
    source_.ReopenMenu();
    ShowMenu();
    return;
  }
  if (answer.kind == DialogAnswer::Kind::kDismissed) {
    // A level moved by interim answers goes back to its stored value.
    if (item.kind == kLevel) source_.ApplyValue(item.id, item.value);
    ShowMenu();
    return;
  }
  switch (item.kind) {
    case kLevel: {
      const std::int32_t value = FromPercent(answer.number, item);
      if (answer.kind == DialogAnswer::Kind::kInterim) {
        source_.ApplyValue(item.id, value);  // the dialog stays open
        return;
      }
      item.value = value;
      break;
    }
    case kChoice:
      item.value = WrapSub(answer.number, 1);
      break;
    case kSwitch:
    case kNumber:
      item.value = answer.number;
      break;
    case kText:
      StoreText(item, answer.text);
      // The owner reads the text at the buffer's address (4 bytes in the host).
      source_.ApplyValue(item.id,
                         static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(item.labels)));
      ShowMenu();
      return;
    default:
      break;
  }
  // Applying may reopen the menu (a track change) and give another record.
  const std::int32_t id = item.id;
  const std::int32_t value = item.value;
  source_.ApplyValue(id, value);
  ShowMenu();
}

}  // namespace quillet
