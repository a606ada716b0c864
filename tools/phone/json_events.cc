#include "json_events.h"

#include <cstdio>

#include "charsets.h"

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

std::string QuoteCharacters(std::u32string_view text) {
  std::string out = "\"";
  for (char32_t c : text) {
    char escaped[16];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c >= 0x10000) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x\\u%04x",
                    static_cast<unsigned>(0xD800 + ((c - 0x10000) >> 10)),
                    static_cast<unsigned>(0xDC00 + ((c - 0x10000) & 0x3FF)));
      out += escaped;
    } else {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    }
  }
  return out + "\"";
}

namespace {

// The texts as the phone shows them in the set they arrived in.
std::string ShownArray(const std::vector<std::string>& texts, const std::string& charset) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i)
    out += (i > 0 ? "," : "") + QuoteCharacters(Shown(texts[i], charset));
  return out + "]";
}

}  // namespace

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
  Object o;
  o.Text("title", menu.title)
      .Text("nav", std::string(1, menu.navigation))
      .Number("selected", menu.selected)
      .Number("count", menu.count)
      .Raw("entries", Array(menu.entries))
      .Bool("countMatches", menu.CountMatches());
  // Once a set is selected, the texts also as the phone shows them in it.
  if (!menu.charset.empty()) {
    o.Text("charset", menu.charset)
        .Raw("shown", Object()
                          .Raw("title", QuoteCharacters(Shown(menu.title, menu.charset)))
                          .Raw("entries", ShownArray(menu.entries, menu.charset))
                          .str());
  }
  return o.str();
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
  if (d.charset.empty()) return o.str();
  o.Text("charset", d.charset);
  o.Raw("shown", Object()
                     .Raw("title", QuoteCharacters(Shown(d.title, d.charset)))
                     .Raw("prompt", QuoteCharacters(Shown(d.prompt, d.charset)))
                     .Raw("text", QuoteCharacters(Shown(d.text, d.charset)))
                     .Raw("labels", ShownArray(d.labels, d.charset))
                     .str());
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
