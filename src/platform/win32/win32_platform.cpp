#include "platform/win32/win32_platform.h"

#include <windows.h>
// The interface's names are the plain Win32 names; the ANSI calls are explicit.
#undef CreateEvent
#undef GetProfileString
#undef WriteProfileString
#undef GetModuleFileName
#undef GetEnvironmentVariable

#include <new>
#include <vector>

namespace quillet {
namespace {

static_assert(sizeof(OVERLAPPED) <= sizeof(Overlapped::storage), "OVERLAPPED must fit its slot");

HANDLE H(Handle h) {
  return reinterpret_cast<HANDLE>(h);
}
Handle FromHandle(HANDLE h) {
  return (h == nullptr || h == INVALID_HANDLE_VALUE) ? kNoHandle : reinterpret_cast<Handle>(h);
}

// The OS record lives in the slot's storage; its event follows the slot's.
OVERLAPPED* Os(Overlapped& ov) {
  auto* os = reinterpret_cast<OVERLAPPED*>(ov.storage);
  os->hEvent = H(ov.event);
  return os;
}

bool Started(BOOL ok) {
  return ok || GetLastError() == ERROR_IO_PENDING;
}

class CriticalSectionLock : public Lock {
 public:
  CriticalSectionLock() { InitializeCriticalSection(&section_); }
  ~CriticalSectionLock() override { DeleteCriticalSection(&section_); }
  void Enter() override { EnterCriticalSection(&section_); }
  void Leave() override { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

DWORD WINAPI ThreadEntry(LPVOID parameter) {
  auto* body = static_cast<std::function<void()>*>(parameter);
  try {
    (*body)();
  } catch (...) {
    // Nothing may leave a thread entry; the thread simply ends.
  }
  delete body;
  return 0;
}

}  // namespace

Handle Win32Platform::OpenPort(const std::string& name) {
  return FromHandle(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
}

bool Win32Platform::SetPortTimeouts(Handle port, const PortTimeouts& t) {
  COMMTIMEOUTS timeouts{t.readInterval, t.readTotalMultiplier, t.readTotalConstant,
                        t.writeTotalMultiplier, t.writeTotalConstant};
  return SetCommTimeouts(H(port), &timeouts) != 0;
}

bool Win32Platform::SetLineSettings(Handle port, const std::string& definition) {
  DCB dcb;
  ZeroMemory(&dcb, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  GetCommState(H(port), &dcb);
  if (!BuildCommDCBA(definition.c_str(), &dcb)) return false;
  return SetCommState(H(port), &dcb) != 0;
}

bool Win32Platform::GetModemStatus(Handle port, std::uint32_t* status) {
  DWORD value = 0;
  if (!GetCommModemStatus(H(port), &value)) return false;
  *status = value;
  return true;
}

bool Win32Platform::SetCommMask(Handle port, std::uint32_t mask) {
  return ::SetCommMask(H(port), mask) != 0;
}

bool Win32Platform::PurgePort(Handle port, std::uint32_t flags) {
  return PurgeComm(H(port), flags) != 0;
}

bool Win32Platform::StartRead(Handle port, Overlapped& ov, char* buffer, std::uint32_t size) {
  return Started(ReadFile(H(port), buffer, size, nullptr, Os(ov)));
}

bool Win32Platform::StartWrite(Handle port, Overlapped& ov, const char* data, std::uint32_t size) {
  return Started(WriteFile(H(port), data, size, nullptr, Os(ov)));
}

bool Win32Platform::StartCommWait(Handle port, Overlapped& ov, std::uint32_t* eventMask) {
  static_assert(sizeof(DWORD) == sizeof(std::uint32_t), "mask width");
  return Started(WaitCommEvent(H(port), reinterpret_cast<DWORD*>(eventMask), Os(ov)));
}

IoResult Win32Platform::GetResult(Handle port, Overlapped& ov, bool wait) {
  IoResult result;
  DWORD bytes = 0;
  if (GetOverlappedResult(H(port), Os(ov), &bytes, wait ? TRUE : FALSE)) {
    result.state = IoResult::State::Completed;
  } else {
    result.error = GetLastError();
    result.state =
        result.error == ERROR_IO_INCOMPLETE ? IoResult::State::Pending : IoResult::State::Failed;
  }
  result.bytes = bytes;
  return result;
}

void Win32Platform::CancelIo(Handle port) {
  ::CancelIo(H(port));
}

Handle Win32Platform::CreateEvent(const char* name) {
  return FromHandle(CreateEventA(nullptr, TRUE, FALSE, name));
}

void Win32Platform::SetEvent(Handle event) {
  ::SetEvent(H(event));
}
void Win32Platform::ResetEvent(Handle event) {
  ::ResetEvent(H(event));
}
void Win32Platform::PulseEvent(Handle event) {
  ::PulseEvent(H(event));
}

int Win32Platform::WaitForEvents(const Handle* events, int count, std::uint32_t timeoutMs) {
  std::vector<HANDLE> handles;
  handles.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) handles.push_back(H(events[i]));
  DWORD r = WaitForMultipleObjects(static_cast<DWORD>(count), handles.data(), FALSE, timeoutMs);
  if (r < WAIT_OBJECT_0 + static_cast<DWORD>(count)) return static_cast<int>(r - WAIT_OBJECT_0);
  return r == WAIT_TIMEOUT ? kWaitTimedOut : kWaitFailed;
}

void Win32Platform::CloseHandle(Handle handle) {
  if (handle != kNoHandle) ::CloseHandle(H(handle));
}

Handle Win32Platform::StartThread(std::function<void()> body) {
  auto* heapBody = new (std::nothrow) std::function<void()>(std::move(body));
  if (!heapBody) return kNoHandle;
  HANDLE thread = CreateThread(nullptr, 0, ThreadEntry, heapBody, 0, nullptr);
  if (!thread) delete heapBody;
  return FromHandle(thread);
}

void Win32Platform::SetThreadPriority(Handle thread, int priority) {
  ::SetThreadPriority(H(thread), priority);
}

bool Win32Platform::WaitThread(Handle thread, std::uint32_t timeoutMs) {
  if (thread == kNoHandle) return true;
  HANDLE handle = H(thread);
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    // The thread may be blocked sending a message to this very thread:
    // serve sent messages while waiting, leave posted ones to the host.
    DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) return true;
    if (r == WAIT_OBJECT_0 + 1) {
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      continue;
    }
    if (r == WAIT_TIMEOUT) return false;
    return WaitForSingleObject(handle, timeoutMs - elapsed) == WAIT_OBJECT_0;
  }
}

std::unique_ptr<Lock> Win32Platform::CreateLock() {
  return std::unique_ptr<Lock>(new (std::nothrow) CriticalSectionLock());
}

std::uint32_t Win32Platform::NowMs() {
  return GetTickCount();
}

void Win32Platform::Sleep(std::uint32_t ms) {
  ::Sleep(ms);
}

std::intptr_t Win32Platform::SendHostMessage(Handle window, std::uint32_t msg,
                                             std::uintptr_t wParam, std::intptr_t lParam) {
  return SendMessageA(reinterpret_cast<HWND>(window), msg, wParam, lParam);
}

bool Win32Platform::PostHostMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
  return PostMessageA(reinterpret_cast<HWND>(window), msg, wParam, lParam) != 0;
}

namespace {

constexpr char kWorkWindowClass[] = "QuilletWork";
constexpr UINT kRunWork = WM_APP + 1;

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

LRESULT CALLBACK WorkWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != kRunWork) return DefWindowProcA(window, msg, wParam, lParam);
  // No exception may leave through the host's message loop.
  try {
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
  } catch (...) {
  }
  return 0;
}

}  // namespace

Handle Win32Platform::CreateWorkWindow() {
  WNDCLASSA type{};
  type.lpfnWndProc = WorkWindowProc;
  type.hInstance = ThisModule();
  type.lpszClassName = kWorkWindowClass;
  RegisterClassA(&type);
  HWND window = CreateWindowExA(0, kWorkWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                type.hInstance, nullptr);
  return reinterpret_cast<Handle>(window);
}

void Win32Platform::RunOnWindowThread(Handle window, const std::function<void()>& work) {
  SendMessageA(reinterpret_cast<HWND>(window), kRunWork, 0, reinterpret_cast<LPARAM>(&work));
}

void Win32Platform::DestroyWorkWindow(Handle window) {
  if (window == kNoHandle) return;
  DestroyWindow(reinterpret_cast<HWND>(window));
  UnregisterClassA(kWorkWindowClass, ThisModule());
}

void Win32Platform::SetControlText(Handle dialog, int controlId, const std::string& text) {
  SetWindowTextA(GetDlgItem(reinterpret_cast<HWND>(dialog), controlId), text.c_str());
}

namespace {

// Pages whose reading can never fault: committed, with a readable protection
// and no guard (whose first touch raises an exception).
bool ReadableRegion(const MEMORY_BASIC_INFORMATION& region) {
  if (region.State != MEM_COMMIT) return false;
  if (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
  switch (region.Protect & 0xFF) {
    case PAGE_READONLY:
    case PAGE_READWRITE:
    case PAGE_WRITECOPY:
    case PAGE_EXECUTE_READ:
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::size_t Win32Platform::ReadableBytes(std::uintptr_t address, std::size_t most) {
  std::size_t readable = 0;
  while (readable < most) {
    const std::uintptr_t at = address + readable;
    MEMORY_BASIC_INFORMATION region;
    if (at < address ||
        VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0 ||
        !ReadableRegion(region))
      break;
    const std::uintptr_t end =
        reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    if (end <= at) break;  // the top of the address space
    readable = end - address;
  }
  return readable < most ? readable : most;
}

namespace {

// The private message by which another thread asks a dialog to show the
// latest status; a dialog of ours is the only receiver.
constexpr UINT kStatusUpdateMessage = WM_APP + 0x51;
// Longer port names than this in the system's list are skipped.
constexpr DWORD kPortDataCapacity = 260;

HWND W(Handle h) {
  return reinterpret_cast<HWND>(h);
}

INT_PTR CALLBACK DialogEntry(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Nothing may unwind into the dialog manager's frames.
  try {
    if (msg == WM_INITDIALOG) {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      reinterpret_cast<DialogProcedure*>(lParam)->OnInitDialog(reinterpret_cast<Handle>(dialog));
      return 0;
    }
    auto* procedure = reinterpret_cast<DialogProcedure*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!procedure) return 0;
    if (msg == WM_COMMAND) {
      procedure->OnCommand(reinterpret_cast<Handle>(dialog), LOWORD(wParam));
    } else if (msg == kStatusUpdateMessage) {
      procedure->OnStatusUpdate(reinterpret_cast<Handle>(dialog));
    } else if (msg == WM_DESTROY) {
      procedure->OnDestroy(reinterpret_cast<Handle>(dialog));
    }
  } catch (...) {
  }
  return 0;
}

}  // namespace

void Win32Platform::RunDialog(Handle module, int templateId, Handle owner,
                              DialogProcedure& procedure) {
  DialogBoxParamA(reinterpret_cast<HINSTANCE>(module), MAKEINTRESOURCEA(templateId), W(owner),
                  DialogEntry, reinterpret_cast<LPARAM>(&procedure));
}

void Win32Platform::EndDialog(Handle dialog) {
  ::EndDialog(W(dialog), 0);
}

int Win32Platform::AddComboString(Handle dialog, int controlId, const std::string& text) {
  return static_cast<int>(SendDlgItemMessageA(W(dialog), controlId, CB_ADDSTRING, 0,
                                              reinterpret_cast<LPARAM>(text.c_str())));
}

void Win32Platform::SetComboSelection(Handle dialog, int controlId, int index) {
  SendDlgItemMessageA(W(dialog), controlId, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string Win32Platform::GetControlText(Handle dialog, int controlId, std::size_t capacity) {
  if (capacity == 0) return {};
  std::vector<char> buffer(capacity, '\0');
  const UINT n = GetDlgItemTextA(W(dialog), controlId, buffer.data(), static_cast<int>(capacity));
  return std::string(buffer.data(), n < capacity ? n : capacity - 1);
}

bool Win32Platform::IsChecked(Handle dialog, int controlId) {
  return IsDlgButtonChecked(W(dialog), controlId) == BST_CHECKED;
}

void Win32Platform::SetChecked(Handle dialog, int controlId, bool checked) {
  CheckDlgButton(W(dialog), controlId, checked ? BST_CHECKED : BST_UNCHECKED);
}

std::vector<std::string> Win32Platform::SerialPortNames() {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS) {
    return names;
  }
  // The value names are the drivers' device names; the data is the port's.
  for (DWORD index = 0;; ++index) {
    char valueName[256];
    DWORD valueNameSize = sizeof valueName;
    char data[kPortDataCapacity];
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    const LONG result = RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataSize);
    if (result == ERROR_MORE_DATA) continue;  // a name or port beyond any port name's length
    if (result != ERROR_SUCCESS) break;
    if (type != REG_SZ || dataSize == 0) continue;
    // The data need not end in a NUL; what it holds is the name up to one.
    std::size_t length = 0;
    while (length < dataSize && data[length] != '\0') ++length;
    if (length > 0) names.emplace_back(data, length);
  }
  RegCloseKey(key);
  return names;
}

void Win32Platform::ShowMessage(Handle owner, const std::string& text, const std::string& caption) {
  MessageBoxA(W(owner), text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

void Win32Platform::PostStatusUpdate(Handle dialog) {
  PostMessageA(W(dialog), kStatusUpdateMessage, 0, 0);
}

std::string Win32Platform::GetProfileString(const std::string& section, const std::string& key,
                                            const std::string& fallback, const std::string& path,
                                            std::size_t capacity) {
  if (capacity == 0) return {};
  std::vector<char> buffer(capacity, '\0');
  DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                     static_cast<DWORD>(capacity), path.c_str());
  return std::string(buffer.data(), n < capacity ? n : capacity - 1);
}

bool Win32Platform::WriteProfileString(const std::string& section, const std::string& key,
                                       const std::string& value, const std::string& path) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != 0;
}

std::string Win32Platform::GetModuleFileName(Handle module, std::size_t capacity) {
  if (capacity == 0) return {};
  std::vector<char> buffer(capacity, '\0');
  DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(module), buffer.data(),
                               static_cast<DWORD>(capacity));
  if (n >= capacity) n = static_cast<DWORD>(capacity - 1);
  return std::string(buffer.data(), n);
}

std::string Win32Platform::GetEnvironmentVariable(const std::string& name) {
  char buffer[1024];
  DWORD n = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

void Win32Platform::PinModule() {
  // Found by an address inside it, so a wrong instance handle cannot matter.
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(&ThreadEntry), &self);
}

Handle Win32Platform::OpenAppendFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return FromHandle(file);
}

bool Win32Platform::WriteFileSync(Handle file, const char* data, std::size_t size) {
  DWORD written = 0;
  return WriteFile(H(file), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

std::u16string Win32Platform::AnsiToUnicode(std::string_view ansi) {
  if (ansi.empty()) return std::u16string();
  const int size = static_cast<int>(ansi.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  if (units <= 0) return std::u16string(ansi.size(), u'?');
  std::u16string text(static_cast<std::size_t>(units), u'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, reinterpret_cast<wchar_t*>(text.data()), units);
  return text;
}

namespace {

// False when the code page refuses the text.
bool ToCodePage(std::u16string_view text, const char* fallback, std::string* ansi) {
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int units = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, fallback, nullptr);
  if (size <= 0) return false;
  ansi->assign(static_cast<std::size_t>(size), '\0');
  return WideCharToMultiByte(CP_ACP, 0, wide, units, ansi->data(), size, fallback, nullptr) == size;
}

}  // namespace

std::string Win32Platform::UnicodeToAnsi(std::u16string_view text) {
  if (text.empty()) return std::string();
  // The UTF-7 and UTF-8 code pages (Windows' "Unicode UTF-8 for worldwide
  // language support") fail every conversion that names a default character.
  const UINT codePage = GetACP();
  const char* fallback = codePage == CP_UTF7 || codePage == CP_UTF8 ? nullptr : "?";
  std::string ansi;
  if (ToCodePage(text, fallback, &ansi)) return ansi;
  // One character at a time, so only those the code page refuses are lost.
  ansi.clear();
  for (std::size_t at = 0; at < text.size();) {
    const bool pair = text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < text.size() &&
                      text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF;
    const std::size_t units = pair ? 2 : 1;
    std::string one;
    ansi += ToCodePage(text.substr(at, units), fallback, &one) ? one : std::string("?");
    at += units;
  }
  return ansi;
}

}  // namespace quillet
