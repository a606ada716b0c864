#include "link/status_line.h"

#include <algorithm>
#include <cstring>

namespace quillet {

void StatusLine::SetStatus(std::string_view text) {
  // A text stops at its first NUL, as the C string it stands for would.
  text = text.substr(0, std::min(text.size(), text.find('\0')));
  base_.assign(text.data(), text.size());
  Show(text);
}

void StatusLine::SetDetail(std::string_view detail) {
  Show(base_ + std::string(detail));
}

void StatusLine::Show(std::string_view text) {
  LockGuard guard(lock_);
  const std::size_t stored = std::min(text.size(), kCapacity - 1);
  std::memcpy(text_, text.data(), stored);
  text_[stored] = '\0';
  whole_.assign(text.data(), text.size());
  // Posting never waits, so it may happen under the lock; under it, no
  // update is posted once the dialog has detached.
  if (dialog_ != kNoHandle) os_.PostStatusUpdate(dialog_);
}

std::string StatusLine::Text() const {
  LockGuard guard(lock_);
  return std::string(text_);
}

std::string StatusLine::AttachDialog(Handle dialog) {
  LockGuard guard(lock_);
  dialog_ = dialog;
  return whole_;
}

bool StatusLine::TextForDialog(Handle dialog, std::string* text) const {
  LockGuard guard(lock_);
  if (dialog_ == kNoHandle || dialog_ != dialog) return false;
  *text = whole_;
  return true;
}

void StatusLine::DetachDialog() {
  LockGuard guard(lock_);
  dialog_ = kNoHandle;
}

}  // namespace quillet
