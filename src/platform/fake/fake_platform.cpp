#include "platform/fake/fake_platform.h"

#include <chrono>
#include <cstring>
#include <limits>

namespace quillet::fake {
namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t kWmUser = 1024;
constexpr std::intptr_t kRegisterName = 65536;

class FakeLock : public Lock {
 public:
  void Enter() override { mutex_.lock(); }
  void Leave() override { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;  // a critical section may be re-entered by its owner
};

}  // namespace

FakePlatform::FakePlatform() : mainThread_(std::this_thread::get_id()) {}

FakePlatform::~FakePlatform() {
  std::vector<std::shared_ptr<ThreadState>> threads;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (auto& [handle, entry] : handles_)
      if (entry.thread) threads.push_back(entry.thread);
  }
  for (auto& t : threads)
    if (t->thread.joinable()) t->thread.join();
}

FakeSerialDevice& FakePlatform::AddDevice(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto& slot = devices_[name];
  if (!slot) slot = std::make_unique<FakeSerialDevice>(name, mutex_);
  return *slot;
}

FakeSerialDevice* FakePlatform::FindDevice(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = devices_.find(name);
  return it == devices_.end() ? nullptr : it->second.get();
}

std::vector<HostCall> FakePlatform::HostCalls() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return hostCalls_;
}

Handle FakePlatform::NewHandle(Kind kind) {
  Handle handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle].kind = kind;
  return handle;
}

FakePlatform::HandleEntry* FakePlatform::Live(Handle handle, Kind kind) {
  auto it = handles_.find(handle);
  if (it == handles_.end() || !it->second.open || it->second.kind != kind) return nullptr;
  return &it->second;
}

bool FakePlatform::IsOpen(Handle handle) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = handles_.find(handle);
  return it != handles_.end() && it->second.open;
}

std::string FakePlatform::HandleKind(Handle handle) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return "unknown";
  switch (it->second.kind) {
    case Kind::Port:
      return "port";
    case Kind::Event:
      return "event";
    case Kind::Thread:
      return "thread";
    case Kind::File:
      return "file";
  }
  return "unknown";
}

std::string FakePlatform::EventName(Handle event) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = handles_.find(event);
  return it == handles_.end() ? std::string() : it->second.name;
}

std::string FakePlatform::LineSettings(Handle port) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = handles_.find(port);
  return it == handles_.end() || !it->second.port ? std::string() : it->second.port->definition;
}

PortTimeouts FakePlatform::Timeouts(Handle port) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = handles_.find(port);
  return it == handles_.end() || !it->second.port ? PortTimeouts{} : it->second.port->timeouts;
}

std::uint32_t FakePlatform::CommMask(Handle port) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = handles_.find(port);
  return it == handles_.end() || !it->second.port ? 0 : it->second.port->mask;
}

int FakePlatform::OpenPortCount() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  int count = 0;
  for (const auto& [handle, entry] : handles_)
    if (entry.open && entry.kind == Kind::Port) ++count;
  return count;
}

// --- Events ---

Handle FakePlatform::CreateEvent(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Handle handle = NewHandle(Kind::Event);
  handles_[handle].name = name ? name : "";
  return handle;
}

void FakePlatform::SetEvent(Handle event) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (HandleEntry* entry = Live(event, Kind::Event)) {
    entry->signaled = true;
    signalled_.notify_all();
  }
}

void FakePlatform::ResetEvent(Handle event) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (HandleEntry* entry = Live(event, Kind::Event)) entry->signaled = false;
}

void FakePlatform::PulseEvent(Handle event) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (HandleEntry* entry = Live(event, Kind::Event)) {
    // Releases only a thread waiting right now; the event ends up reset.
    ++entry->pulses;
    entry->signaled = false;
    signalled_.notify_all();
  }
}

int FakePlatform::WaitForEvents(const Handle* events, int count, std::uint32_t timeoutMs) {
  std::unique_lock<std::recursive_mutex> lock(mutex_);
  const std::uint64_t deadline = now_ + timeoutMs;
  for (;;) {
    for (int i = 0; i < count; ++i) {
      HandleEntry* entry = Live(events[i], Kind::Event);
      if (!entry) return kWaitFailed;
      if (entry->signaled) return i;
    }
    // The earliest pending operation that will signal one of these events.
    Overlapped* next = nullptr;
    std::uint64_t nextAt = kNever;
    for (auto& [ov, op] : pending_) {
      if (op.done) continue;
      for (int i = 0; i < count; ++i) {
        if (ov->event != events[i]) continue;
        std::uint64_t at = CompletionTime(op);
        if (at < nextAt) {
          nextAt = at;
          next = ov;
        }
      }
    }
    if (next && nextAt <= deadline) {
      if (nextAt > now_) now_ = nextAt;
      Complete(next, pending_[next]);
      continue;
    }
    if (realWaitSliceMs > 0) {
      std::vector<std::uint64_t> pulses(count);
      for (int i = 0; i < count; ++i) pulses[i] = Live(events[i], Kind::Event)->pulses;
      signalled_.wait_for(lock, std::chrono::milliseconds(realWaitSliceMs));
      for (int i = 0; i < count; ++i) {
        HandleEntry* entry = Live(events[i], Kind::Event);
        if (!entry) return kWaitFailed;
        if (entry->signaled || entry->pulses != pulses[i]) return i;
      }
    }
    if (deadline > now_) now_ = deadline;
    return kWaitTimedOut;
  }
}

void FakePlatform::CloseHandle(Handle handle) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end() || !it->second.open) {
    ++badCloses;
    return;
  }
  HandleEntry& entry = it->second;
  if (entry.kind == Kind::Port) {
    for (auto& [ov, op] : pending_) {
      if (op.done || op.port != handle) continue;
      if (op.type == OpType::CommWait) *op.mask = 0;
      FinishOp(ov, op, IoResult{IoResult::State::Failed, 0, kErrorOperationAborted});
    }
    entry.port->device->open_ = false;
  }
  entry.open = false;
  closedHandles.push_back(handle);
}

// --- Threads, locks, clock ---

Handle FakePlatform::StartThread(std::function<void()> body) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Handle handle = NewHandle(Kind::Thread);
  auto state = std::make_shared<ThreadState>();
  handles_[handle].thread = state;
  state->thread = std::thread([this, state, body = std::move(body)]() {
    try {
      body();
    } catch (...) {
    }
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    state->done = true;
    signalled_.notify_all();
  });
  return handle;
}

void FakePlatform::SetThreadPriority(Handle thread, int priority) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  threadPriorities[thread] = priority;
}

bool FakePlatform::WaitThread(Handle thread, std::uint32_t timeoutMs) {
  std::unique_lock<std::recursive_mutex> lock(mutex_);
  auto it = handles_.find(thread);
  if (it == handles_.end() || !it->second.thread) return false;
  std::shared_ptr<ThreadState> state = it->second.thread;
  // The other thread runs in virtual time and ends quickly; the real bound
  // only keeps a broken test from hanging.
  signalled_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return state->done; });
  if (!state->done) return false;
  lock.unlock();
  if (state->thread.joinable()) state->thread.join();
  return true;
}

std::unique_ptr<Lock> FakePlatform::CreateLock() {
  return std::make_unique<FakeLock>();
}

void FakePlatform::Sleep(std::uint32_t ms) {
  now_ += ms;
}

// --- Host window ---

std::intptr_t FakePlatform::SendHostMessage(Handle, std::uint32_t msg, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
  HostCall call{false, std::this_thread::get_id() == mainThread_, msg, wParam, lParam, {}, 0};
  const bool registration = msg == kWmUser && lParam == kRegisterName;
  if (registration && wParam) call.name = reinterpret_cast<const char*>(wParam);
  if (hostHandler_) {
    call.result = hostHandler_(msg, wParam, lParam);
  } else if (registration) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto [it, added] = registered_.emplace(call.name, 0xC000 + std::intptr_t(registered_.size()));
    call.result = it->second;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  hostCalls_.push_back(call);
  return call.result;
}

bool FakePlatform::PostHostMessage(Handle, std::uint32_t msg, std::uintptr_t wParam,
                                   std::intptr_t lParam) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  hostCalls_.push_back(
      {true, std::this_thread::get_id() == mainThread_, msg, wParam, lParam, {}, 0});
  return true;
}

void FakePlatform::SetControlText(Handle, int controlId, const std::string& text) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  controlTexts.emplace_back(controlId, text);
}

// --- Files, profile, environment ---

std::string FakePlatform::GetProfileString(const std::string& section, const std::string& key,
                                           const std::string& fallback, const std::string& path,
                                           std::size_t capacity) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::string value = fallback;
  auto file = profiles.find(path);
  if (file != profiles.end()) {
    auto sect = file->second.find(section);
    if (sect != file->second.end()) {
      auto entry = sect->second.find(key);
      if (entry != sect->second.end()) value = entry->second;
    }
  }
  if (capacity == 0) return {};
  if (value.size() > capacity - 1) value.resize(capacity - 1);
  return value;
}

bool FakePlatform::WriteProfileString(const std::string& section, const std::string& key,
                                      const std::string& value, const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  profiles[path][section][key] = value;
  return true;
}

std::string FakePlatform::GetModuleFileName(Handle, std::size_t capacity) {
  std::string name = moduleFileName;
  if (capacity == 0) return {};
  if (name.size() > capacity - 1) name.resize(capacity - 1);
  return name;
}

std::string FakePlatform::GetEnvironmentVariable(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = environment.find(name);
  return it == environment.end() ? std::string() : it->second;
}

Handle FakePlatform::OpenAppendFile(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (path.empty()) return kNoHandle;
  Handle handle = NewHandle(Kind::File);
  handles_[handle].name = path;
  files[path];  // created if missing, kept if present
  return handle;
}

bool FakePlatform::WriteFileSync(Handle file, const char* data, std::size_t size) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  HandleEntry* entry = Live(file, Kind::File);
  if (!entry) return false;
  files[entry->name].append(data, size);
  return true;
}

}  // namespace quillet::fake
