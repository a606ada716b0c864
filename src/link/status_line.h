#pragma once
// The one-line status of the link that the configuration dialog shows, kept
// even while no dialog is open so a dialog opened later shows the latest.

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quillet {

constexpr int kStatusControlId = 1004;

class StatusLine {
 public:
  static constexpr std::size_t kCapacity = 152;  // bytes, terminator included

  explicit StatusLine(Platform& os) : os_(os) {}

  // DialogLock: guards the dialog handle and the stored text; null while the
  // plug-in is not running.
  void SetLock(Lock* dialogLock) { lock_ = dialogLock; }
  Lock* lock() const { return lock_; }

  // Stores at most 151 bytes; an open dialog's control gets the whole text.
  void SetStatus(std::string_view text);
  std::string Text() const;
  void AttachDialog(Handle dialog);
  void DetachDialog();

 private:
  Platform& os_;
  Lock* lock_ = nullptr;
  char text_[kCapacity] = {};
  Handle dialog_ = kNoHandle;
};

}  // namespace quillet
