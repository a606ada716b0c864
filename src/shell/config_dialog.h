#pragma once
// The configuration dialog: the user picks the port and watches the link's
// status live. Runs on the host's thread, modal over the host's window; the
// platform runs the window and calls the procedure below.

#include <string>

#include "link/link.h"
#include "platform/platform.h"

namespace quillet {

constexpr int kConfigDialogId = 102;
constexpr int kPortComboId = 1001;
constexpr int kOkButtonId = 1;
constexpr int kCancelButtonId = 2;  // also the close box and Escape
constexpr int kApplyButtonId = 3;

class ConfigDialog : public DialogProcedure {
 public:
  // `portName` is the settings' portName, which the dialog replaces through the link's
  // locked hand-over.
  ConfigDialog(Platform& os, Link& link, std::string& portName)
      : os_(os), link_(link), portName_(portName) {}

  // Runs the dialog until the user closes it (or Close does).
  void Show(Handle module, Handle owner);
  // Ends an open dialog from the host's thread, as quit does.
  void Close();
  bool open() const { return dialog_ != kNoHandle; }

  void OnInitDialog(Handle dialog) override;
  void OnCommand(Handle dialog, int controlId) override;
  void OnStatusUpdate(Handle dialog) override;
  void OnDestroy(Handle dialog) override;

 private:
  void Apply(Handle dialog);

  Platform& os_;
  Link& link_;
  std::string& portName_;
  Handle dialog_ = kNoHandle;  // the host's thread only
};

}  // namespace quillet
