#pragma once
// The one-line status of the link that the configuration dialog shows, kept
// even while no dialog is open so a dialog opened later shows the latest.
//
// The monitor thread sets it; the dialog's control is written only by the
// dialog's own thread. Setting the control from the monitor thread would
// send a message to the host's thread and wait for it, and a host thread
// waiting for the dialog lock at that moment would never answer. So SetStatus
// stores the text and posts an update, and the dialog fetches the text when
// the update arrives.

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quillet {

class StatusLine {
 public:
  static constexpr std::size_t kCapacity = 152;  // bytes, terminator included

  explicit StatusLine(Platform& os) : os_(os) {}

  // The link's dialogLock: guards the dialog handle and the stored text.
  void SetLock(Lock* dialogLock) { lock_ = dialogLock; }
  Lock* lock() const { return lock_; }

  // Stores at most 151 bytes (an open dialog still gets the whole text) and
  // asks an open dialog to show it.
  void SetStatus(std::string_view text);
  // Shows the last text set followed by `detail` (a count that changes
  // often), which the next SetStatus drops. Monitor thread only.
  void SetDetail(std::string_view detail);
  // The stored copy, cut to 151 bytes. The plug-in never reads it back (a
  // dialog takes the whole text when it attaches); it is public because it
  // is the status line's own state, which the tests and the soak check.
  std::string Text() const;

  // The dialog's side, on its own thread. Attaching stores the handle and
  // returns the text to show in one locked step, so that every later change
  // reaches the dialog as an update.
  std::string AttachDialog(Handle dialog);
  // The text for an update that arrived at `dialog`; false once the dialog
  // has been detached, so a late update writes nothing.
  bool TextForDialog(Handle dialog, std::string* text) const;
  void DetachDialog();

 private:
  void Show(std::string_view text);

  Platform& os_;
  Lock* lock_ = nullptr;
  char text_[kCapacity] = {};
  std::string whole_;  // the latest text, uncut, for the dialog
  std::string base_;   // the last text set, without its detail
  Handle dialog_ = kNoHandle;
};

}  // namespace quillet
