#include "library_query_language.h"

#include <cstdlib>

namespace host {
namespace {

enum class Op {
  kEq,
  kNe,
  kLt,
  kLe,
  kGt,
  kGe,
  kHas,
  kNotHas,
  kBegins,
  kEnds,
  kLike,
  kBeginsLike,
  kIsEmpty,
  kIsNotEmpty
};

enum class Field {
  kFilename,
  kTitle,
  kArtist,
  kAlbum,
  kAlbumArtist,
  kGenre,
  kYear,
  kTrackNo,
  kDisc,
  kType,
  kLength
};

struct FieldName {
  const char* name;
  Field field;
};
const FieldName kFields[] = {
    {"filename", Field::kFilename},
    {"title", Field::kTitle},
    {"artist", Field::kArtist},
    {"album", Field::kAlbum},
    {"albumartist", Field::kAlbumArtist},
    {"genre", Field::kGenre},
    {"year", Field::kYear},
    {"trackno", Field::kTrackNo},
    {"disc", Field::kDisc},
    {"type", Field::kType},
    {"length", Field::kLength},
};

struct OpName {
  const char* name;
  Op op;
};
// Longest first where one spelling starts another.
const OpName kOps[] = {
    {"==", Op::kEq},
    {"!=", Op::kNe},
    {"<>", Op::kNe},
    {"><", Op::kNe},
    {"<=", Op::kLe},
    {"=<", Op::kLe},
    {">=", Op::kGe},
    {"=>", Op::kGe},
    {"=", Op::kEq},
    {"<", Op::kLt},
    {">", Op::kGt},
    {"NOTHAS", Op::kNotHas},
    {"HAS", Op::kHas},
    {"BEGINSLIKE", Op::kBeginsLike},
    {"BEGINS", Op::kBegins},
    {"ENDS", Op::kEnds},
    {"LIKE", Op::kLike},
    {"ISNOTEMPTY", Op::kIsNotEmpty},
    {"ISEMPTY", Op::kIsEmpty},
};

bool IsText(Field f) {
  return f <= Field::kGenre;
}

char16_t Lower(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 32;
  if (c >= 0x391 && c <= 0x3A9) return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;  // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

// Latin-1 and Latin Extended-A letters without their accents; Greek tonos
// off; 0 where a letter has no plain form here.
char16_t Plain(char16_t c) {
  static const char kLatin1[] =  // U+00C0 .. U+00FF
      "aaaaaaaceeeeiiiidnooooo*ouuuuyts"
      "aaaaaaaceeeeiiiidnooooo/ouuuuyty";
  static const char kExtendedA[] =  // U+0100 .. U+017F
      "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjjjkkklllllllllll"
      "nnnnnnnnnoooooooorrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
  if (c >= 0xC0 && c <= 0xFF && kLatin1[c - 0xC0] != '*' && kLatin1[c - 0xC0] != '/')
    return static_cast<char16_t>(kLatin1[c - 0xC0]);
  if (c >= 0x100 && c <= 0x17F) return static_cast<char16_t>(kExtendedA[c - 0x100]);
  switch (c) {
    case 0x3AC:
      return 0x3B1;
    case 0x3AD:
      return 0x3B5;
    case 0x3AE:
      return 0x3B7;
    case 0x3AF:
      return 0x3B9;
    case 0x3CC:
      return 0x3BF;
    case 0x3CD:
      return 0x3C5;
    case 0x3CE:
      return 0x3C9;
    case 0x386:
      return 0x3B1;
    case 0x388:
      return 0x3B5;
    case 0x389:
      return 0x3B7;
    case 0x38A:
      return 0x3B9;
    case 0x38C:
      return 0x3BF;
    case 0x38E:
      return 0x3C5;
    case 0x38F:
      return 0x3C9;
    default:
      return 0;
  }
}

bool IsMark(char16_t c) {
  return c >= 0x300 && c <= 0x36F;
}

}  // namespace

std::u16string CompareForm(const std::u16string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (IsMark(c)) continue;
    const char16_t plain = Plain(c);
    if (plain == u's' && c == 0xDF) {
      out += u"ss";
      continue;
    }
    out += Lower(plain ? plain : c);
  }
  return out;
}

struct LibraryQuery::Node {
  enum class Kind { kClause, kAnd, kOr, kNot } kind = Kind::kClause;
  std::unique_ptr<Node> left, right;
  Field field = Field::kTitle;
  Op op = Op::kEq;
  std::u16string text;  // in compare form
  long long number = 0;
};

namespace {

using Node = LibraryQuery::Node;

class Parser {
 public:
  explicit Parser(const std::u16string& text) : s_(text) {}

  std::unique_ptr<Node> Query(std::string* error) {
    std::unique_ptr<Node> node = Expression();
    Blanks();
    if (error_.empty() && at_ < s_.size()) Fail("unexpected text");
    *error = error_;
    return error_.empty() ? std::move(node) : nullptr;
  }

 private:
  void Fail(const std::string& why) {
    if (error_.empty()) error_ = why + " at " + std::to_string(at_);
  }
  void Blanks() {
    while (at_ < s_.size() && (s_[at_] == u' ' || s_[at_] == u'\t')) ++at_;
  }
  bool Eat(const char* word, bool isWord) {
    Blanks();
    std::size_t n = 0;
    for (; word[n]; ++n) {
      if (at_ + n >= s_.size() || Lower(s_[at_ + n]) != Lower(static_cast<char16_t>(word[n])))
        return false;
    }
    // A word operator ends where the word does.
    if (isWord && at_ + n < s_.size() && IsWordChar(s_[at_ + n])) return false;
    at_ += n;
    return true;
  }
  static bool IsWordChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'_';
  }

  std::unique_ptr<Node> Expression() {
    std::unique_ptr<Node> left = Unary();
    while (error_.empty()) {
      Node::Kind kind;
      if (Eat("&&", false) || Eat("&", false) || Eat("AND", true)) {
        kind = Node::Kind::kAnd;
      } else if (Eat("||", false) || Eat("|", false) || Eat("OR", true)) {
        kind = Node::Kind::kOr;
      } else {
        break;
      }
      auto joined = std::make_unique<Node>();
      joined->kind = kind;
      joined->left = std::move(left);
      joined->right = Unary();
      left = std::move(joined);
    }
    return left;
  }

  std::unique_ptr<Node> Unary() {
    if (Eat("!", false) || Eat("NOT", true)) {
      auto node = std::make_unique<Node>();
      node->kind = Node::Kind::kNot;
      node->left = Unary();
      return node;
    }
    if (Eat("(", false)) {
      std::unique_ptr<Node> inner = Expression();
      if (!Eat(")", false)) Fail("no closing parenthesis");
      return inner;
    }
    return Clause();
  }

  std::unique_ptr<Node> Clause() {
    Blanks();
    std::string name;
    while (at_ < s_.size() && IsWordChar(s_[at_])) name += static_cast<char>(Lower(s_[at_++]));
    auto node = std::make_unique<Node>();
    bool known = false;
    for (const FieldName& f : kFields) {
      if (name == f.name) {
        node->field = f.field;
        known = true;
      }
    }
    if (!known) {
      Fail(name.empty() ? "no field" : "unknown field " + name);
      return node;
    }
    bool haveOp = false;
    for (const OpName& o : kOps) {
      const bool word = IsWordChar(static_cast<char16_t>(o.name[0]));
      if (Eat(o.name, word)) {
        node->op = o.op;
        haveOp = true;
        break;
      }
    }
    if (!haveOp) {
      Fail("no operator");
      return node;
    }
    if (node->op == Op::kIsEmpty || node->op == Op::kIsNotEmpty) return node;
    std::u16string value;
    if (!Value(&value)) return node;
    if (IsText(node->field)) {
      node->text = CompareForm(value);
    } else {
      const std::string digits = Utf16ToUtf8(value);
      char* end = nullptr;
      node->number = std::strtoll(digits.c_str(), &end, 10);
      if (digits.empty() || *end != '\0') Fail("not a number");
    }
    return node;
  }

  static int Hex(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
  }

  bool Value(std::u16string* value) {
    Blanks();
    if (at_ >= s_.size()) {
      Fail("no value");
      return false;
    }
    if (s_[at_] != u'"') {
      static const std::u16string kEnds = u" &|!()[]<>=,";
      const std::size_t start = at_;
      while (at_ < s_.size() && kEnds.find(s_[at_]) == std::u16string::npos) ++at_;
      *value = s_.substr(start, at_ - start);
      if (value->empty()) Fail("no value");
      return !value->empty();
    }
    // %XX are UTF-8 bytes, %% a percent sign; what is not escaped is taken
    // as it is.
    std::string bytes;
    for (++at_; at_ < s_.size() && s_[at_] != u'"'; ++at_) {
      if (s_[at_] == u'%' && at_ + 1 < s_.size() && s_[at_ + 1] == u'%') {
        bytes += '%';
        ++at_;
      } else if (s_[at_] == u'%' && at_ + 2 < s_.size() && Hex(s_[at_ + 1]) >= 0 &&
                 Hex(s_[at_ + 2]) >= 0) {
        bytes += static_cast<char>(Hex(s_[at_ + 1]) * 16 + Hex(s_[at_ + 2]));
        at_ += 2;
      } else {
        bytes += Utf16ToUtf8(std::u16string(1, s_[at_]));
      }
    }
    if (at_ >= s_.size()) {
      Fail("no closing quote");
      return false;
    }
    ++at_;
    *value = Utf8ToUtf16(bytes);
    return true;
  }

  const std::u16string& s_;
  std::size_t at_ = 0;
  std::string error_;
};

const std::u16string& TextOf(const LibraryTrack& t, Field f) {
  switch (f) {
    case Field::kFilename:
      return t.filename;
    case Field::kTitle:
      return t.title;
    case Field::kArtist:
      return t.artist;
    case Field::kAlbum:
      return t.album;
    case Field::kAlbumArtist:
      return t.albumartist;
    default:
      return t.genre;
  }
}

int NumberOf(const LibraryTrack& t, Field f) {
  switch (f) {
    case Field::kYear:
      return t.year;
    case Field::kTrackNo:
      return t.trackno;
    case Field::kDisc:
      return t.disc;
    case Field::kType:
      return t.type;
    default:
      return t.length;
  }
}

std::u16string WithoutThe(const std::u16string& text) {
  return text.compare(0, 4, u"the ") == 0 ? text.substr(4) : text;
}

bool Compare(Op op, int order) {
  switch (op) {
    case Op::kEq:
      return order == 0;
    case Op::kNe:
      return order != 0;
    case Op::kLt:
      return order < 0;
    case Op::kLe:
      return order <= 0;
    case Op::kGt:
      return order > 0;
    case Op::kGe:
      return order >= 0;
    default:
      return false;
  }
}

bool Evaluate(const Node& n, const LibraryTrack& t) {
  switch (n.kind) {
    case Node::Kind::kAnd:
      return Evaluate(*n.left, t) && Evaluate(*n.right, t);
    case Node::Kind::kOr:
      return Evaluate(*n.left, t) || Evaluate(*n.right, t);
    case Node::Kind::kNot:
      return !Evaluate(*n.left, t);
    case Node::Kind::kClause:
      break;
  }
  if (!IsText(n.field)) {
    const int v = NumberOf(t, n.field);
    if (n.op == Op::kIsEmpty) return v == -1;
    if (n.op == Op::kIsNotEmpty) return v != -1;
    if (v == -1) return n.op == Op::kNe;
    return Compare(n.op, v < n.number ? -1 : v > n.number ? 1 : 0);
  }
  const std::u16string& raw = TextOf(t, n.field);
  if (n.op == Op::kIsEmpty) return raw.empty();
  if (n.op == Op::kIsNotEmpty) return !raw.empty();
  const std::u16string v = CompareForm(raw);
  switch (n.op) {
    case Op::kHas:
      return v.find(n.text) != std::u16string::npos;
    case Op::kNotHas:
      return v.find(n.text) == std::u16string::npos;
    case Op::kBegins:
      return v.compare(0, n.text.size(), n.text) == 0;
    case Op::kEnds:
      return v.size() >= n.text.size() &&
             v.compare(v.size() - n.text.size(), n.text.size(), n.text) == 0;
    case Op::kLike:
      return WithoutThe(v) == WithoutThe(n.text);
    case Op::kBeginsLike: {
      const std::u16string a = WithoutThe(v), b = WithoutThe(n.text);
      return a.compare(0, b.size(), b) == 0;
    }
    default:
      return Compare(n.op, v.compare(n.text));
  }
}

}  // namespace

LibraryQuery::LibraryQuery(const std::u16string& query) {
  root_ = Parser(query).Query(&error_);
}
LibraryQuery::~LibraryQuery() = default;
LibraryQuery::LibraryQuery(LibraryQuery&&) noexcept = default;
LibraryQuery& LibraryQuery::operator=(LibraryQuery&&) noexcept = default;

bool LibraryQuery::Matches(const LibraryTrack& track) const {
  return !root_ || Evaluate(*root_, track);
}

}  // namespace host
