#include "shell/plugin.h"

#include "link/monitor.h"

namespace quillet {
namespace {

// The features that need to hear what the player's window is told.
bool WantsPlayerWatch(const Settings& settings) {
  return settings.followTrack != 0 || settings.library != 0;
}

}  // namespace

Plugin::Plugin(Platform& os, EntryPoints entries, LibraryCalls* library)
    : os_(os),
      library_(library),
      record_{kPluginRecordVersion,
              kPluginDescription,
              entries.init,
              entries.config,
              entries.quit,
              nullptr,
              nullptr},
      dialogLock_(os.CreateLock()),
      link_(os),
      configDialog_(
          os, link_, [this] { return CurrentSettings(); },
          [this](const Settings& next) { return ApplySettings(next); }) {
  link_.SetDialogLock(dialogLock_.get());
  link_.portName = [this] { return ReadPortName(link_, settings_.portName); };
  link_.beforeSetUp = [this] { TakeSetUpSettings(); };
  // A Charset left out follows the phone's command set, known only now.
  link_.afterSetUp = [this] {
    if (menus_) menus_->UseTexts(link_);
  };
  link_.handlers = &noMenus_;
  link_.clocked.push_back(&phoneWatch_);
}

Plugin::~Plugin() {
  if (running_) Quit();
}

PluginRecord* Plugin::HandOutRecord() {
  if (handedOut_) return nullptr;
  handedOut_ = true;
  return &record_;
}

int Plugin::Init() {
  if (running_ || abandoned_) return 0;
  {
    LockGuard guard(link_.dialogLock);
    LoadSettings(os_, ModuleInstance(), settings_);
  }
  settingsLoaded_ = true;
  link_.charsetWish = ParseCharsetWish(settings_.charset, settings_.charsetStored);
  menuMessages_ = RegisterMenuMessages(os_, HostWindow());
  menus_ = std::make_unique<MenuBundle>(link_, HostWindow(), menuMessages_, settings_.pluginMenus,
                                        settings_.remoteKeys != 0, library_);
  link_.handlers = &menus_->protocol;
  menus_->player.Want(MainEntry::kFindTrack, settings_.findTrack != 0);
  menus_->player.WantPlayModes(settings_.playModes != 0);
  menus_->player.Want(MainEntry::kLibrary, settings_.library != 0);
  // Title requests made on the player's own thread are plain calls there,
  // far cheaper than sent to it from the monitor thread: the search reads
  // titles through a window of ours on this thread, a slice at a time.
  workWindow_ = os_.CreateWorkWindow();
  if (workWindow_ != kNoHandle) {
    menus_->finder.RunSlicesWith(
        [this](const std::function<void()>& slice) { os_.RunOnWindowThread(workWindow_, slice); });
    // The library's requests and the playlist's inserts are the player's
    // own messages: sent from another thread they could deadlock on it.
    menus_->library.RunCallsWith(
        [this](const std::function<void()>& work) { os_.RunOnWindowThread(workWindow_, work); });
  }
  UseCalls(settings_.pauseOnCall != 0, settings_.remoteKeys != 0);
  link_.trace.AttachFromEnvironment(kTraceEnvironmentVariable);
  link_.state.stopRequested = false;
  link_.wakeEvent = os_.CreateEvent(nullptr);
  menus_->follower.Enable(settings_.followTrack != 0);
  WatchPlayer(settings_);
  monitorThread_ = os_.StartThread([this] { MonitorDevice(link_); });
  os_.SetThreadPriority(monitorThread_, kThreadPriorityLowest);
  running_ = true;
  return 0;
}

void Plugin::Config() {
  configDialog_.Show(ModuleInstance(), HostWindow());
}

void Plugin::Quit() {
  // The host may quit while the dialog is open (from inside its loop): end it
  // first, so it neither outlives the plug-in nor touches the stopped link.
  configDialog_.Close();
  if (!running_) return;
  running_ = false;
  link_.state.stopRequested = true;
  // Wake the thread and let it end before anything it uses is released: the
  // host may unload the module as soon as quit returns.
  if (link_.wakeEvent != kNoHandle) os_.SetEvent(link_.wakeEvent);
  bool ended = os_.WaitThread(monitorThread_, kStopTimeoutMs);
  if (!ended) {
    // Stuck in port I/O: closing the port ends what is pending on it. Only
    // the port: taking it out of the link first makes this its one closer,
    // and the thread still closes its own events.
    Handle port = link_.state.port.exchange(kNoHandle);
    if (port != kNoHandle) os_.CloseHandle(port);
    ended = os_.WaitThread(monitorThread_, kStopTimeoutMs);
  }
  os_.CloseHandle(monitorThread_);
  monitorThread_ = kNoHandle;
  UnwatchPlayer();
  SaveSettings(os_, ModuleInstance(), settings_);
  if (!ended) {
    Abandon();
    return;
  }
  CloseLink(os_, link_.state, link_.trace);
  os_.DestroyWorkWindow(workWindow_);
  workWindow_ = kNoHandle;
  if (link_.wakeEvent != kNoHandle) {
    os_.CloseHandle(link_.wakeEvent);
    link_.wakeEvent = kNoHandle;
  }
}

void Plugin::Abandon() {
  // The thread still runs and may yet touch the lock, its events, the trace
  // and the module's code: keep all of them. The plug-in object itself lives
  // as long as the process, so what it owns stays with it.
  abandoned_ = true;
  os_.PinModule();
}

std::string Plugin::PortName() const {
  return ReadPortName(link_, settings_.portName);
}

Settings Plugin::CurrentSettings() const {
  LockGuard guard(link_.dialogLock);
  return settings_;
}

bool Plugin::ApplySettings(const Settings& next) {
  ApplyEffect effect = ApplyEffect::kNextOpening;
  {
    LockGuard guard(link_.dialogLock);
    effect = EffectOfChange(settings_, next);
    // Cleared during a call: the pause from before is the user's for good,
    // however soon the box is ticked again.
    if (settings_.pauseOnCall != 0 && next.pauseOnCall == 0) forgetCallPause_ = true;
    settings_ = next;
  }
  if (menus_) {
    menus_->router.SetPluginMenus(next.pluginMenus);
    menus_->player.Want(MainEntry::kFindTrack, next.findTrack != 0);
    menus_->player.WantPlayModes(next.playModes != 0);
    menus_->player.Want(MainEntry::kLibrary, next.library != 0);
    menus_->follower.Enable(next.followTrack != 0);
  }
  if (running_) WatchPlayer(next);
  // Outside the lock: waking the thread must never wait on anything it holds.
  switch (effect) {
    case ApplyEffect::kReconnect:
      RequestPortChange(link_);
      break;
    case ApplyEffect::kSetUpAgain:
      RequestSetUpAgain(link_);
      break;
    case ApplyEffect::kNextOpening:
      break;
  }
  // A crash or a kill later loses nothing; before init the file's own
  // values are not known yet, and would be overwritten.
  if (!settingsLoaded_ || SaveSettings(os_, ModuleInstance(), next)) return true;
  link_.trace.WriteTrace("could not write " + BuildSettingsPath(os_, ModuleInstance()), kTraceInfo);
  return false;
}

void Plugin::WatchPlayer(const Settings& settings) {
  if (playerWatched_ || !menus_ || !WantsPlayerWatch(settings)) return;
  playerWatched_ = os_.WatchWindow(HostWindow(), &menus_->watch);
  if (!playerWatched_) link_.trace.WriteTrace("could not watch the player's window", kTraceInfo);
}

void Plugin::UnwatchPlayer() {
  if (!playerWatched_) return;
  playerWatched_ = false;
  // Another procedure went in front of ours: ours stays, passing messages
  // on, so its code must stay loaded.
  if (!os_.UnwatchWindow(HostWindow())) os_.PinModule();
}

void Plugin::UseCalls(bool pauseOnCall, bool remoteKeys) {
  if (!menus_) return;
  if (forgetCallPause_.exchange(false)) menus_->calls.CallsForgotten();
  menus_->calls.SetPausing(pauseOnCall);
  // A call must close the key screen even when it pauses nothing.
  link_.callEvents = pauseOnCall || remoteKeys ? &menus_->calls : nullptr;
}

void Plugin::TakeSetUpSettings() {
  bool calls = false;
  bool keys = false;
  bool away = false;
  std::string charset;
  bool charsetStored = false;
  {
    LockGuard guard(link_.dialogLock);
    calls = settings_.pauseOnCall != 0;
    keys = settings_.remoteKeys != 0;
    away = settings_.pauseWhenAway != 0;
    charset = settings_.charset;
    charsetStored = settings_.charsetStored;
  }
  UseCalls(calls, keys);
  if (menus_) UseAwayEvents(link_, away ? &menus_->away : nullptr);
  // On the monitor thread, before anything is sent: the menus switch their
  // texts between connections, never under a page.
  link_.charsetWish = ParseCharsetWish(charset, charsetStored);
  if (menus_) {
    menus_->UseTexts(link_);
    menus_->UseRemoteKeys(link_, keys);
  }
}

}  // namespace quillet
