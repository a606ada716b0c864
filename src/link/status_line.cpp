#include "link/status_line.h"

#include <algorithm>
#include <cstring>

namespace quillet {

void StatusLine::SetStatus(std::string_view text) {
  LockGuard guard(lock_);
  // A text stops at its first NUL, as the C string it stands for would.
  text = text.substr(0, std::min(text.size(), text.find('\0')));
  const std::size_t stored = std::min(text.size(), kCapacity - 1);
  std::memcpy(text_, text.data(), stored);
  text_[stored] = '\0';
  if (dialog_ != kNoHandle) os_.SetControlText(dialog_, kStatusControlId, std::string(text));
}

std::string StatusLine::Text() const {
  LockGuard guard(lock_);
  return std::string(text_);
}

void StatusLine::AttachDialog(Handle dialog) {
  LockGuard guard(lock_);
  dialog_ = dialog;
}

void StatusLine::DetachDialog() {
  LockGuard guard(lock_);
  dialog_ = kNoHandle;
}

}  // namespace quillet
