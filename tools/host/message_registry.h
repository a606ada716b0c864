// Names registered by plug-ins through the player's window, each given an id
// that stays the same for the life of the host. Like RegisterWindowMessage,
// names compare without regard to ASCII case and ids start at 0xC000.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace host {

class MessageRegistry {
 public:
  static constexpr int kFirstId = 0xC000;
  static constexpr int kLastId = 0xFFFF;

  // The id of `name`, registering it on first use; 0 for an empty name or
  // when the id range is used up.
  int Register(const std::string& name);
  // The name registered under `id`, or null.
  const std::string* NameOf(long long id) const;
  size_t size() const { return names_.size(); }

 private:
  std::map<std::string, int> ids_;  // keyed by the lower-cased name
  std::vector<std::string> names_;  // as first registered, by id - kFirstId
};

}  // namespace host
