#include "screen.h"

#include "field_scanner.h"

namespace quillet::phone {
namespace {

using K = FieldKind;

template <typename T>
Parsed<T> Failure(std::string why) {
  Parsed<T> parsed;
  parsed.error = std::move(why);
  return parsed;
}

template <typename T>
Parsed<T> Success(T value) {
  Parsed<T> parsed;
  parsed.value = std::move(value);
  return parsed;
}

struct DialogLayout {
  DialogType type;
  std::vector<FieldKind> fields;  // after the type
  bool labels;
};

const DialogLayout* FindLayout(std::int32_t type) {
  static const DialogLayout kLayouts[] = {
      {DialogType::Notice, {K::Char, K::Quoted, K::Quoted}, false},
      {DialogType::Level, {K::Int, K::Quoted, K::Int, K::Int}, false},
      {DialogType::List, {K::Int, K::Quoted, K::Int, K::Int}, true},
      {DialogType::OnOff, {K::Int, K::Quoted, K::Int}, false},
      {DialogType::Number, {K::Int, K::Quoted, K::Quoted, K::Int, K::Int, K::Int}, false},
      {DialogType::Text, {K::Int, K::Quoted, K::Quoted, K::Int, K::Quoted}, false},
      {DialogType::Hold, {K::Int, K::Quoted}, false},
  };
  for (const DialogLayout& layout : kLayouts) {
    if (static_cast<std::int32_t>(layout.type) == type) return &layout;
  }
  return nullptr;
}

// Leading type number of an *EAID argument list.
bool ReadType(std::string_view args, std::int32_t* type) {
  ScanResult head = ScanFields(args.substr(0, args.find(',')), {K::Int}, false);
  if (!head.ok) return false;
  *type = head.fields[0].number;
  return true;
}

Dialog FillDialog(DialogType type, const ScanResult& scan) {
  // fields[0] is the type itself.
  const std::vector<Field>& f = scan.fields;
  Dialog d;
  d.type = type;
  switch (type) {
    case DialogType::Notice:
      d.navigation = f[1].text[0];
      d.title = f[2].text;
      d.text = f[3].text;
      break;
    case DialogType::Level:
      d.mode = f[1].number;
      d.title = f[2].text;
      d.steps = f[3].number;
      d.value = f[4].number;
      break;
    case DialogType::List:
      d.mode = f[1].number;
      d.title = f[2].text;
      d.value = f[3].number;
      d.count = f[4].number;
      d.labels = scan.items;
      break;
    case DialogType::OnOff:
      d.mode = f[1].number;
      d.title = f[2].text;
      d.value = f[3].number;
      break;
    case DialogType::Number:
      d.mode = f[1].number;
      d.title = f[2].text;
      d.prompt = f[3].text;
      d.minimum = f[4].number;
      d.maximum = f[5].number;
      d.value = f[6].number;
      break;
    case DialogType::Text:
      d.mode = f[1].number;
      d.title = f[2].text;
      d.prompt = f[3].text;
      d.maxLength = f[4].number;
      d.text = f[5].text;
      break;
    case DialogType::Hold:
      d.mode = f[1].number;
      d.title = f[2].text;
      break;
  }
  return d;
}

}  // namespace

Parsed<std::string> ParseAccessoryMenu(std::string_view args) {
  ScanResult scan = ScanFields(args, {K::Quoted}, false);
  if (!scan.ok) return Failure<std::string>("accessory menu: " + scan.error);
  return Success(scan.fields[0].text);
}

Parsed<MenuScreen> ParseMenu(std::string_view args) {
  ScanResult scan = ScanFields(args, {K::Quoted, K::Char, K::Int, K::Int}, true);
  if (!scan.ok) return Failure<MenuScreen>("menu: " + scan.error);
  MenuScreen menu;
  menu.title = scan.fields[0].text;
  menu.navigation = scan.fields[1].text[0];
  menu.selected = scan.fields[2].number;
  menu.count = scan.fields[3].number;
  menu.entries = std::move(scan.items);
  return Success(std::move(menu));
}

Parsed<Dialog> ParseDialog(std::string_view args) {
  std::int32_t type = 0;
  if (!ReadType(args, &type)) return Failure<Dialog>("dialog: no type");
  const DialogLayout* layout = FindLayout(type);
  if (!layout) return Failure<Dialog>("dialog: unknown type " + std::to_string(type));
  std::vector<FieldKind> fields{K::Int};
  fields.insert(fields.end(), layout->fields.begin(), layout->fields.end());
  ScanResult scan = ScanFields(args, fields, layout->labels);
  if (!scan.ok) {
    return Failure<Dialog>(std::string("dialog ") + DialogTypeName(layout->type) + ": " +
                           scan.error);
  }
  return Success(FillDialog(layout->type, scan));
}

const char* DialogTypeName(DialogType type) {
  switch (type) {
    case DialogType::OnOff:
      return "onoff";
    case DialogType::Level:
      return "level";
    case DialogType::List:
      return "list";
    case DialogType::Number:
      return "number";
    case DialogType::Text:
      return "text";
    case DialogType::Notice:
      return "notice";
    case DialogType::Hold:
      return "hold";
  }
  return "?";
}

}  // namespace quillet::phone
