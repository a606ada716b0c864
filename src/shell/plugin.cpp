#include "shell/plugin.h"

#include "link/monitor.h"

namespace quillet {

Plugin::Plugin(Platform& os, EntryPoints entries)
    : os_(os),
      record_{kPluginRecordVersion,
              kPluginDescription,
              entries.init,
              entries.config,
              entries.quit,
              nullptr,
              nullptr},
      dialogLock_(os.CreateLock()),
      link_(os),
      configDialog_(os, link_, settings_.portName) {
  link_.SetDialogLock(dialogLock_.get());
  link_.portName = [this] { return ReadPortName(link_, settings_.portName); };
  link_.handlers = &noMenus_;
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
  LoadSettings(os_, ModuleInstance(), settings_);
  menuMessages_ = RegisterMenuMessages(os_, HostWindow());
  menus_ = std::make_unique<MenuBundle>(link_, HostWindow(), menuMessages_, settings_.pluginMenus,
                                        settings_.remoteKeys != 0);
  link_.handlers = &menus_->protocol;
  link_.phoneEvents = settings_.pauseOnCall != 0 ? &menus_->calls : nullptr;
  link_.keyEvents = settings_.remoteKeys != 0 ? &menus_->keys : nullptr;
  link_.trace.AttachFromEnvironment(kTraceEnvironmentVariable);
  link_.state.stopRequested = false;
  link_.wakeEvent = os_.CreateEvent(nullptr);
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
  SaveSettings(os_, ModuleInstance(), settings_);
  if (!ended) {
    Abandon();
    return;
  }
  CloseLink(os_, link_.state, link_.trace);
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

}  // namespace quillet
