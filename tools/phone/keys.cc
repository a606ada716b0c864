#include "keys.h"

#include <vector>

namespace quillet::phone {
namespace {

// The values each field may take, from the first on.
const std::vector<std::vector<int>>& FieldValues() {
  static const std::vector<std::vector<int>> kValues = {{0, 3}, {0, 2}, {0}, {0, 1}, {0}};
  return kValues;
}

}  // namespace

EventReporting ReadEventReporting(std::string_view args) {
  EventReporting result;
  std::vector<int> fields;
  std::size_t at = 0;
  while (true) {
    std::size_t comma = args.find(',', at);
    std::string_view field =
        args.substr(at, comma == std::string_view::npos ? args.npos : comma - at);
    if (field.size() != 1 || field[0] < '0' || field[0] > '9') {
      result.error = "event reporting: field " + std::to_string(fields.size() + 1);
      return result;
    }
    fields.push_back(field[0] - '0');
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  if (fields.size() > FieldValues().size()) {
    result.error = "event reporting: too many fields";
    return result;
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    bool allowed = false;
    for (int value : FieldValues()[i]) allowed = allowed || value == fields[i];
    if (!allowed) {
      result.error =
          "event reporting: field " + std::to_string(i + 1) + " value " + std::to_string(fields[i]);
      return result;
    }
  }
  result.keyReports = fields[0] == 3 && fields.size() > 1 && fields[1] == 2;
  return result;
}

std::string EventReportingValue(bool keyReports) {
  return keyReports ? "+CMER: 3,2,0,0,0" : "+CMER: 0,0,0,0,0";
}

bool IsKeyName(std::string_view key) {
  auto printable = [](char c) { return c > ' ' && c < 127 && c != ',' && c != '"'; };
  if (key.size() == 1) return printable(key[0]) && key[0] != ':';
  return key.size() == 2 && key[0] == ':' && printable(key[1]);
}

std::string KeyReportLine(std::string_view key, bool pressed) {
  return "+CKEV: " + std::string(key) + (pressed ? ",1" : ",0");
}

}  // namespace quillet::phone
