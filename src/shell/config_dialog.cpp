#include "shell/config_dialog.h"

#include <iterator>

#include "link/status_line.h"
#include "shell/port_list.h"

namespace quillet {
namespace {

// A check box read over an on/off value: an unchanged tick keeps the value
// as it is (a 2 stays 2); a changed one is stored from now on.
void ReadSwitch(bool ticked, std::int32_t& value, bool& stored) {
  if (ticked == (value != 0)) return;
  value = ticked ? 1 : 0;
  stored = true;
}

}  // namespace

int PluginMenusEntryIndex(std::int32_t value) {
  for (int i = 0; i < static_cast<int>(std::size(kPluginMenusEntries)); ++i)
    if (kPluginMenusEntries[i].value == value) return i;
  return kPluginMenusOtherEntry;
}

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

void ConfigDialog::ShowSettings(Handle dialog, const Settings& settings) {
  bool listed = false;
  for (const std::string& name : ListedPorts(os_.SerialPortNames())) {
    const int index = os_.AddComboString(dialog, kPortComboId, name);
    if (name == settings.portName) {
      os_.SetComboSelection(dialog, kPortComboId, index);
      listed = true;
    }
  }
  // A name typed earlier (COM12, say) stays in the edit field, so OK without
  // edits keeps it rather than storing an empty name.
  if (!listed) os_.SetControlText(dialog, kPortComboId, settings.portName);

  for (const PluginMenusEntry& entry : kPluginMenusEntries)
    os_.AddComboString(dialog, kPluginMenusComboId, entry.text);
  os_.SetComboSelection(dialog, kPluginMenusComboId, PluginMenusEntryIndex(settings.pluginMenus));

  os_.SetChecked(dialog, kPauseOnCallCheckId, settings.pauseOnCall != 0);
  os_.SetChecked(dialog, kRemoteKeysCheckId, settings.remoteKeys != 0);
  os_.SetChecked(dialog, kCharsetCheckId, !settings.charset.empty());
  os_.SetChecked(dialog, kFindTrackCheckId, settings.findTrack != 0);
  os_.SetChecked(dialog, kFollowTrackCheckId, settings.followTrack != 0);
  os_.SetChecked(dialog, kPlayModesCheckId, settings.playModes != 0);
  os_.SetChecked(dialog, kPauseWhenAwayCheckId, settings.pauseWhenAway != 0);
  os_.SetChecked(dialog, kLibraryCheckId, settings.library != 0);
}

Settings ConfigDialog::ReadControls(Handle dialog, const Settings& shown) {
  Settings next = shown;
  next.portName = os_.GetControlText(dialog, kPortComboId, kPathCapacity);

  // An entry the user picked replaces the value; the entry the value was
  // shown as keeps it, whatever number it is.
  const std::string menus = os_.GetControlText(dialog, kPluginMenusComboId, kPathCapacity);
  for (int i = 0; i < static_cast<int>(std::size(kPluginMenusEntries)); ++i) {
    if (menus == kPluginMenusEntries[i].text && i != PluginMenusEntryIndex(shown.pluginMenus))
      next.pluginMenus = kPluginMenusEntries[i].value;
  }

  ReadSwitch(os_.IsChecked(dialog, kPauseOnCallCheckId), next.pauseOnCall, next.pauseOnCallStored);
  ReadSwitch(os_.IsChecked(dialog, kRemoteKeysCheckId), next.remoteKeys, next.remoteKeysStored);
  ReadSwitch(os_.IsChecked(dialog, kFindTrackCheckId), next.findTrack, next.findTrackStored);
  ReadSwitch(os_.IsChecked(dialog, kFollowTrackCheckId), next.followTrack, next.followTrackStored);
  ReadSwitch(os_.IsChecked(dialog, kPlayModesCheckId), next.playModes, next.playModesStored);
  ReadSwitch(os_.IsChecked(dialog, kPauseWhenAwayCheckId), next.pauseWhenAway,
             next.pauseWhenAwayStored);
  ReadSwitch(os_.IsChecked(dialog, kLibraryCheckId), next.library, next.libraryStored);
  // Ticked means "auto"; a set named by hand stays until the box is cleared.
  const bool charsetTicked = os_.IsChecked(dialog, kCharsetCheckId);
  if (charsetTicked != !shown.charset.empty()) {
    next.charset = charsetTicked ? kCharsetAuto : "";
    next.charsetStored = true;
  }
  return next;
}

void ConfigDialog::OnInitDialog(Handle dialog) {
  ShowSettings(dialog, current_());
  dialog_ = dialog;
  // Shown outside the lock; a change after the attach arrives as an update.
  os_.SetControlText(dialog, kStatusControlId, link_.status.AttachDialog(dialog));
}

void ConfigDialog::OnCommand(Handle dialog, int controlId) {
  // A click queued for a dialog that has already ended changes nothing.
  if (dialog != dialog_) return;
  switch (controlId) {
    case kApplyButtonId:
      ApplyControls(dialog);
      return;
    case kOkButtonId:
      ApplyControls(dialog);
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

void ConfigDialog::ApplyControls(Handle dialog) {
  // The settings take effect anyway; the user must know they will not last.
  if (!apply_(ReadControls(dialog, current_())))
    os_.ShowMessage(dialog, kSaveFailedText, kMessageCaption);
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

}  // namespace quillet
