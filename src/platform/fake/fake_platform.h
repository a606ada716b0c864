#pragma once
// In-memory platform for tests: serial devices fed by a scripted peer, a
// recording host window, an in-memory profile file and a virtual clock through
// which every sleep, timed wait and port time-out passes. Tests never sleep.
//
// The thread that made the platform drives the clock: its own waits move it
// on at once. A thread started with StartThread never moves it; its waits park
// until the driver's RunUntil (or WaitThread) has let every such thread run
// until it waits, then moves the clock to the earliest time one of them is due.
// So a threaded test runs the same way every time, in virtual time.

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
  std::uint64_t atMs = 0;  // the virtual time it was made
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
  void AdvanceMs(std::uint64_t ms);
  // The virtual time that schedules arrivals and DSR changes; it never wraps.
  std::uint64_t VirtualMs() const { return now_; }
  // Memory the logic may read where another module points it. Until a test
  // declares a range, all of it counts as readable (the tests' players hand
  // over real pointers); from the first declaration on only declared ranges
  // do, neighbouring ones joining up as the OS's regions do.
  void DeclareReadable(std::uintptr_t address, std::size_t size);
  // Emulate Wine's serial quirks instead of Windows' (see fake_serial.cpp).
  bool wineQuirks = false;
  std::string moduleFileName = "C:\\Program Files\\Winamp\\Plugins\\gen_quillet.dll";
  std::map<std::string, std::string> environment;
  // The serial ports the system lists, as SerialPortNames gives them.
  std::vector<std::string> serialPorts;
  // The ANSI code page is UTF-8 (65001), as Windows' "Unicode UTF-8 for
  // worldwide language support" makes it; else Windows-1252.
  bool utf8CodePage = false;
  // Profile writes fail, as on a folder the user may not write to.
  bool profilesReadOnly = false;

  // The player's own message to its window (it sends or posts one to
  // itself): a watcher that answers it does, else its handler answers and
  // then a watcher of the window is told, as
  // the window's subclass would be. Not one of the plug-in's host calls.
  std::intptr_t PlayerMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam);
  // Another module puts its procedure in front of the watcher's.
  void TakeOverWindow(Handle window);
  // The windows watched, and the watchers that only forward now (taken over).
  std::size_t WatchedWindows() const;
  std::size_t ForwardingOnly() const;

  // Lets the started threads run, moving the clock as they wait, until
  // `done` holds (looked at whenever all of them wait) or `forMs` of virtual
  // time have passed. True when `done` held; without `done`, true when the
  // time has passed. False also when a thread neither waits nor ends within a
  // generous real-time bound, which only a hung test ever reaches.
  bool RunUntil(const std::function<bool()>& done, std::uint64_t forMs);
  bool RunFor(std::uint64_t ms) { return RunUntil(nullptr, ms); }
  // Every started thread has ended; the clock runs at most `forMs` meanwhile.
  bool RunUntilThreadsEnd(std::uint64_t forMs);

  // --- What the logic did ---
  std::vector<std::string> portOpens;  // the names OpenPort was given, in order
  Handle workWindows = 0;              // work windows alive
  int workRuns = 0;                    // works run through them
  std::vector<HostCall> HostCalls() const;
  std::vector<Handle> closedHandles;
  int badCloses = 0;         // closes of unknown or already-closed handles
  int overlappedMisuse = 0;  // an operation started on a record that was still pending
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> profiles;
  std::map<std::string, std::string> files;
  std::map<Handle, int> threadPriorities;
  std::vector<std::pair<int, std::string>> controlTexts;  // (control id, text) in order
  std::vector<std::string> messages;  // the texts of the message boxes shown, in order

  // The dialog RunDialog shows: its controls as the procedure left them.
  struct FakeDialog {
    Handle handle = kNoHandle;
    int templateId = 0;
    Handle owner = kNoHandle;
    std::map<int, std::vector<std::string>> comboItems;
    std::map<int, int> comboSelection;
    std::map<int, std::string> texts;  // edit fields and static texts
    std::map<int, bool> checks;        // check boxes
    bool ended = false;
    bool destroyed = false;
    int postedUpdates = 0;      // not yet delivered
    int postsAfterDestroy = 0;  // to a handle that may be another window's by now
  };
  FakeDialog dialog;
  // Runs while RunDialog's dialog is open, on the calling thread, as the
  // user would: typing, pressing buttons, letting posted updates arrive.
  std::function<void(DialogProcedure&, Handle)> dialogScript;
  bool IsOpen(Handle handle) const;
  std::string HandleKind(Handle handle) const;
  std::string EventName(Handle event) const;
  std::string LineSettings(Handle port) const;
  PortTimeouts Timeouts(Handle port) const;
  std::uint32_t CommMask(Handle port) const;
  bool modulePinned = false;
  int OpenPortCount() const;
  std::vector<Handle> OpenHandles() const;

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

  // The OS's tick: the virtual time cut to 32 bits, so it wraps as the real one does.
  std::uint32_t NowMs() override { return static_cast<std::uint32_t>(now_); }
  void Sleep(std::uint32_t ms) override;

  // The work window's thread is the caller's: the work runs at once.
  Handle CreateWorkWindow() override { return ++workWindows; }
  void RunOnWindowThread(Handle, const std::function<void()>& work) override {
    ++workRuns;
    work();
  }
  void DestroyWorkWindow(Handle window) override {
    if (window != kNoHandle) --workWindows;
  }
  bool WatchWindow(Handle window, WindowWatcher* watcher) override;
  bool UnwatchWindow(Handle window) override;
  std::intptr_t SendHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                std::intptr_t lParam) override;
  bool PostHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                       std::intptr_t lParam) override;
  void SetControlText(Handle dialog, int controlId, const std::string& text) override;

  std::size_t ReadableBytes(std::uintptr_t address, std::size_t most) override;

  void RunDialog(Handle module, int templateId, Handle owner, DialogProcedure& procedure) override;
  void EndDialog(Handle dialog) override;
  int AddComboString(Handle dialog, int controlId, const std::string& text) override;
  void SetComboSelection(Handle dialog, int controlId, int index) override;
  std::string GetControlText(Handle dialog, int controlId, std::size_t capacity) override;
  bool IsChecked(Handle dialog, int controlId) override;
  void SetChecked(Handle dialog, int controlId, bool checked) override;
  std::vector<std::string> SerialPortNames() override;
  void ShowMessage(Handle owner, const std::string& text, const std::string& caption) override;
  void PostStatusUpdate(Handle dialog) override;

  std::string GetProfileString(const std::string& section, const std::string& key,
                               const std::string& fallback, const std::string& path,
                               std::size_t capacity) override;
  bool WriteProfileString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) override;
  std::string GetModuleFileName(Handle module, std::size_t capacity) override;
  std::string GetEnvironmentVariable(const std::string& name) override;
  void PinModule() override;
  // Windows-1252, the code page of a Western system.
  std::u16string AnsiToUnicode(std::string_view ansi) override;
  std::string UnicodeToAnsi(std::u16string_view text) override;
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
    FakeSerialDevice* device = nullptr;
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

  // A started thread waiting for the driver: it goes on once it is `ready`
  // or the clock has reached `due`.
  struct Waiter {
    std::function<bool()> ready;
    std::function<std::uint64_t()> due;
    bool parked = true;
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
  // Wine reports EV_RXCHAR at once to a wait armed while bytes sit unread.
  bool ReportsQueuedBytes(const PortState& port, const PendingOp& op) const;
  std::uint64_t NextCommEvent(const PortState& port, std::uint64_t afterMs, std::uint32_t* events);
  // The earliest time a pending operation will signal one of these events,
  // and which record it is on.
  std::uint64_t NextCompletion(const Handle* events, int count, Overlapped** which);
  void Complete(Overlapped* ov, PendingOp& op);
  void CompleteRead(PendingOp& op, std::uint32_t bytes, bool ok, std::uint32_t error);
  void FinishOp(Overlapped* ov, PendingOp& op, IoResult result);
  bool BeginOp(Overlapped& ov, PendingOp op);

  bool OnDriver() const { return std::this_thread::get_id() == mainThread_; }
  // Blocks the calling started thread until the driver lets it go on. The
  // caller holds `lock` exactly once.
  void Park(std::unique_lock<std::recursive_mutex>& lock, Waiter& waiter);
  // Lets go every parked thread that is ready or due; true when any was.
  bool WakeDue();
  // Waits until every started thread is parked or has ended.
  bool Settle(std::unique_lock<std::recursive_mutex>& lock);
  int WaitForEventsParked(std::unique_lock<std::recursive_mutex>& lock, const Handle* events,
                          int count, std::uint32_t timeoutMs);

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
  // A window's watch: its watcher (null once it only forwards) and whether
  // another procedure went in front of it.
  struct Watch {
    WindowWatcher* watcher = nullptr;
    bool takenOver = false;
  };
  std::map<Handle, Watch> watches_;
  void TellWatcher(Handle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::map<std::uintptr_t, std::uintptr_t> readable_;  // first byte -> one past the last
  std::vector<Waiter*> parked_;
  std::size_t liveThreads_ = 0;
};

}  // namespace quillet::fake
