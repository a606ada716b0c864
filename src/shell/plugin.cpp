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
      link_(os) {
  link_.portName = [this] { return PortName(); };
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
  if (running_) return 0;
  LoadSettings(os_, ModuleInstance(), settings_);
  menuMessages_ = RegisterMenuMessages(os_, HostWindow());
  dialogLock_ = os_.CreateLock();
  link_.status.SetLock(dialogLock_.get());
  link_.trace.AttachFromEnvironment(kTraceEnvironmentVariable);
  link_.state.stopRequested = false;
  link_.wakeEvent = os_.CreateEvent(nullptr);
  monitorThread_ = os_.StartThread([this] { MonitorDevice(link_); });
  os_.SetThreadPriority(monitorThread_, kThreadPriorityLowest);
  running_ = true;
  return 0;
}

void Plugin::Config() {
  // The configuration dialog arrives with its own change; until then there is
  // nothing to show.
}

void Plugin::Quit() {
  if (!running_) return;
  link_.state.stopRequested = true;
  // Wake the thread and let it end before anything it uses is released: the
  // host may unload the module as soon as quit returns.
  if (link_.wakeEvent != kNoHandle) os_.SetEvent(link_.wakeEvent);
  if (!os_.WaitThread(monitorThread_, kStopTimeoutMs)) {
    // Stuck in port I/O: closing the port ends it, so give it one more chance.
    ClosePort(os_, link_.state);
    os_.WaitThread(monitorThread_, kStopTimeoutMs);
  }
  os_.CloseHandle(monitorThread_);
  monitorThread_ = kNoHandle;
  CloseLink(os_, link_.state, link_.trace);
  SaveSettings(os_, ModuleInstance(), settings_);
  link_.status.SetLock(nullptr);
  dialogLock_.reset();
  if (link_.wakeEvent != kNoHandle) {
    os_.CloseHandle(link_.wakeEvent);
    link_.wakeEvent = kNoHandle;
  }
  running_ = false;
}

std::string Plugin::PortName() const {
  LockGuard guard(dialogLock_.get());
  return settings_.portName;
}

void Plugin::ApplyPortName(const std::string& name) {
  LockGuard guard(dialogLock_.get());
  std::string previous = settings_.portName;
  settings_.portName = name.substr(0, kPathCapacity - 1);
  if (settings_.portName != previous && running_) RequestReconnect(link_);
}

}  // namespace quillet
