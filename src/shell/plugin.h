#pragma once
// The plug-in as the host sees it: the record handed out once, and the init,
// config and quit entries. One instance lives in the DLL; tests make their own.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "link/link.h"
#include "link/phone_watch.h"
#include "link/stop_timeouts.h"
#include "platform/platform.h"
#include "player/menu_messages.h"
#include "shell/config_dialog.h"
#include "shell/menu_bundle.h"
#include "shell/plugin_record.h"
#include "shell/settings.h"

namespace quillet {

// Environment variable naming a file that receives the trace.
constexpr char kTraceEnvironmentVariable[] = "QUILLET_TRACE";
constexpr int kThreadPriorityLowest = -2;

struct EntryPoints {
  int (*init)();
  void (*config)();
  void (*quit)();
};

class Plugin {
 public:
  // `library`: the player's media library as the platform reaches it; null
  // for a player without one.
  Plugin(Platform& os, EntryPoints entries, LibraryCalls* library = nullptr);
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  // The export: the record on the first call, null on every later one.
  PluginRecord* HandOutRecord();
  int Init();
  void Config();
  void Quit();

  // The settings' portName as the dialog may be replacing it: a consistent copy. Public
  // for the tests and the soak, which follow the hand-over by it.
  std::string PortName() const;
  // A consistent copy of the settings in effect.
  Settings CurrentSettings() const;
  // Puts `next` into effect at once: a change the set-up uses sets the link
  // up again, the menus take the mode at their next opening; once the file
  // has been read, every setting is written to it. False when the file could
  // not be written (the settings still take effect).
  bool ApplySettings(const Settings& next);

  const PluginRecord& record() const { return record_; }
  // The host's thread only; the monitor thread reads them under the lock.
  const Settings& settings() const { return settings_; }
  const MenuMessageIds& menuMessages() const { return menuMessages_; }
  Link& link() { return link_; }
  ConfigDialog& configDialog() { return configDialog_; }
  // The menus, from init on; null before.
  MenuBundle* menus() { return menus_.get(); }
  Handle monitorThread() const { return monitorThread_; }
  bool running() const { return running_; }
  // quit could not stop the monitor thread and left it what it uses.
  bool abandoned() const { return abandoned_; }

 private:
  Handle HostWindow() const { return reinterpret_cast<Handle>(record_.hostWindow); }
  Handle ModuleInstance() const { return reinterpret_cast<Handle>(record_.moduleInstance); }
  void Abandon();
  // On the monitor thread before each set-up: what the link asks the phone
  // for follows the settings in effect.
  void TakeSetUpSettings();
  // On the host's thread: the player's window is watched from the first
  // time a feature needs it until quit, which puts it back.
  void WatchPlayer(const Settings& settings);
  void UnwatchPlayer();
  // On the monitor thread: the calls the link hears, and what they do.
  void UseCalls(bool pauseOnCall, bool remoteKeys);

  Platform& os_;
  LibraryCalls* library_;
  PluginRecord record_;
  bool handedOut_ = false;
  bool running_ = false;
  bool abandoned_ = false;
  // The file has been read: from then on Apply writes it.
  bool settingsLoaded_ = false;
  // Changed on the host's thread under the dialog lock.
  Settings settings_;
  // PauseOnCall was cleared: the next set-up forgets Quillet's pause.
  std::atomic<bool> forgetCallPause_{false};
  MenuMessageIds menuMessages_;
  // dialogLock_ lives as long as the plug-in: a dialog left open across quit,
  // or a thread quit could not stop, may still take it.
  std::unique_ptr<Lock> dialogLock_;
  NoMenuHandlers noMenus_;
  Link link_;
  // Checks the phone while PauseWhenAway is on; the monitor's clocked work.
  PhoneWatch phoneWatch_{link_};
  ConfigDialog configDialog_;
  // Replaced only while no monitor thread runs; kept after quit, since an
  // abandoned thread may still use it.
  std::unique_ptr<MenuBundle> menus_;
  Handle monitorThread_ = kNoHandle;
  // On the host's thread, from init until the monitor thread has ended.
  Handle workWindow_ = kNoHandle;
  // The player's window is watched. The host's thread only.
  bool playerWatched_ = false;
};

}  // namespace quillet
