#pragma once
// The one seam between Quillet's logic and the operating system. The logic
// calls nothing else of the OS; win32/ implements it for real, fake/ in memory
// with a virtual clock. CMake links exactly one of them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// An OS handle (port, event, thread, file, window, module); 0 means none.
using Handle = std::uintptr_t;
constexpr Handle kNoHandle = 0;

// Serial time-outs in milliseconds, as the OS's COMMTIMEOUTS.
struct PortTimeouts {
  std::uint32_t readInterval;
  std::uint32_t readTotalMultiplier;
  std::uint32_t readTotalConstant;
  std::uint32_t writeTotalMultiplier;
  std::uint32_t writeTotalConstant;
};

// One overlapped-I/O record. The platform keeps its OS record in `storage`;
// `event` is the manual-reset event that a completion signals. At most one
// operation may be pending on a record, and the record (and any buffer or mask
// handed over with the operation) must stay put until it has completed.
struct Overlapped {
  Handle event = kNoHandle;
  alignas(8) unsigned char storage[32] = {};
};

// What asking for an overlapped operation's result found.
struct IoResult {
  enum class State { Completed, Pending, Failed };
  State state = State::Failed;
  std::uint32_t bytes = 0;  // transferred, also for a failed or cancelled read
  std::uint32_t error = 0;  // the OS error code when Failed
  bool completed() const { return state == State::Completed; }
};

constexpr int kWaitTimedOut = -1;
constexpr int kWaitFailed = -2;

// OS error codes the logic tells apart.
constexpr std::uint32_t kErrorTimeout = 1460;          // ERROR_TIMEOUT (Wine's empty read)
constexpr std::uint32_t kErrorOperationAborted = 995;  // ERROR_OPERATION_ABORTED

// A mutual-exclusion lock (a critical section on Windows).
class Lock {
 public:
  virtual ~Lock() = default;
  virtual void Enter() = 0;
  virtual void Leave() = 0;
};

class LockGuard {
 public:
  explicit LockGuard(Lock* lock) : lock_(lock) {
    if (lock_) lock_->Enter();
  }
  ~LockGuard() {
    if (lock_) lock_->Leave();
  }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Lock* lock_;
};

// Milliseconds from `since` to `now` on the wrapping tick.
constexpr std::uint32_t ElapsedMs(std::uint32_t since, std::uint32_t now) {
  return now - since;
}

// Milliseconds from `now` until `due` on the wrapping tick; 0 or less once
// it has come.
constexpr std::int32_t MsUntil(std::uint32_t due, std::uint32_t now) {
  return static_cast<std::int32_t>(due - now);
}

// A dialog's procedure: the platform runs the dialog's window and calls these
// on the thread that runs it.
class DialogProcedure {
 public:
  virtual ~DialogProcedure() = default;
  // The window and its controls exist and are not yet shown.
  virtual void OnInitDialog(Handle dialog) = 0;
  // A button or the close box (Cancel) was used.
  virtual void OnCommand(Handle dialog, int controlId) = 0;
  // A status update posted with PostStatusUpdate has arrived.
  virtual void OnStatusUpdate(Handle dialog) = 0;
  // The window is being destroyed, however the dialog ended: its own buttons,
  // EndDialog, or its owner destroyed under it. Its handle dies with it.
  virtual void OnDestroy(Handle dialog) = 0;
};

// Told of the messages a watched window receives, on that window's thread,
// after the window's own procedure has run. It must only note what it saw
// and wake whoever acts on it: no locks, nothing that waits. A message it
// answers itself is asked of it first, before the window's procedure.
class WindowWatcher {
 public:
  virtual ~WindowWatcher() = default;
  virtual void Seen(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // True, with `*result`, when the watcher answers the message in the
  // window's place: the window's procedure then never sees it.
  virtual bool Answer(std::uint32_t /*msg*/, std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/,
                      std::intptr_t* /*result*/) {
    return false;
  }
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Serial port ---
  // Opens `name` exactly as given, read/write, exclusive, overlapped.
  virtual Handle OpenPort(const std::string& name) = 0;
  virtual bool SetPortTimeouts(Handle port, const PortTimeouts& timeouts) = 0;
  // Reads the port's state, applies a definition such as
  // "baud=9600 parity=N data=8 stop=1", and sets it.
  virtual bool SetLineSettings(Handle port, const std::string& definition) = 0;
  virtual bool GetModemStatus(Handle port, std::uint32_t* status) = 0;
  virtual bool SetCommMask(Handle port, std::uint32_t mask) = 0;
  virtual bool PurgePort(Handle port, std::uint32_t flags) = 0;
  // Start an overlapped operation; false when it failed at once (nothing is
  // then pending). A true result may mean completed or pending: ask GetResult.
  virtual bool StartRead(Handle port, Overlapped& ov, char* buffer, std::uint32_t size) = 0;
  virtual bool StartWrite(Handle port, Overlapped& ov, const char* data, std::uint32_t size) = 0;
  virtual bool StartCommWait(Handle port, Overlapped& ov, std::uint32_t* eventMask) = 0;
  virtual IoResult GetResult(Handle port, Overlapped& ov, bool wait) = 0;
  // Cancels the calling thread's pending operations on the port.
  virtual void CancelIo(Handle port) = 0;

  // --- Events (manual reset, initially not signalled) ---
  virtual Handle CreateEvent(const char* name) = 0;
  virtual void SetEvent(Handle event) = 0;
  virtual void ResetEvent(Handle event) = 0;
  virtual void PulseEvent(Handle event) = 0;
  // Waits until one of the events is signalled: its index, kWaitTimedOut or
  // kWaitFailed. Every timed wait goes through here or Sleep.
  virtual int WaitForEvents(const Handle* events, int count, std::uint32_t timeoutMs) = 0;

  // Closes any handle: port, event, thread or file.
  virtual void CloseHandle(Handle handle) = 0;

  // --- Threads and locks ---
  // Starts `body` on a new thread at once; the handle is joined with WaitThread.
  virtual Handle StartThread(std::function<void()> body) = 0;
  virtual void SetThreadPriority(Handle thread, int priority) = 0;
  // Waits up to timeoutMs for the thread to end, serving messages sent to the
  // calling thread's windows meanwhile. True when it has ended.
  virtual bool WaitThread(Handle thread, std::uint32_t timeoutMs) = 0;
  virtual std::unique_ptr<Lock> CreateLock() = 0;

  // --- Clock ---
  // A millisecond tick that wraps at 2^32 (about 49.7 days), as the OS's
  // does: compare only differences, with ElapsedMs.
  virtual std::uint32_t NowMs() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;

  // --- Host window ---
  virtual std::intptr_t SendHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                        std::intptr_t lParam) = 0;
  virtual bool PostHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) = 0;
  virtual void SetControlText(Handle dialog, int controlId, const std::string& text) = 0;
  // A hidden window of this module on the calling thread, through which
  // another thread has work done on this one: the host's, where sending to
  // the host's window is a plain call. kNoHandle when none could be made.
  virtual Handle CreateWorkWindow() = 0;
  // Runs `work` on the thread of `window` and returns when it has run.
  virtual void RunOnWindowThread(Handle window, const std::function<void()>& work) = 0;
  // On the thread that made it, once no other thread uses it.
  virtual void DestroyWorkWindow(Handle window) = 0;
  // On the window's own thread: puts a procedure of ours in front of the
  // window's, which passes every message on unchanged and then tells
  // `watcher`. False when it could not (no such window, already watched).
  virtual bool WatchWindow(Handle window, WindowWatcher* watcher) = 0;
  // On the window's own thread: the watcher is told nothing more. True when
  // our procedure was still the window's and the one before is back; false
  // when another has been put in front of ours since: ours then stays,
  // only passing messages on, and this module must stay loaded (PinModule).
  virtual bool UnwatchWindow(Handle window) = 0;

  // --- Memory ---
  // How many bytes from `address` on, at most `most`, are committed and
  // readable in this process without a fault, across neighbouring regions:
  // for text whose address another module handed over.
  virtual std::size_t ReadableBytes(std::uintptr_t address, std::size_t most) = 0;

  // --- Dialogs (all on the thread that runs the dialog, but PostStatusUpdate) ---
  // Runs the module's dialog template modally, owned by `owner`, until
  // EndDialog.
  virtual void RunDialog(Handle module, int templateId, Handle owner,
                         DialogProcedure& procedure) = 0;
  virtual void EndDialog(Handle dialog) = 0;
  // Adds a combo box entry; its index.
  virtual int AddComboString(Handle dialog, int controlId, const std::string& text) = 0;
  virtual void SetComboSelection(Handle dialog, int controlId, int index) = 0;
  // A control's text (a drop-down combo box's edit field), at most
  // capacity - 1 bytes.
  virtual std::string GetControlText(Handle dialog, int controlId, std::size_t capacity) = 0;
  // A check box's tick.
  virtual bool IsChecked(Handle dialog, int controlId) = 0;
  virtual void SetChecked(Handle dialog, int controlId, bool checked) = 0;
  // A modal message box with an OK button, owned by `owner`.
  virtual void ShowMessage(Handle owner, const std::string& text, const std::string& caption) = 0;
  // Asks the dialog's own thread to call OnStatusUpdate. Posted, never
  // waited for, so any thread may call it under any lock.
  virtual void PostStatusUpdate(Handle dialog) = 0;

  // --- System ---
  // The names of the serial ports the system lists (on Windows the values
  // under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM), as it gives them; none when
  // it lists none or cannot be asked.
  virtual std::vector<std::string> SerialPortNames() = 0;

  // --- Files, profile and environment ---
  // At most capacity - 1 bytes are returned, as the OS's fixed buffer would.
  virtual std::string GetProfileString(const std::string& section, const std::string& key,
                                       const std::string& fallback, const std::string& path,
                                       std::size_t capacity) = 0;
  virtual bool WriteProfileString(const std::string& section, const std::string& key,
                                  const std::string& value, const std::string& path) = 0;
  // The module's full file name, at most capacity - 1 bytes.
  virtual std::string GetModuleFileName(Handle module, std::size_t capacity) = 0;
  virtual std::string GetEnvironmentVariable(const std::string& name) = 0;
  // Keeps this module's code loaded until the process ends, whatever the host
  // unloads: for a thread that could not be stopped.
  virtual void PinModule() = 0;
  // Opens a file for appending with synchronous writes; kNoHandle on failure.
  virtual Handle OpenAppendFile(const std::string& path) = 0;
  virtual bool WriteFileSync(Handle file, const char* data, std::size_t size) = 0;

  // --- Text ---
  // The system's ANSI code page to UTF-16 and back; a character the code
  // page lacks comes back as '?'.
  virtual std::u16string AnsiToUnicode(std::string_view ansi) = 0;
  virtual std::string UnicodeToAnsi(std::u16string_view text) = 0;
};

}  // namespace quillet
