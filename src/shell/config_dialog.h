#pragma once
// The configuration dialog: the user picks the port, the plug-in menus and
// the on/off settings, and watches the link's status live. Runs on the
// host's thread, modal over the host's window; the platform runs the window
// and calls the procedure below.

#include <functional>
#include <string>

#include "link/link.h"
#include "platform/platform.h"
#include "shell/config_dialog_ids.h"
#include "shell/settings.h"

namespace quillet {

constexpr int kConfigDialogId = QUILLET_DIALOG_CONFIG;
constexpr int kPortComboId = QUILLET_CONTROL_PORT;
constexpr int kPluginMenusComboId = QUILLET_CONTROL_PLUGIN_MENUS;
constexpr int kStatusControlId = QUILLET_CONTROL_STATUS;
constexpr int kPauseOnCallCheckId = QUILLET_CONTROL_PAUSE_ON_CALL;
constexpr int kRemoteKeysCheckId = QUILLET_CONTROL_REMOTE_KEYS;
constexpr int kCharsetCheckId = QUILLET_CONTROL_CHARSET;
constexpr int kFindTrackCheckId = QUILLET_CONTROL_FIND_TRACK;
constexpr int kFollowTrackCheckId = QUILLET_CONTROL_FOLLOW_TRACK;
constexpr int kPlayModesCheckId = QUILLET_CONTROL_PLAY_MODES;
constexpr int kPauseWhenAwayCheckId = QUILLET_CONTROL_PAUSE_WHEN_AWAY;
constexpr int kLibraryCheckId = QUILLET_CONTROL_LIBRARY;
constexpr int kOkButtonId = QUILLET_CONTROL_OK;
constexpr int kCancelButtonId = QUILLET_CONTROL_CANCEL;  // also the close box and Escape
constexpr int kApplyButtonId = QUILLET_CONTROL_APPLY;

constexpr char kSaveFailedText[] = "Quillet could not save its settings.";
constexpr char kMessageCaption[] = "Quillet";

// The entries of the plug-in menus list, in order, and the PluginMenus
// value each stands for.
struct PluginMenusEntry {
  const char* text;
  std::int32_t value;
};
constexpr PluginMenusEntry kPluginMenusEntries[] = {
    {"Show custom menus directly", 0},
    {"Select which menu to use", 2},
    {"Ignore custom menus", 1},
};
// A value without an entry of its own is shown as this one.
constexpr int kPluginMenusOtherEntry = 2;

class ConfigDialog : public DialogProcedure {
 public:
  // A consistent copy of the settings in effect.
  using Current = std::function<Settings()>;
  // Puts the settings the dialog has into effect (and into the file): false
  // when the file could not be written.
  using Apply = std::function<bool(const Settings&)>;

  ConfigDialog(Platform& os, Link& link, Current current, Apply apply)
      : os_(os), link_(link), current_(std::move(current)), apply_(std::move(apply)) {}

  // Runs the dialog until the user closes it (or Close does).
  void Show(Handle module, Handle owner);
  // Ends an open dialog from the host's thread, as quit does.
  void Close();
  bool open() const { return dialog_ != kNoHandle; }

  void OnInitDialog(Handle dialog) override;
  void OnCommand(Handle dialog, int controlId) override;
  void OnStatusUpdate(Handle dialog) override;
  void OnDestroy(Handle dialog) override;

  // The settings `shown` with the dialog's controls read over them: a
  // value the user left as it was shown keeps its stored form.
  Settings ReadControls(Handle dialog, const Settings& shown);

 private:
  // Apply and OK: the settings into effect, and a word if they were not saved.
  void ApplyControls(Handle dialog);
  void ShowSettings(Handle dialog, const Settings& settings);

  Platform& os_;
  Link& link_;
  Current current_;
  Apply apply_;
  Handle dialog_ = kNoHandle;  // the host's thread only
};

// The list entry that shows `value`.
int PluginMenusEntryIndex(std::int32_t value);

}  // namespace quillet
