#include "shell/config_dialog.h"

#include "link/port_name.h"
#include "link/status_line.h"
#include "shell/settings.h"

namespace quillet {
namespace {

constexpr int kFirstListedPort = 1;
constexpr int kLastListedPort = 8;

}  // namespace

void ConfigDialog::Show(Handle module, Handle owner) {
  if (open()) return;  // modal: one at a time
  os_.RunDialog(module, kConfigDialogId, owner, *this);
  dialog_ = kNoHandle;
}

void ConfigDialog::Close() {
  if (!open()) return;
  link_.status.DetachDialog();
  os_.EndDialog(dialog_);
  dialog_ = kNoHandle;
}

void ConfigDialog::OnInitDialog(Handle dialog) {
  const std::string current = ReadPortName(link_, portName_);
  bool listed = false;
  const auto add = [&](const std::string& name) {
    const int index = os_.AddComboString(dialog, kPortComboId, name);
    if (name == current) {
      os_.SetComboSelection(dialog, kPortComboId, index);
      listed = true;
    }
  };
  add(kPortDisabled);
  for (int n = kFirstListedPort; n <= kLastListedPort; ++n) add("COM" + std::to_string(n));
  // A name typed earlier (COM12, say) stays in the edit field, so OK without
  // edits keeps it rather than storing an empty name.
  if (!listed) os_.SetControlText(dialog, kPortComboId, current);
  dialog_ = dialog;
  // Shown outside the lock; a change after the attach arrives as an update.
  os_.SetControlText(dialog, kStatusControlId, link_.status.AttachDialog(dialog));
}

void ConfigDialog::OnCommand(Handle dialog, int controlId) {
  switch (controlId) {
    case kApplyButtonId:
      Apply(dialog);
      return;
    case kOkButtonId:
      Apply(dialog);
      [[fallthrough]];
    case kCancelButtonId:
      link_.status.DetachDialog();
      os_.EndDialog(dialog);
      dialog_ = kNoHandle;
      return;
    default:
      return;
  }
}

void ConfigDialog::OnDestroy(Handle) {
  // The one place every ending passes, the owner destroyed under the dialog
  // included: once the handle is gone it may name another window, which must
  // never receive our updates.
  link_.status.DetachDialog();
  dialog_ = kNoHandle;
}

void ConfigDialog::OnStatusUpdate(Handle dialog) {
  std::string text;
  if (link_.status.TextForDialog(dialog, &text)) os_.SetControlText(dialog, kStatusControlId, text);
}

void ConfigDialog::Apply(Handle dialog) {
  // An unchanged name leaves the link alone; a new one is handed to the
  // monitor thread, which drops its port and sets the link up again.
  ChangePortName(link_, portName_, os_.GetControlText(dialog, kPortComboId, kPathCapacity));
}

}  // namespace quillet
