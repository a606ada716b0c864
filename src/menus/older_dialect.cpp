#include "menus/older_dialect.h"

#include "menus/accessory_commands.h"
#include "menus/at_text.h"
#include "menus/menu_protocol.h"
#include "menus/menu_record.h"
#include "menus/wrap32.h"

namespace quillet {
namespace {

// Answers that close a dialog without a value.
bool IsDismissal(const std::string& answer) {
  return answer.empty() || answer == ": 0" || answer == ":0";
}

// The final answer of a level dialog carries this first number.
constexpr std::int32_t kFinalLevel = 4;

}  // namespace

bool OlderDialect::ShowList(const MenuPage& page) {
  std::string list;
  for (const std::string& entry : page.entries) list += ",\"" + entry + "\"";
  return send_(Format(phone::kShowMenuFormat, page.title.c_str(), page.topLevel ? '1' : '2',
                      static_cast<int>(page.focus), static_cast<int>(page.entries.size()),
                      list.c_str()));
}

void OlderDialect::ShowNotice(char navigation, const std::string& title, const std::string& text) {
  send_(Format(phone::kNoticeFormat, navigation, title.c_str(), text.c_str()));
}

void OlderDialect::OpenDialog(const DialogRequest& d) {
  const char* name = d.name.c_str();
  switch (d.kind) {
    case kLevel:
      send_(Format(phone::kLevelDialogFormat, name, d.count, d.value));
      return;
    case kChoice: {
      std::string command = Format(phone::kListDialogFormat, name, WrapAdd(d.value, 1), d.count);
      for (const std::string& label : d.labels) command += ",\"" + label + "\"";
      send_(command);
      return;
    }
    case kSwitch:
      send_(Format(phone::kSwitchDialogFormat, name, d.value));
      return;
    case kNumber:
      send_(Format(phone::kNumberDialogFormat, name, d.prompt.c_str(), d.minimum, d.maximum,
                   d.value));
      return;
    default:
      send_(Format(phone::kTextDialogFormat, name, d.prompt.c_str(), d.maximum, d.text.c_str()));
      return;
  }
}

bool OlderDialect::ShowKeyScreen(const std::string& title) {
  return send_(Format(phone::kHoldDialogFormat, title.c_str()));
}

DialogAnswer ReadOlderAnswer(std::int32_t kind, const std::string& answer) {
  DialogAnswer read;
  if (IsDismissal(answer)) return read;
  if (kind >= kLevel && kind <= kNumber) {
    std::int32_t first = 0;
    if (!ReadTwoNumbers(answer, &first, &read.number)) return read;
    read.kind = kind == kLevel && first != kFinalLevel ? DialogAnswer::Kind::kInterim
                                                       : DialogAnswer::Kind::kFinal;
    return read;
  }
  read.kind = DialogAnswer::Kind::kFinal;
  // A text runs from the first double quote to the next, or to the end;
  // without any, it is empty.
  const std::size_t open = answer.find('"');
  if (kind == kText && open != std::string::npos) {
    const std::size_t close = answer.find('"', open + 1);
    read.text =
        answer.substr(open + 1, (close == std::string::npos ? answer.size() : close) - open - 1);
  }
  return read;
}

}  // namespace quillet
