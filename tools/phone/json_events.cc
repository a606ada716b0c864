#include "json_events.h"

#include <cstdio>

namespace quillet::phone::json {

std::string Quote(std::string_view bytes) {
  std::string out = "\"";
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20 || byte >= 0x7f) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          out += escaped;
        } else {
          out += c;
        }
        break;
    }
  }
  out += "\"";
  return out;
}

std::string Array(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out += ",";
    out += Quote(texts[i]);
  }
  return out + "]";
}

Object& Object::Raw(std::string_view key, std::string_view json) {
  if (!body_.empty()) body_ += ",";
  body_ += Quote(key);
  body_ += ":";
  body_ += json;
  return *this;
}

Object& Object::Text(std::string_view key, std::string_view bytes) {
  return Raw(key, Quote(bytes));
}

Object& Object::Number(std::string_view key, std::int64_t value) {
  return Raw(key, std::to_string(value));
}

Object& Object::Bool(std::string_view key, bool value) {
  return Raw(key, value ? "true" : "false");
}

std::string Menu(const MenuScreen& menu) {
  return Object()
      .Text("title", menu.title)
      .Text("nav", std::string(1, menu.navigation))
      .Number("selected", menu.selected)
      .Number("count", menu.count)
      .Raw("entries", Array(menu.entries))
      .Bool("countMatches", menu.CountMatches())
      .str();
}

std::string DialogObject(const Dialog& d) {
  Object o;
  o.Number("type", static_cast<std::int32_t>(d.type)).Text("kind", DialogTypeName(d.type));
  switch (d.type) {
    case DialogType::Notice:
      o.Text("nav", std::string(1, d.navigation)).Text("title", d.title).Text("text", d.text);
      break;
    case DialogType::Level:
      o.Number("mode", d.mode).Text("title", d.title).Number("steps", d.steps);
      o.Number("value", d.value);
      break;
    case DialogType::List:
      o.Number("mode", d.mode).Text("title", d.title).Number("value", d.value);
      o.Number("count", d.count).Raw("labels", Array(d.labels));
      o.Bool("countMatches", d.CountMatches());
      break;
    case DialogType::OnOff:
      o.Number("mode", d.mode).Text("title", d.title).Number("value", d.value);
      break;
    case DialogType::Number:
      o.Number("mode", d.mode).Text("title", d.title).Text("prompt", d.prompt);
      o.Number("min", d.minimum).Number("max", d.maximum).Number("value", d.value);
      break;
    case DialogType::Text:
      o.Number("mode", d.mode).Text("title", d.title).Text("prompt", d.prompt);
      o.Number("maxLength", d.maxLength).Text("text", d.text);
      break;
    case DialogType::Hold:
      o.Number("mode", d.mode).Text("title", d.title);
      break;
  }
  return o.str();
}

std::string Calls(const std::vector<PhoneCall>& calls) {
  std::string out = "[";
  for (const PhoneCall& call : calls) {
    if (out.size() > 1) out += ",";
    out += Object()
               .Number("id", call.id)
               .Text("state", CallStateName(call.state))
               .Number("type", call.type)
               .Text("number", call.number)
               .str();
  }
  return out + "]";
}

std::string ScreenObject(const Screen& screen) {
  return Object()
      .Raw("accessory", screen.accessory ? Quote(*screen.accessory) : "null")
      .Raw("menu", screen.menu ? Menu(*screen.menu) : "null")
      .Raw("dialog", screen.dialog ? DialogObject(*screen.dialog) : "null")
      .Raw("calls", Calls(screen.calls))
      .str();
}

}  // namespace quillet::phone::json
