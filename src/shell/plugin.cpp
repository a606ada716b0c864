#include "shell/plugin.h"

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
      trace_(os),
      status_(os) {}

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
  status_.SetLock(dialogLock_.get());
  trace_.AttachFromEnvironment(kTraceEnvironmentVariable);
  link_.stopRequested = false;
  wakeEvent_ = os_.CreateEvent(nullptr);
  monitorThread_ = os_.StartThread([this] { MonitorThread(); });
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
  link_.stopRequested = true;
  // Wake the thread and let it end before anything it uses is released: the
  // host may unload the module as soon as quit returns.
  if (wakeEvent_ != kNoHandle) os_.SetEvent(wakeEvent_);
  if (!os_.WaitThread(monitorThread_, kStopTimeoutMs)) {
    // Stuck in port I/O: closing the port ends it, so give it one more chance.
    ClosePort(os_, link_);
    os_.WaitThread(monitorThread_, kStopTimeoutMs);
  }
  os_.CloseHandle(monitorThread_);
  monitorThread_ = kNoHandle;
  CloseLink(os_, link_, trace_);
  SaveSettings(os_, ModuleInstance(), settings_);
  status_.SetLock(nullptr);
  dialogLock_.reset();
  if (wakeEvent_ != kNoHandle) {
    os_.CloseHandle(wakeEvent_);
    wakeEvent_ = kNoHandle;
  }
  running_ = false;
}

std::string Plugin::PortName() const {
  LockGuard guard(dialogLock_.get());
  return settings_.portName;
}

void Plugin::SetPortName(const std::string& name) {
  LockGuard guard(dialogLock_.get());
  settings_.portName = name.substr(0, kPathCapacity - 1);
}

void Plugin::MonitorThread() {
  // Until the phone link exists the thread only waits to be stopped, through
  // the same wake-up that quit uses.
  while (!link_.stopRequested) os_.WaitForEvents(&wakeEvent_, 1, 10000);
}

}  // namespace quillet
