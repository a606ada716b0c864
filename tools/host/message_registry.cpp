#include "message_registry.h"

namespace host {

int MessageRegistry::Register(const std::string& name) {
  if (name.empty()) return 0;
  std::string key = name;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  auto found = ids_.find(key);
  if (found != ids_.end()) return found->second;
  const int id = kFirstId + static_cast<int>(names_.size());
  if (id > kLastId) return 0;
  ids_.emplace(key, id);
  names_.push_back(name);
  return id;
}

const std::string* MessageRegistry::NameOf(long long id) const {
  if (id < kFirstId || id - kFirstId >= static_cast<long long>(names_.size())) return nullptr;
  return &names_[static_cast<size_t>(id - kFirstId)];
}

}  // namespace host
