#pragma once
// A platform that forwards every call to the fake one and keeps a log of what
// the receive side of the link can observe: reads (their size and the raw
// bytes they brought), writes, sleeps and trace records, each stamped with the
// virtual clock after the call. The fuzzer replays this log against a model.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "platform/platform.h"

namespace quillet::fuzzing {

struct PortEvent {
  enum class Type { ReadStarted, ReadDone, WriteStarted, WriteDone, Sleep, Trace };
  Type type = Type::Trace;
  bool ok = false;          // the start succeeded, or the operation completed
  std::uint32_t count = 0;  // read size asked, bytes written, or ms slept
  std::string bytes;        // raw bytes read, bytes written, or trace text
  std::string prefix;       // trace records only
  std::uint64_t atMs = 0;   // the virtual clock after the call
};

const char* PortEventName(PortEvent::Type type);

class RecordingPlatform : public Platform {
 public:
  explicit RecordingPlatform(fake::FakePlatform& inner) : inner_(inner) {}

  fake::FakePlatform& inner() { return inner_; }
  std::vector<PortEvent> events;
  // Trace records whose three writes (prefix, text, "\r\n") did not come in order.
  int malformedTraces = 0;

  Handle OpenPort(const std::string& name) override { return inner_.OpenPort(name); }
  bool SetPortTimeouts(Handle port, const PortTimeouts& timeouts) override {
    return inner_.SetPortTimeouts(port, timeouts);
  }
  bool SetLineSettings(Handle port, const std::string& definition) override {
    return inner_.SetLineSettings(port, definition);
  }
  bool GetModemStatus(Handle port, std::uint32_t* status) override {
    return inner_.GetModemStatus(port, status);
  }
  bool SetCommMask(Handle port, std::uint32_t mask) override {
    return inner_.SetCommMask(port, mask);
  }
  bool PurgePort(Handle port, std::uint32_t flags) override {
    return inner_.PurgePort(port, flags);
  }
  bool StartRead(Handle port, Overlapped& ov, char* buffer, std::uint32_t size) override;
  bool StartWrite(Handle port, Overlapped& ov, const char* data, std::uint32_t size) override;
  bool StartCommWait(Handle port, Overlapped& ov, std::uint32_t* eventMask) override;
  IoResult GetResult(Handle port, Overlapped& ov, bool wait) override;
  void CancelIo(Handle port) override { inner_.CancelIo(port); }

  Handle CreateEvent(const char* name) override { return inner_.CreateEvent(name); }
  void SetEvent(Handle event) override { inner_.SetEvent(event); }
  void ResetEvent(Handle event) override { inner_.ResetEvent(event); }
  void PulseEvent(Handle event) override { inner_.PulseEvent(event); }
  int WaitForEvents(const Handle* events, int count, std::uint32_t timeoutMs) override {
    return inner_.WaitForEvents(events, count, timeoutMs);
  }
  void CloseHandle(Handle handle) override { inner_.CloseHandle(handle); }

  Handle StartThread(std::function<void()> body) override {
    return inner_.StartThread(std::move(body));
  }
  void SetThreadPriority(Handle thread, int priority) override {
    inner_.SetThreadPriority(thread, priority);
  }
  bool WaitThread(Handle thread, std::uint32_t timeoutMs) override {
    return inner_.WaitThread(thread, timeoutMs);
  }
  std::unique_ptr<Lock> CreateLock() override { return inner_.CreateLock(); }

  std::uint32_t NowMs() override { return inner_.NowMs(); }
  void Sleep(std::uint32_t ms) override;

  std::intptr_t SendHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                std::intptr_t lParam) override {
    return inner_.SendHostMessage(window, msg, wParam, lParam);
  }
  bool PostHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                       std::intptr_t lParam) override {
    return inner_.PostHostMessage(window, msg, wParam, lParam);
  }
  void SetControlText(Handle dialog, int controlId, const std::string& text) override {
    inner_.SetControlText(dialog, controlId, text);
  }
  Handle CreateWorkWindow() override { return inner_.CreateWorkWindow(); }
  void RunOnWindowThread(Handle window, const std::function<void()>& work) override {
    inner_.RunOnWindowThread(window, work);
  }
  void DestroyWorkWindow(Handle window) override { inner_.DestroyWorkWindow(window); }
  bool WatchWindow(Handle window, WindowWatcher* watcher) override {
    return inner_.WatchWindow(window, watcher);
  }
  bool UnwatchWindow(Handle window) override { return inner_.UnwatchWindow(window); }
  std::size_t ReadableBytes(std::uintptr_t address, std::size_t most) override {
    return inner_.ReadableBytes(address, most);
  }
  void RunDialog(Handle module, int templateId, Handle owner, DialogProcedure& procedure) override {
    inner_.RunDialog(module, templateId, owner, procedure);
  }
  void EndDialog(Handle dialog) override { inner_.EndDialog(dialog); }
  int AddComboString(Handle dialog, int controlId, const std::string& text) override {
    return inner_.AddComboString(dialog, controlId, text);
  }
  void SetComboSelection(Handle dialog, int controlId, int index) override {
    inner_.SetComboSelection(dialog, controlId, index);
  }
  std::string GetControlText(Handle dialog, int controlId, std::size_t capacity) override {
    return inner_.GetControlText(dialog, controlId, capacity);
  }
  void ShowMessage(Handle owner, const std::string& text, const std::string& caption) override {
    inner_.ShowMessage(owner, text, caption);
  }
  void PostStatusUpdate(Handle dialog) override { inner_.PostStatusUpdate(dialog); }
  bool IsChecked(Handle dialog, int controlId) override {
    return inner_.IsChecked(dialog, controlId);
  }
  void SetChecked(Handle dialog, int controlId, bool checked) override {
    inner_.SetChecked(dialog, controlId, checked);
  }
  std::vector<std::string> SerialPortNames() override { return inner_.SerialPortNames(); }

  std::string GetProfileString(const std::string& section, const std::string& key,
                               const std::string& fallback, const std::string& path,
                               std::size_t capacity) override {
    return inner_.GetProfileString(section, key, fallback, path, capacity);
  }
  bool WriteProfileString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) override {
    return inner_.WriteProfileString(section, key, value, path);
  }
  std::string GetModuleFileName(Handle module, std::size_t capacity) override {
    return inner_.GetModuleFileName(module, capacity);
  }
  void PinModule() override { inner_.PinModule(); }
  std::u16string AnsiToUnicode(std::string_view ansi) override {
    return inner_.AnsiToUnicode(ansi);
  }
  std::string UnicodeToAnsi(std::u16string_view text) override {
    return inner_.UnicodeToAnsi(text);
  }
  std::string GetEnvironmentVariable(const std::string& name) override {
    return inner_.GetEnvironmentVariable(name);
  }
  Handle OpenAppendFile(const std::string& path) override { return inner_.OpenAppendFile(path); }
  bool WriteFileSync(Handle file, const char* data, std::size_t size) override;

 private:
  enum class OpKind { Read, Write, CommWait };
  struct Outstanding {
    OpKind kind = OpKind::Read;
    char* buffer = nullptr;
    std::uint32_t size = 0;
    bool reported = false;  // its outcome is in the log already
  };
  struct TraceAssembly {
    int stage = 0;  // 0: prefix next, 1: text next, 2: "\r\n" next
    PortEvent record;
  };

  void Log(PortEvent event);

  fake::FakePlatform& inner_;
  std::map<const Overlapped*, Outstanding> outstanding_;
  std::map<Handle, TraceAssembly> traces_;
};

}  // namespace quillet::fuzzing
