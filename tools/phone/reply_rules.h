#pragma once
// How the phone misbehaves on purpose: per-command rules, chosen by the
// longest prefix of the command text after "AT" ("+CNMI=3,1", "*EAM",
// "+CGMI"; "" matches every command).

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::phone {

// Output cut into pieces of `size` bytes, `pauseMs` apart; size 0 = whole.
struct Chunking {
  std::size_t size = 0;
  std::uint32_t pauseMs = 0;
};

struct ReplyRule {
  enum class Result {
    Natural,   // what the command set answers
    Ok,        // "OK" whatever the command
    Error,     // "ERROR"
    CmeError,  // "+CME ERROR: n" once error reporting is on, else "ERROR"
    Silent,    // no echo and no result
  };
  enum class Echo {
    Normal,
    Off,     // no echo line
    Lower,   // echo in lower case
    Garble,  // echo with its last byte changed
  };

  Result result = Result::Natural;
  std::int32_t cmeCode = 0;
  Echo echo = Echo::Normal;
  std::uint32_t delayMs = 0;  // before the value lines and the final result
  std::optional<Chunking> chunking;
  std::optional<std::string> interject;    // unsolicited code sent between echo and result
  std::optional<std::uint32_t> remaining;  // commands left it applies to; none = all
  bool withoutValues = false;              // "OK" alone, what it would say left out
};

class RuleBook {
 public:
  // The rule for `prefix`, created with defaults when absent.
  ReplyRule& Edit(const std::string& prefix) { return rules_[prefix]; }
  const ReplyRule* Find(const std::string& prefix) const {
    auto it = rules_.find(prefix);
    return it == rules_.end() ? nullptr : &it->second;
  }
  void Remove(const std::string& prefix) { rules_.erase(prefix); }
  void Clear() { rules_.clear(); }
  bool empty() const { return rules_.empty(); }

  // The rule with the longest prefix of `command`, counting one use of it
  // (a rule whose uses are spent is dropped). Defaults when none matches.
  ReplyRule Take(std::string_view command);

 private:
  std::map<std::string, ReplyRule> rules_;
};

}  // namespace quillet::phone
