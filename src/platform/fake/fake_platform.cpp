#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/host_messages.h"

namespace quillet::fake {
namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

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
  // A thread still running here would outlive what it works on.
  if (!RunUntilThreadsEnd(kNever)) {
    std::fprintf(stderr, "fake platform: a started thread never ended\n");
    std::abort();
  }
  std::vector<std::shared_ptr<ThreadState>> threads;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (auto& [handle, entry] : handles_)
      if (entry.thread) threads.push_back(entry.thread);
  }
  for (auto& t : threads)
    if (t->thread.joinable()) t->thread.join();
}

void FakePlatform::AdvanceMs(std::uint64_t ms) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  now_ += ms;
  WakeDue();
}

// --- The driven clock ---

void FakePlatform::Park(std::unique_lock<std::recursive_mutex>& lock, Waiter& waiter) {
  waiter.parked = true;
  parked_.push_back(&waiter);
  signalled_.notify_all();  // the driver may be settling
  signalled_.wait(lock, [&] { return !waiter.parked; });
}

bool FakePlatform::WakeDue() {
  bool woke = false;
  for (auto it = parked_.begin(); it != parked_.end();) {
    Waiter* waiter = *it;
    if (waiter->ready() || waiter->due() <= now_) {
      waiter->parked = false;
      it = parked_.erase(it);
      woke = true;
    } else {
      ++it;
    }
  }
  if (woke) signalled_.notify_all();
  return woke;
}

bool FakePlatform::Settle(std::unique_lock<std::recursive_mutex>& lock) {
  // Far beyond anything a thread needs to reach its next wait; a bound only
  // so that a broken test fails instead of hanging.
  constexpr auto kSettleBound = std::chrono::seconds(20);
  return signalled_.wait_for(lock, kSettleBound, [&] { return parked_.size() == liveThreads_; });
}

bool FakePlatform::RunUntil(const std::function<bool()>& done, std::uint64_t forMs) {
  std::unique_lock<std::recursive_mutex> lock(mutex_);
  const std::uint64_t until = forMs > kNever - now_ ? kNever : now_ + forMs;
  for (;;) {
    if (!Settle(lock)) return false;
    if (done) {
      lock.unlock();
      const bool finished = done();
      lock.lock();
      if (finished) return true;
    }
    if (WakeDue()) continue;
    if (now_ >= until) return !done;
    std::uint64_t next = until;
    for (Waiter* waiter : parked_) next = std::min(next, waiter->due());
    now_ = next;
    WakeDue();
  }
}

bool FakePlatform::RunUntilThreadsEnd(std::uint64_t forMs) {
  return RunUntil(
      [this] {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        return liveThreads_ == 0;
      },
      forMs);
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

std::vector<Handle> FakePlatform::OpenHandles() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<Handle> open;
  for (const auto& [handle, entry] : handles_)
    if (entry.open) open.push_back(handle);
  return open;
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
    WakeDue();
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
    WakeDue();
  }
}

std::uint64_t FakePlatform::NextCompletion(const Handle* events, int count, Overlapped** which) {
  std::uint64_t nextAt = kNever;
  for (auto& [ov, op] : pending_) {
    if (op.done) continue;
    for (int i = 0; i < count; ++i) {
      if (ov->event != events[i]) continue;
      const std::uint64_t at = CompletionTime(op);
      if (at < nextAt) {
        nextAt = at;
        if (which) *which = ov;
      }
    }
  }
  return nextAt;
}

int FakePlatform::WaitForEvents(const Handle* events, int count, std::uint32_t timeoutMs) {
  std::unique_lock<std::recursive_mutex> lock(mutex_);
  if (!OnDriver()) return WaitForEventsParked(lock, events, count, timeoutMs);
  const std::uint64_t deadline = now_ + timeoutMs;
  for (;;) {
    for (int i = 0; i < count; ++i) {
      HandleEntry* entry = Live(events[i], Kind::Event);
      if (!entry) return kWaitFailed;
      if (entry->signaled) return i;
    }
    Overlapped* next = nullptr;
    const std::uint64_t nextAt = NextCompletion(events, count, &next);
    if (next && nextAt <= deadline) {
      if (nextAt > now_) now_ = nextAt;
      Complete(next, pending_[next]);
      WakeDue();
      continue;
    }
    if (deadline > now_) now_ = deadline;
    WakeDue();
    return kWaitTimedOut;
  }
}

int FakePlatform::WaitForEventsParked(std::unique_lock<std::recursive_mutex>& lock,
                                      const Handle* events, int count, std::uint32_t timeoutMs) {
  const std::uint64_t deadline = now_ + timeoutMs;
  std::vector<std::uint64_t> pulses(count);
  for (int i = 0; i < count; ++i) {
    HandleEntry* entry = Live(events[i], Kind::Event);
    if (!entry) return kWaitFailed;
    pulses[i] = entry->pulses;
  }
  auto signalled = [&]() -> int {
    for (int i = 0; i < count; ++i) {
      HandleEntry* entry = Live(events[i], Kind::Event);
      if (!entry) return kWaitFailed;
      if (entry->signaled || entry->pulses != pulses[i]) return i;
    }
    return kWaitTimedOut;
  };
  for (;;) {
    int woke = signalled();
    if (woke != kWaitTimedOut) return woke;
    Overlapped* next = nullptr;
    if (NextCompletion(events, count, &next) <= now_) {
      Complete(next, pending_[next]);
      continue;
    }
    if (now_ >= deadline) return kWaitTimedOut;
    Waiter waiter{[&] { return signalled() != kWaitTimedOut; },
                  [&] { return std::min(deadline, NextCompletion(events, count, nullptr)); }};
    Park(lock, waiter);
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
      if (op.type != OpType::CommWait && entry.port->device->ioOutlivesClose) continue;
      if (op.type == OpType::CommWait) *op.mask = 0;
      FinishOp(ov, op, IoResult{IoResult::State::Failed, 0, kErrorOperationAborted});
    }
    entry.port->device->open_ = false;
  }
  entry.open = false;
  closedHandles.push_back(handle);
  WakeDue();
}

// --- Threads, locks, clock ---

Handle FakePlatform::StartThread(std::function<void()> body) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Handle handle = NewHandle(Kind::Thread);
  auto state = std::make_shared<ThreadState>();
  handles_[handle].thread = state;
  ++liveThreads_;
  state->thread = std::thread([this, state, body = std::move(body)]() {
    try {
      body();
    } catch (...) {
    }
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    state->done = true;
    --liveThreads_;
    signalled_.notify_all();
  });
  return handle;
}

void FakePlatform::SetThreadPriority(Handle thread, int priority) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  threadPriorities[thread] = priority;
}

bool FakePlatform::WaitThread(Handle thread, std::uint32_t timeoutMs) {
  std::shared_ptr<ThreadState> state;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    HandleEntry* entry = Live(thread, Kind::Thread);
    if (!entry || !entry->thread) return false;
    state = entry->thread;
  }
  // The wait is in virtual time: the thread runs until it ends or the
  // time-out has passed on the clock.
  const bool ended = RunUntil(
      [&] {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        return state->done;
      },
      timeoutMs);
  if (ended && state->thread.joinable()) state->thread.join();
  return ended;
}

std::unique_ptr<Lock> FakePlatform::CreateLock() {
  return std::make_unique<FakeLock>();
}

void FakePlatform::Sleep(std::uint32_t ms) {
  std::unique_lock<std::recursive_mutex> lock(mutex_);
  const std::uint64_t wakeAt = now_ + ms;
  if (OnDriver()) {
    now_ = wakeAt;
    WakeDue();
    return;
  }
  while (now_ < wakeAt) {
    Waiter waiter{[] { return false; }, [wakeAt] { return wakeAt; }};
    Park(lock, waiter);
  }
}

// --- Host window ---

bool FakePlatform::WatchWindow(Handle window, WindowWatcher* watcher) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (watcher == nullptr || window == kNoHandle || watches_.count(window) != 0) return false;
  watches_[window].watcher = watcher;
  return true;
}

bool FakePlatform::UnwatchWindow(Handle window) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = watches_.find(window);
  if (it == watches_.end()) return true;
  if (it->second.takenOver) {
    it->second.watcher = nullptr;
    return false;
  }
  watches_.erase(it);
  return true;
}

void FakePlatform::TakeOverWindow(Handle window) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = watches_.find(window);
  if (it != watches_.end()) it->second.takenOver = true;
}

std::size_t FakePlatform::WatchedWindows() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return watches_.size();
}

std::size_t FakePlatform::ForwardingOnly() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::size_t count = 0;
  for (const auto& [window, watch] : watches_) count += watch.watcher == nullptr ? 1 : 0;
  return count;
}

void FakePlatform::TellWatcher(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) {
  WindowWatcher* watcher = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = watches_.find(window);
    if (it != watches_.end()) watcher = it->second.watcher;
  }
  if (watcher != nullptr) watcher->Seen(msg, wParam, lParam);
}

std::intptr_t FakePlatform::PlayerMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  WindowWatcher* watcher = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = watches_.find(window);
    if (it != watches_.end()) watcher = it->second.watcher;
  }
  std::intptr_t answer = 0;
  if (watcher != nullptr && watcher->Answer(msg, wParam, lParam, &answer)) return answer;
  const std::intptr_t result = hostHandler_ ? hostHandler_(msg, wParam, lParam) : 0;
  TellWatcher(window, msg, wParam, lParam);
  return result;
}

std::intptr_t FakePlatform::SendHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
  HostCall call{false, std::this_thread::get_id() == mainThread_, msg, wParam, lParam, {}, 0};
  const bool registration = msg == host::kWmUser && lParam == host::kRegisterName;
  if (registration && wParam) call.name = reinterpret_cast<const char*>(wParam);
  if (hostHandler_) {
    call.result = hostHandler_(msg, wParam, lParam);
  } else if (registration) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto [it, added] = registered_.emplace(call.name, 0xC000 + std::intptr_t(registered_.size()));
    call.result = it->second;
  }
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    call.atMs = now_;
    hostCalls_.push_back(call);
  }
  // The plug-in's own messages pass through the window's subclass too.
  TellWatcher(window, msg, wParam, lParam);
  return call.result;
}

bool FakePlatform::PostHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                   std::intptr_t lParam) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    hostCalls_.push_back(
        {true, std::this_thread::get_id() == mainThread_, msg, wParam, lParam, {}, 0, now_});
  }
  TellWatcher(window, msg, wParam, lParam);
  return true;
}

void FakePlatform::SetControlText(Handle, int controlId, const std::string& text) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  controlTexts.emplace_back(controlId, text);
  dialog.texts[controlId] = text;
}

// --- Memory ---

void FakePlatform::DeclareReadable(std::uintptr_t address, std::size_t size) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  readable_[address] = address + size;
}

std::size_t FakePlatform::ReadableBytes(std::uintptr_t address, std::size_t most) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (readable_.empty()) return most;
  std::uintptr_t end = address;
  while (end - address < most) {
    auto range = readable_.upper_bound(end);  // the first one starting past `end`
    if (range == readable_.begin()) break;
    --range;
    if (range->second <= end) break;
    end = range->second;
  }
  return end - address < most ? end - address : most;
}

// --- Dialogs ---

void FakePlatform::RunDialog(Handle, int templateId, Handle owner, DialogProcedure& procedure) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    dialog = FakeDialog();
    dialog.handle = 0xD1A1;
    dialog.templateId = templateId;
    dialog.owner = owner;
  }
  procedure.OnInitDialog(dialog.handle);
  if (dialogScript) dialogScript(procedure, dialog.handle);
  // However the script left it, the window goes now, as the OS's does
  // before its dialog call returns.
  procedure.OnDestroy(dialog.handle);
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  dialog.destroyed = true;
}

void FakePlatform::EndDialog(Handle) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  dialog.ended = true;
}

int FakePlatform::AddComboString(Handle, int controlId, const std::string& text) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto& items = dialog.comboItems[controlId];
  items.push_back(text);
  return static_cast<int>(items.size()) - 1;
}

void FakePlatform::SetComboSelection(Handle, int controlId, int index) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  dialog.comboSelection[controlId] = index;
  // A drop-down combo box shows its selected entry in its edit field.
  const auto& items = dialog.comboItems[controlId];
  if (index >= 0 && index < static_cast<int>(items.size()))
    dialog.texts[controlId] = items[static_cast<std::size_t>(index)];
}

std::string FakePlatform::GetControlText(Handle, int controlId, std::size_t capacity) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (capacity == 0) return {};
  return dialog.texts[controlId].substr(0, capacity - 1);
}

bool FakePlatform::IsChecked(Handle, int controlId) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return dialog.checks[controlId];
}

void FakePlatform::SetChecked(Handle, int controlId, bool checked) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  dialog.checks[controlId] = checked;
}

std::vector<std::string> FakePlatform::SerialPortNames() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return serialPorts;
}

void FakePlatform::ShowMessage(Handle, const std::string& text, const std::string&) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  messages.push_back(text);
}

void FakePlatform::PostStatusUpdate(Handle) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (dialog.destroyed) {
    ++dialog.postsAfterDestroy;
    return;
  }
  ++dialog.postedUpdates;
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
  if (profilesReadOnly) return false;
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

void FakePlatform::PinModule() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  modulePinned = true;
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

// --- Text ---

namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 where the code page defines none.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

namespace {

void AppendUtf16(char32_t c, std::u16string& text) {
  if (c < 0x10000) {
    text += static_cast<char16_t>(c);
    return;
  }
  c -= 0x10000;
  text += static_cast<char16_t>(0xD800 + (c >> 10));
  text += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

// The UTF-8 code page as Windows reads it, U+FFFD for each byte that begins
// no well-formed sequence.
std::u16string FromUtf8CodePage(std::string_view ansi) {
  std::u16string text;
  for (std::size_t at = 0; at < ansi.size();) {
    const auto lead = static_cast<unsigned char>(ansi[at]);
    const int length = lead < 0x80                   ? 1
                       : lead >= 0xC2 && lead < 0xE0 ? 2
                       : lead >= 0xE0 && lead < 0xF0 ? 3
                       : lead >= 0xF0 && lead < 0xF5 ? 4
                                                     : 0;
    char32_t c = length == 1   ? lead
                 : length == 2 ? lead & 0x1F
                 : length == 3 ? lead & 0x0F
                               : lead & 0x07;
    bool good = length > 0 && at + length <= ansi.size();
    for (int i = 1; good && i < length; ++i) {
      const auto next = static_cast<unsigned char>(ansi[at + i]);
      good = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    good = good && c >= kLeast[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    AppendUtf16(good ? c : 0xFFFD, text);
    at += good ? length : 1;
  }
  return text;
}

// Every character the UTF-8 code page can hold, which is all of them.
std::string ToUtf8CodePage(std::u16string_view text) {
  std::string ansi;
  for (std::size_t at = 0; at < text.size(); ++at) {
    char32_t c = text[at];
    if (c >= 0xD800 && c <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
        text[at + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++at] - 0xDC00);
    else if (c >= 0xD800 && c <= 0xDFFF)
      c = 0xFFFD;  // a lone surrogate, as Windows converts it
    if (c < 0x80) {
      ansi += static_cast<char>(c);
    } else if (c < 0x800) {
      ansi += static_cast<char>(0xC0 | (c >> 6));
      ansi += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      ansi += static_cast<char>(0xE0 | (c >> 12));
      ansi += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      ansi += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      ansi += static_cast<char>(0xF0 | (c >> 18));
      ansi += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      ansi += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      ansi += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return ansi;
}

}  // namespace

std::u16string FakePlatform::AnsiToUnicode(std::string_view ansi) {
  if (utf8CodePage) return FromUtf8CodePage(ansi);
  std::u16string text;
  text.reserve(ansi.size());
  for (char c : ansi) {
    const auto byte = static_cast<unsigned char>(c);
    // The undefined bytes map to the control characters of the same number,
    // as Windows does.
    const char16_t high = byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : 0;
    text += high != 0 ? high : static_cast<char16_t>(byte);
  }
  return text;
}

std::string FakePlatform::UnicodeToAnsi(std::u16string_view text) {
  if (utf8CodePage) return ToUtf8CodePage(text);
  std::string ansi;
  ansi.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char16_t unit = text[at];
    // A surrogate pair is one character the code page lacks.
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
        text[at + 1] <= 0xDFFF)
      ++at;
    char byte = '?';
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
      byte = static_cast<char>(unit);
    } else {
      for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == unit) byte = static_cast<char>(0x80 + i);
    }
    ansi += byte;
  }
  return ansi;
}

}  // namespace quillet::fake
