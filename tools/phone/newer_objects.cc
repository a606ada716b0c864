#include "newer_objects.h"

#include <vector>

namespace quillet::phone {
namespace {

struct Token {
  bool quoted = false;
  std::string text;
};

// Comma-separated fields; a quoted one runs to the next quote that ends a
// field. False when the list does not read so.
bool Tokens(std::string_view args, std::vector<Token>* out) {
  std::size_t at = 0;
  while (true) {
    Token token;
    if (at < args.size() && args[at] == '"') {
      std::size_t close = at + 1;
      while ((close = args.find('"', close)) != std::string_view::npos && close + 1 < args.size() &&
             args[close + 1] != ',')
        ++close;
      if (close == std::string_view::npos) return false;
      token.quoted = true;
      token.text = std::string(args.substr(at + 1, close - at - 1));
      at = close + 1;
    } else {
      const std::size_t comma = args.find(',', at);
      token.text = std::string(
          args.substr(at, comma == std::string_view::npos ? args.size() - at : comma - at));
      at = comma == std::string_view::npos ? args.size() : comma;
    }
    out->push_back(std::move(token));
    if (at >= args.size()) return true;
    if (args[at] != ',') return false;
    ++at;
  }
}

bool Number(const Token& token, std::int32_t* value) {
  if (token.quoted || token.text.empty() || token.text.size() > 9) return false;
  std::size_t i = token.text[0] == '-' ? 1 : 0;
  if (i == token.text.size()) return false;
  for (std::size_t j = i; j < token.text.size(); ++j)
    if (token.text[j] < '0' || token.text[j] > '9') return false;
  *value = std::stoi(token.text);
  return true;
}

// A layout of q (quoted) and n (number) fields.
bool Fits(const std::vector<Token>& t, const char* layout, std::int32_t* numbers) {
  std::size_t i = 0;
  for (; layout[i] != '\0'; ++i) {
    if (i >= t.size()) return false;
    if (layout[i] == 'q' ? !t[i].quoted : !Number(t[i], &numbers[i])) return false;
  }
  return i == t.size();
}

Parsed<NewerChange> Refused(const std::string& why) {
  Parsed<NewerChange> parsed;
  parsed.error = why;
  return parsed;
}

Parsed<NewerChange> Made(NewerChange change) {
  Parsed<NewerChange> parsed;
  parsed.value = std::move(change);
  return parsed;
}

NewerChange Creates(const std::string& code) {
  NewerChange change;
  change.replyCode = code;
  return change;
}

Parsed<NewerChange> List(const std::vector<Token>& t) {
  std::int32_t n[6] = {};
  if (t.size() < 6 || !Fits({t.begin(), t.begin() + 6}, "qnnnnn", n)) return Refused("list: head");
  const std::size_t items = t.size() - 6;
  if (items % 5 != 0 || n[3] < 0 || items / 5 != static_cast<std::size_t>(n[3]))
    return Refused("list: " + std::to_string(items) + " fields for " + std::to_string(n[3]) +
                   " entries");
  std::vector<std::string> entries;
  for (std::size_t i = 6; i < t.size(); i += 5) {
    std::int32_t flags[5] = {};
    // The image: "" or a small number; the flags 0 or 1.
    if (!t[i].quoted || (!t[i + 1].quoted && !Number(t[i + 1], &flags[1])) ||
        (t[i + 1].quoted && !t[i + 1].text.empty()) || !Number(t[i + 2], &flags[2]) ||
        !Number(t[i + 3], &flags[3]) || !Number(t[i + 4], &flags[4]))
      return Refused("list: entry " + std::to_string((i - 6) / 5 + 1));
    entries.push_back(t[i].text);
  }
  NewerChange change = Creates("*SELIST");
  if (n[1] == 3) {
    MenuScreen menu;
    menu.title = t[0].text;
    menu.navigation = '2';
    menu.selected = n[2] + 1;
    menu.count = n[3];
    menu.entries = std::move(entries);
    change.object.menu = std::move(menu);
  } else if (n[1] == 1) {
    Dialog d;
    d.type = DialogType::List;
    d.title = t[0].text;
    d.value = n[2] + 1;
    d.count = n[3];
    d.labels = std::move(entries);
    change.object.dialog = std::move(d);
  } else {
    return Refused("list: type " + std::to_string(n[1]));
  }
  return Made(std::move(change));
}

Parsed<NewerChange> Object(const std::string& name, const std::vector<Token>& t) {
  std::int32_t n[8] = {};
  NewerChange change = Creates(name);
  Dialog d;
  if (name == "*SELERT" && Fits(t, "qnnq", n)) {
    d.type = DialogType::Notice;
    d.navigation = '2';
    d.text = t[0].text;
    d.title = t[3].text;
  } else if (name == "*SEGAUGE" && Fits(t, "qnnnnn", n) && n[1] == 2) {
    d.type = DialogType::Level;
    d.title = t[0].text;
    d.value = n[4];
    d.steps = n[5];
  } else if (name == "*SEONO" && Fits(t, "qnn", n) && (n[1] == 0 || n[1] == 1)) {
    d.type = DialogType::OnOff;
    d.title = t[0].text;
    d.value = n[1];
  } else if (name == "*SESTRI" && Fits(t, "qqqnnn", n) && (n[4] == 0 || n[4] == 2)) {
    d.type = n[4] == 2 ? DialogType::Number : DialogType::Text;
    d.title = t[0].text;
    d.prompt = t[1].text;
    if (n[4] == 2) {
      Token value{false, t[2].text};
      if (!Number(value, &d.value)) return Refused("number input: default " + t[2].text);
    } else {
      d.text = t[2].text;
    }
  } else {
    return Refused(name + ": fields");
  }
  change.object.dialog = std::move(d);
  return Made(std::move(change));
}

}  // namespace

Parsed<NewerChange> ParseNewer(const std::string& name, std::string_view rest) {
  NewerChange change;
  if ((name == "*SEAM" || name == "*SESTRI") && rest == "=?") {
    change.kind = NewerChange::Kind::Question;
    change.replyCode = name;
    return Made(change);
  }
  if (rest.empty() || rest[0] != '=') return Refused(name + ": no arguments");
  std::vector<Token> t;
  if (!Tokens(rest.substr(1), &t)) return Refused(name + ": fields");
  std::int32_t n[2] = {};
  if (name == "*SEAM") {
    if (!Fits(t, "qn", n) && !Fits(t, "q", n)) return Refused("*SEAM: fields");
    change.kind = NewerChange::Kind::Register;
    change.replyCode = "*SEAM";
    change.title = t[0].text;
    return Made(change);
  }
  if (name == "*SEUIS") {
    if (!Fits(t, "n", n) || (n[0] != 0 && n[0] != 1)) return Refused("*SEUIS: 0 or 1");
    change.kind = NewerChange::Kind::Session;
    change.sessionOn = n[0] == 1;
    return Made(change);
  }
  if (name == "*SEDEL") {
    if (!Fits(t, "n", n)) return Refused("*SEDEL: object");
    change.kind = NewerChange::Kind::Delete;
    change.id = n[0];
    return Made(change);
  }
  if (name == "*SELIST") return List(t);
  return Object(name, t);
}

namespace newer_codes {

std::string MenuOpened(std::int32_t item) {
  return "*SEAAI: " + std::to_string(item);
}

std::string Answer(std::int32_t object, std::int32_t action, const std::string& info) {
  std::string line = "*SEGUII: " + std::to_string(object) + "," + std::to_string(action);
  if (!info.empty()) line += "," + info;
  return line;
}

}  // namespace newer_codes
}  // namespace quillet::phone
