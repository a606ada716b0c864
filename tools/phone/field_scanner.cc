#include "field_scanner.h"

#include <optional>

namespace quillet::phone {
namespace {

using Pos = std::size_t;

class Scanner {
 public:
  Scanner(std::string_view args, const std::vector<FieldKind>& layout, bool trailingList)
      : s_(args), layout_(layout), trailingList_(trailingList) {}

  ScanResult Run() {
    ScanResult result;
    Pos pos = 0;
    for (std::size_t i = 0; i < layout_.size(); ++i) {
      std::optional<Pos> start = i == 0 ? SkipBlanks(0) : Separator(pos);
      if (!start) return Fail("missing comma before field " + std::to_string(i + 1));
      Field field;
      field.kind = layout_[i];
      std::optional<Pos> next;
      switch (layout_[i]) {
        case FieldKind::Char:
          next = ReadChar(*start, &field.text);
          break;
        case FieldKind::Int:
          next = ReadInt(*start, &field.number);
          break;
        case FieldKind::Quoted:
          next = ReadQuoted(*start, i, &field.text);
          break;
      }
      if (!next) return Fail("field " + std::to_string(i + 1) + " does not fit");
      result.fields.push_back(std::move(field));
      pos = *next;
    }
    if (!ReadList(pos, &result.items)) return Fail("unexpected text after the last field");
    result.ok = true;
    return result;
  }

 private:
  static ScanResult Fail(std::string why) {
    ScanResult result;
    result.error = std::move(why);
    return result;
  }

  bool AtEnd(Pos p) const { return p >= s_.size(); }

  Pos SkipBlanks(Pos p) const {
    while (!AtEnd(p) && s_[p] == ' ') ++p;
    return p;
  }

  std::optional<Pos> Separator(Pos p) const {
    p = SkipBlanks(p);
    if (AtEnd(p) || s_[p] != ',') return std::nullopt;
    return SkipBlanks(p + 1);
  }

  std::optional<Pos> ReadChar(Pos p, std::string* out) const {
    if (AtEnd(p)) return std::nullopt;
    if (out) *out = std::string(1, s_[p]);
    return SkipBlanks(p + 1);
  }

  std::optional<Pos> ReadInt(Pos p, std::int32_t* out) const {
    bool negative = false;
    if (!AtEnd(p) && (s_[p] == '-' || s_[p] == '+')) {
      negative = s_[p] == '-';
      ++p;
    }
    std::int64_t value = 0;
    Pos digits = p;
    while (!AtEnd(p) && s_[p] >= '0' && s_[p] <= '9') {
      value = value * 10 + (s_[p] - '0');
      if (value > std::int64_t{INT32_MAX} + 1) return std::nullopt;
      ++p;
    }
    if (p == digits) return std::nullopt;
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    if (out) *out = static_cast<std::int32_t>(value);
    return SkipBlanks(p);
  }

  // The fields after a closing quote at `p` up to the next text, and what
  // must come after them, fit.
  bool Continues(Pos p, std::size_t nextField) const {
    std::size_t i = nextField;
    for (; i < layout_.size() && layout_[i] != FieldKind::Quoted; ++i) {
      std::optional<Pos> start = Separator(p);
      if (!start) return false;
      std::optional<Pos> next =
          layout_[i] == FieldKind::Char ? ReadChar(*start, nullptr) : ReadInt(*start, nullptr);
      if (!next) return false;
      p = *next;
    }
    bool textFollows = i < layout_.size();
    if (!textFollows && trailingList_ && AtEnd(SkipBlanks(p))) return true;
    if (!textFollows && !trailingList_) return AtEnd(SkipBlanks(p));
    std::optional<Pos> start = Separator(p);
    return start && !AtEnd(*start) && s_[*start] == '"';
  }

  std::optional<Pos> ReadQuoted(Pos p, std::size_t index, std::string* out) const {
    if (AtEnd(p) || s_[p] != '"') return std::nullopt;
    Pos open = p + 1;
    for (Pos q = s_.find('"', open); q != std::string_view::npos; q = s_.find('"', q + 1)) {
      if (Continues(q + 1, index + 1)) {
        *out = std::string(s_.substr(open, q - open));
        return q + 1;
      }
    }
    return std::nullopt;
  }

  bool ReadList(Pos p, std::vector<std::string>* items) const {
    p = SkipBlanks(p);
    if (AtEnd(p)) return true;
    if (!trailingList_) return false;
    std::optional<Pos> start = Separator(p);
    if (!start || AtEnd(*start) || s_[*start] != '"') return false;
    Pos last = s_.find_last_not_of(' ');
    if (last <= *start || s_[last] != '"') return false;
    std::string_view inner = s_.substr(*start + 1, last - *start - 1);
    constexpr std::string_view kBetween = "\",\"";
    for (;;) {
      Pos cut = inner.find(kBetween);
      items->emplace_back(inner.substr(0, cut));
      if (cut == std::string_view::npos) break;
      inner.remove_prefix(cut + kBetween.size());
    }
    return true;
  }

  std::string_view s_;
  const std::vector<FieldKind>& layout_;
  bool trailingList_;
};

}  // namespace

ScanResult ScanFields(std::string_view args, const std::vector<FieldKind>& layout,
                      bool trailingList) {
  return Scanner(args, layout, trailingList).Run();
}

}  // namespace quillet::phone
