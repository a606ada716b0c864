#pragma once
// In-memory platform for tests: serial devices fed by a scripted peer, a
// recording host window, an in-memory profile file and a virtual clock through
// which every sleep, timed wait and port time-out passes. Tests never sleep.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/fake/fake_serial_device.h"
#include "platform/platform.h"

namespace quillet::fake {

struct HostCall {
  bool posted;
  bool fromMainThread;  // the thread that created the platform
  std::uint32_t msg;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  std::string name;  // the registered name, for registrations
  std::intptr_t result;
};

class FakePlatform : public Platform {
 public:
  using HostHandler =
      std::function<std::intptr_t(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)>;

  FakePlatform();
  ~FakePlatform() override;

  // --- Test controls ---
  FakeSerialDevice& AddDevice(const std::string& name);
  FakeSerialDevice* FindDevice(const std::string& name);
  void SetHostHandler(HostHandler handler) { hostHandler_ = std::move(handler); }
  void AdvanceMs(std::uint64_t ms) { now_ += ms; }
  // Emulate Wine's serial quirks instead of Windows' (see fake_serial.cpp).
  bool wineQuirks = false;
  std::string moduleFileName = "C:\\Program Files\\Winamp\\Plugins\\gen_quillet.dll";
  std::map<std::string, std::string> environment;

  // --- What the logic did ---
  std::vector<HostCall> HostCalls() const;
  std::vector<Handle> closedHandles;
  int badCloses = 0;         // closes of unknown or already-closed handles
  int overlappedMisuse = 0;  // an operation started on a record that was still pending
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> profiles;
  std::map<std::string, std::string> files;
  std::map<Handle, int> threadPriorities;
  std::vector<std::pair<int, std::string>> controlTexts;  // (control id, text) in order
  bool IsOpen(Handle handle) const;
  std::string HandleKind(Handle handle) const;
  std::string EventName(Handle event) const;
  std::string LineSettings(Handle port) const;
  PortTimeouts Timeouts(Handle port) const;
  std::uint32_t CommMask(Handle port) const;
  // Real milliseconds an idle wait lingers for a signal from another thread.
  std::uint32_t realWaitSliceMs = 0;
  int OpenPortCount() const;

  // --- Platform ---
  Handle OpenPort(const std::string& name) override;
  bool SetPortTimeouts(Handle port, const PortTimeouts& timeouts) override;
  bool SetLineSettings(Handle port, const std::string& definition) override;
  bool GetModemStatus(Handle port, std::uint32_t* status) override;
  bool SetCommMask(Handle port, std::uint32_t mask) override;
  bool PurgePort(Handle port, std::uint32_t flags) override;
  bool StartRead(Handle port, Overlapped& ov, char* buffer, std::uint32_t size) override;
  bool StartWrite(Handle port, Overlapped& ov, const char* data, std::uint32_t size) override;
  bool StartCommWait(Handle port, Overlapped& ov, std::uint32_t* eventMask) override;
  IoResult GetResult(Handle port, Overlapped& ov, bool wait) override;
  void CancelIo(Handle port) override;

  Handle CreateEvent(const char* name) override;
  void SetEvent(Handle event) override;
  void ResetEvent(Handle event) override;
  void PulseEvent(Handle event) override;
  int WaitForEvents(const Handle* events, int count, std::uint32_t timeoutMs) override;
  void CloseHandle(Handle handle) override;

  Handle StartThread(std::function<void()> body) override;
  void SetThreadPriority(Handle thread, int priority) override;
  bool WaitThread(Handle thread, std::uint32_t timeoutMs) override;
  std::unique_ptr<Lock> CreateLock() override;

  std::uint64_t NowMs() override { return now_; }
  void Sleep(std::uint32_t ms) override;

  std::intptr_t SendHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                std::intptr_t lParam) override;
  bool PostHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                       std::intptr_t lParam) override;
  void SetControlText(Handle dialog, int controlId, const std::string& text) override;

  std::string GetProfileString(const std::string& section, const std::string& key,
                               const std::string& fallback, const std::string& path,
                               std::size_t capacity) override;
  bool WriteProfileString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) override;
  std::string GetModuleFileName(Handle module, std::size_t capacity) override;
  std::string GetEnvironmentVariable(const std::string& name) override;
  Handle OpenAppendFile(const std::string& path) override;
  bool WriteFileSync(Handle file, const char* data, std::size_t size) override;

 private:
  enum class Kind { Port, Event, Thread, File };
  enum class OpType { Read, Write, CommWait };

  struct PendingOp {
    OpType type = OpType::Read;
    Handle port = kNoHandle;
    char* buffer = nullptr;
    std::uint32_t size = 0;
    std::uint32_t* mask = nullptr;
    std::uint64_t startMs = 0;
    bool done = false;
    IoResult result;
  };

  struct PortState {
    FakeSerialDevice* device;
    PortTimeouts timeouts{};
    std::uint32_t mask = 0;
    std::uint64_t historyFromMs = 0;  // comm events after this time are not yet reported
    std::string definition;
  };

  struct ThreadState {
    std::thread thread;
    bool done = false;
  };

  struct HandleEntry {
    Kind kind;
    bool open = true;
    std::string name;
    bool signaled = false;
    std::uint64_t pulses = 0;
    std::unique_ptr<PortState> port;
    std::shared_ptr<ThreadState> thread;
  };

  Handle NewHandle(Kind kind);
  HandleEntry* Live(Handle handle, Kind kind);
  PortState* LivePort(Handle port);
  // When a pending op would complete on its own, and what it would bring.
  std::uint64_t CompletionTime(const PendingOp& op);
  std::uint64_t ReadCompletion(const PendingOp& op, std::uint32_t* bytes);
  std::uint64_t NextCommEvent(const PortState& port, std::uint64_t afterMs, std::uint32_t* events);
  void Complete(Overlapped* ov, PendingOp& op);
  void CompleteRead(PendingOp& op, std::uint32_t bytes, bool ok, std::uint32_t error);
  void FinishOp(Overlapped* ov, PendingOp& op, IoResult result);
  bool BeginOp(Overlapped& ov, PendingOp op);

  mutable std::recursive_mutex mutex_;
  std::condition_variable_any signalled_;
  std::atomic<std::uint64_t> now_{0};
  std::thread::id mainThread_;
  Handle nextHandle_ = 0x100;
  std::map<Handle, HandleEntry> handles_;
  std::map<Overlapped*, PendingOp> pending_;
  std::map<std::string, std::unique_ptr<FakeSerialDevice>> devices_;
  std::vector<HostCall> hostCalls_;
  HostHandler hostHandler_;
  std::map<std::string, std::intptr_t> registered_;
};

}  // namespace quillet::fake
