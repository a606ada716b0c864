#include "command_set.h"

#include "charsets.h"
#include "keys.h"

namespace quillet::phone {
namespace {

Interpretation Accept() {
  Interpretation result;
  result.ok = true;
  return result;
}

Interpretation Refuse(std::string why) {
  Interpretation result;
  result.error = std::move(why);
  return result;
}

template <typename T>
Interpretation FromParsed(Parsed<T> parsed, std::optional<T> Interpretation::*slot) {
  if (!parsed.value) return Refuse(parsed.error);
  Interpretation result = Accept();
  result.*slot = std::move(parsed.value);
  return result;
}

Interpretation EchoSetting(std::string_view arg) {
  if (arg.empty() || arg == "0" || arg == "1") {
    Interpretation result = Accept();
    result.echo = arg != "0";
    return result;
  }
  return Refuse("echo setting " + std::string(arg));
}

Interpretation ErrorReporting(std::string_view rest, int current) {
  if (rest == "?") {
    Interpretation result = Accept();
    result.values.push_back("+CMEE: " + std::to_string(current));
    return result;
  }
  if (rest == "=?") {
    Interpretation result = Accept();
    result.values.push_back("+CMEE: (0-2)");
    return result;
  }
  if (rest == "=0" || rest == "=1" || rest == "=2") {
    Interpretation result = Accept();
    result.errorMode = rest[1] - '0';
    return result;
  }
  return Refuse("error reporting " + std::string(rest));
}

Interpretation CallMonitoring(std::string_view rest, bool current) {
  Interpretation result = Accept();
  if (rest == "?") {
    result.values.push_back(std::string("*ECAM: ") + (current ? "1" : "0"));
  } else if (rest == "=?") {
    result.values.push_back("*ECAM: (0-1)");
  } else if (rest == "=0" || rest == "=1") {
    result.callReports = rest == "=1";
  } else {
    return Refuse("call monitoring " + std::string(rest));
  }
  return result;
}

Interpretation KeyReporting(std::string_view rest, bool current) {
  Interpretation result = Accept();
  if (rest == "?") {
    result.values.push_back(EventReportingValue(current));
  } else if (rest == "=?") {
    result.values.push_back("+CMER: (0,3),(0,2),(0),(0,1),(0)");
  } else if (!rest.empty() && rest[0] == '=') {
    EventReporting reading = ReadEventReporting(rest.substr(1));
    if (!reading.error.empty()) return Refuse(reading.error);
    result.keyReports = reading.keyReports;
  } else {
    return Refuse("event reporting " + std::string(rest));
  }
  return result;
}

}  // namespace

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

ValueTable DefaultValues() {
  return {{"+CGMI", {"SimPhone"}}, {"+CGMM", {"QX-1"}}};
}

Interpretation Interpret(std::string_view command, const ValueTable& values,
                         const Settings& settings) {
  auto value = values.find(UpperCase(command));
  if (value != values.end()) {
    Interpretation result = Accept();
    result.values = value->second;
    return result;
  }
  std::size_t nameEnd = command.find_first_of("=?");
  std::string name = UpperCase(command.substr(0, nameEnd));
  std::string_view rest = nameEnd == std::string_view::npos ? "" : command.substr(nameEnd);
  std::string_view args = rest.empty() || rest[0] != '=' ? "" : rest.substr(1);

  if (name.empty()) return rest.empty() ? Accept() : Refuse("no command name");
  if (name[0] == 'E' && rest.empty()) return EchoSetting(std::string_view(name).substr(1));
  if (name == "+CMEE") return ErrorReporting(rest, settings.errorMode);
  if (name == "+CNMI") return Accept();
  if (name == "*ECAM") return CallMonitoring(rest, settings.callReports);
  if (name == "+CLCC" && rest.empty()) return Accept();  // the model lists its calls
  if (name == "+CSCS") return CharacterSet(rest, settings);
  if (name == "+CMER") return KeyReporting(rest, settings.keyReports);
  if (settings.newer && (name == "*EAM" || name == "*EASM" || name == "*EAID"))
    return Refuse("older accessory command " + name);
  if (settings.newer && name.rfind("*SE", 0) == 0)
    return FromParsed(ParseNewer(name, rest), &Interpretation::newer);
  if (rest.empty() || rest[0] != '=') return Refuse("unknown command " + name);
  if (name == "*EAM") return FromParsed(ParseAccessoryMenu(args), &Interpretation::accessory);
  if (name == "*EASM") return FromParsed(ParseMenu(args), &Interpretation::menu);
  if (name == "*EAID") return FromParsed(ParseDialog(args), &Interpretation::dialog);
  return Refuse("unknown command " + name);
}

}  // namespace quillet::phone
