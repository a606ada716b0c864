#include "reply_rules.h"

namespace quillet::phone {

ReplyRule RuleBook::Take(std::string_view command) {
  auto best = rules_.end();
  for (auto it = rules_.begin(); it != rules_.end(); ++it) {
    if (command.substr(0, it->first.size()) != it->first) continue;
    if (best == rules_.end() || it->first.size() > best->first.size()) best = it;
  }
  if (best == rules_.end()) return ReplyRule{};
  ReplyRule rule = best->second;
  if (best->second.remaining) {
    if (*best->second.remaining <= 1) {
      rules_.erase(best);
    } else {
      --*best->second.remaining;
    }
  }
  return rule;
}

}  // namespace quillet::phone
