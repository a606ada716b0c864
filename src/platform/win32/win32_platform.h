#pragma once
// The real platform: each operation is the Win32 call of the same name.

#include "platform/platform.h"

namespace quillet {

class Win32Platform : public Platform {
 public:
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

  std::uint32_t NowMs() override;
  void Sleep(std::uint32_t ms) override;

  std::intptr_t SendHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                std::intptr_t lParam) override;
  Handle CreateWorkWindow() override;
  void RunOnWindowThread(Handle window, const std::function<void()>& work) override;
  void DestroyWorkWindow(Handle window) override;
  bool WatchWindow(Handle window, WindowWatcher* watcher) override;
  bool UnwatchWindow(Handle window) override;
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
  std::u16string AnsiToUnicode(std::string_view ansi) override;
  std::string UnicodeToAnsi(std::u16string_view text) override;
  Handle OpenAppendFile(const std::string& path) override;
  bool WriteFileSync(Handle file, const char* data, std::size_t size) override;
};

}  // namespace quillet
