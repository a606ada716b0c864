// gen_hosttest.dll: a general-purpose plug-in that puts quillet-host through
// its paces and prints what it got back, one "plugin ..." line each, on the
// host's standard output.
//
// init registers two names (one twice, in another case), subclasses the host
// window to answer the "HostTest_Ping" message itself, and starts a worker
// thread. Each round of the worker (one at start, one per config) sends the
// player requests, the two registered messages and posts "next".
//
// Environment: HOSTTEST_LEAK_THREAD=1 makes quit leave the worker running, so
// it runs into the unloaded module; HOSTTEST_CONFIG_DIALOG=1 makes config
// show a modal message box, HOSTTEST_CONFIG_DIALOG=form a small modal dialog
// (a combo box, two statics, OK, Cancel and Apply) for the host's `dialog`
// commands, which quit ends; HOSTTEST_ROUND_DELAY_MS=N delays the rounds that
// config starts by N ms, so the host can be given other work first;
// HOSTTEST_NEXT_ITEM=N makes the subclass answer the player's question for
// the next entry (636) with N.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Record {
  int version;
  const char* description;
  int (*init)();
  void (*config)();
  void (*quit)();
  HWND hwndParent;
  HINSTANCE hDllInstance;
};

int Init();
void Config();
void Quit();

Record g_record = {16, "Host test plug-in", Init, Config, Quit, nullptr, nullptr};
bool g_handed_out = false;
WNDPROC g_host_proc = nullptr;
LRESULT g_ping_id = 0;
LRESULT g_unanswered_id = 0;
HANDLE g_worker = nullptr;
HANDLE g_round_event = nullptr;
HANDLE g_stop_event = nullptr;
volatile LONG g_rounds = 0;

constexpr LRESULT kPingAnswerBase = 0x1234;
constexpr WPARAM kNext = 40048;
constexpr LPARAM kNextItemQuestion = 636;
// What the subclass answers the player's "which entry next?" (-1: passes it on).
LRESULT g_next_item = -1;

bool EnvIs(const char* name, const char* wanted) {
  char value[16] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value && std::strcmp(value, wanted) == 0;
}

bool EnvFlag(const char* name) {
  return EnvIs(name, "1");
}

DWORD EnvNumber(const char* name) {
  char value[16] = {};
  if (GetEnvironmentVariableA(name, value, sizeof value) == 0) return 0;
  return static_cast<DWORD>(std::strtoul(value, nullptr, 10));
}

void Say(const char* format, ...) {
  char line[1024] = "plugin ";
  va_list args;
  va_start(args, format);
  std::vsnprintf(line + 7, sizeof line - 8, format, args);
  va_end(args);
  lstrcatA(line, "\n");
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, lstrlenA(line), &written, nullptr);
}

LRESULT Ask(WPARAM wparam, LPARAM lparam) {
  return SendMessageA(g_record.hwndParent, WM_USER, wparam, lparam);
}

LRESULT Register(const char* name) {
  return Ask(reinterpret_cast<WPARAM>(name), 65536);
}

LRESULT CALLBACK Subclass(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_USER && g_ping_id != 0 && static_cast<LRESULT>(lparam) == g_ping_id) {
    return kPingAnswerBase + static_cast<LRESULT>(wparam);
  }
  if (msg == WM_USER && lparam == kNextItemQuestion && g_next_item >= 0) return g_next_item;
  return CallWindowProcA(g_host_proc, window, msg, wparam, lparam);
}

void RunRound() {
  const LONG round = InterlockedIncrement(&g_rounds);
  const DWORD start = GetTickCount();
  const LRESULT volume_before = Ask(static_cast<WPARAM>(-666), 122);
  Ask(300, 122);
  const LRESULT volume_clamped = Ask(static_cast<WPARAM>(-666), 122);
  Ask(100, 122);
  const LRESULT length = Ask(0, 124);
  const LRESULT position = Ask(0, 125);
  char title[256] = "(null)";
  if (const char* text = reinterpret_cast<const char*>(Ask(position, 212))) {
    lstrcpynA(title, text, sizeof title);
  }
  const LRESULT beyond = Ask(length, 212);
  const LRESULT state = Ask(0, 104);
  const LRESULT video = Ask(3, 261);
  const LRESULT ping = Ask(7, g_ping_id);
  const LRESULT unanswered = Ask(7, g_unanswered_id);
  PostMessageA(g_record.hwndParent, WM_COMMAND, kNext, 0);
  Say("round=%ld volume_before=%ld volume_clamped=%ld length=%ld position=%ld title=\"%s\" "
      "beyond=%ld state=%ld video=%ld ping=%ld unanswered=%ld ms=%lu",
      round, volume_before, volume_clamped, length, position, title, beyond, state, video, ping,
      unanswered, GetTickCount() - start);
}

DWORD WINAPI Worker(void*) {
  HANDLE events[2] = {g_stop_event, g_round_event};
  for (;;) {
    // Wakes up now and then, so a worker left behind by quit runs into the
    // unloaded module soon.
    const DWORD woke = WaitForMultipleObjects(2, events, FALSE, 50);
    if (woke == WAIT_OBJECT_0) return 0;
    if (woke != WAIT_OBJECT_0 + 1) continue;
    if (g_rounds > 0) Sleep(EnvNumber("HOSTTEST_ROUND_DELAY_MS"));
    RunRound();
  }
}

int Init() {
  HMODULE self = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const char*>(&Init), &self);
  // Whether the player's window is a wide-character one, before this
  // plug-in's narrow subclass makes its procedure narrow.
  Say("init window=%s instance=%s unicode=%s", IsWindow(g_record.hwndParent) ? "ok" : "bad",
      g_record.hDllInstance == self ? "ok" : "bad",
      IsWindowUnicode(g_record.hwndParent) ? "yes" : "no");
  char next_item[16] = {};
  if (GetEnvironmentVariableA("HOSTTEST_NEXT_ITEM", next_item, sizeof next_item) > 0)
    g_next_item = std::strtol(next_item, nullptr, 10);
  g_ping_id = Register("HostTest_Ping");
  g_unanswered_id = Register("HostTest_Unanswered");
  const LRESULT again = Register("hosttest_PING");
  Say("registered ping=%ld unanswered=%ld again=%ld", g_ping_id, g_unanswered_id, again);
  g_host_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(g_record.hwndParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
  g_round_event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  g_stop_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_worker = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
  SetThreadPriority(g_worker, THREAD_PRIORITY_LOWEST);
  return 0;
}

// The form config opens: an in-memory template, laid out in dialog units.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kComboClass = 0x0085;
constexpr int kComboId = 1001;
constexpr int kStatusId = 1004;
constexpr int kApplyId = 3;

struct FormItem {
  WORD class_atom;
  const char* class_name;  // as the plug-in reports it
  WORD id;
  DWORD style;
  short x, y, cx, cy;
  const wchar_t* text;
};

const FormItem kFormItems[] = {
    {kStaticClass, "Static", 0xFFFF, SS_LEFT, 7, 9, 30, 8, L"Port:"},
    {kComboClass, "ComboBox", kComboId, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 40, 7, 80, 60, L""},
    {kStaticClass, "Static", kStatusId, SS_LEFT, 7, 28, 166, 8, L"Status."},
    {kButtonClass, "Button", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 13, 49, 50, 14, L"OK"},
    {kButtonClass, "Button", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 67, 49, 50, 14, L"Cancel"},
    {kButtonClass, "Button", kApplyId, BS_PUSHBUTTON | WS_TABSTOP, 121, 49, 50, 14, L"Apply"},
};

HWND g_form = nullptr;

void PutWords(std::vector<WORD>& out, const void* data, size_t bytes) {
  const WORD* words = static_cast<const WORD*>(data);
  out.insert(out.end(), words, words + bytes / sizeof(WORD));
}

void PutText(std::vector<WORD>& out, const wchar_t* text) {
  do {
    out.push_back(static_cast<WORD>(*text));
  } while (*text++);
}

// Items start on DWORD boundaries.
void AlignDword(std::vector<WORD>& out) {
  if (out.size() % 2) out.push_back(0);
}

const DLGTEMPLATE* FormTemplate() {
  static std::vector<WORD> words;
  if (!words.empty()) return reinterpret_cast<const DLGTEMPLATE*>(words.data());
  DLGTEMPLATE form = {};
  form.style = DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  form.cdit = sizeof kFormItems / sizeof kFormItems[0];
  form.cx = 180;
  form.cy = 70;
  PutWords(words, &form, sizeof form);
  words.push_back(0);  // no menu
  words.push_back(0);  // the dialog class
  PutText(words, L"Host test form");
  words.push_back(8);
  PutText(words, L"MS Shell Dlg");
  for (const FormItem& item : kFormItems) {
    AlignDword(words);
    DLGITEMTEMPLATE header = {};
    header.style = item.style | WS_CHILD | WS_VISIBLE;
    header.x = item.x;
    header.y = item.y;
    header.cx = item.cx;
    header.cy = item.cy;
    header.id = item.id;
    PutWords(words, &header, sizeof header);
    words.push_back(0xFFFF);
    words.push_back(item.class_atom);
    PutText(words, item.text);
    words.push_back(0);  // no creation data
  }
  return reinterpret_cast<const DLGTEMPLATE*>(words.data());
}

INT_PTR CALLBACK FormProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      g_form = dialog;
      for (const char* item : {"A", "B", "C"}) {
        SendDlgItemMessageA(dialog, kComboId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
      }
      // The layout, for the host's report to be checked against.
      for (const FormItem& item : kFormItems) {
        Say("dialog item id=%d class=%s du=%d,%d,%d,%d", item.id == 0xFFFF ? -1 : item.id,
            item.class_name, item.x, item.y, item.cx, item.cy);
      }
      return TRUE;
    case WM_SHOWWINDOW:
      if (wparam) Say("dialog shown");
      return FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (HIWORD(wparam) != BN_CLICKED || (id != IDOK && id != IDCANCEL && id != kApplyId)) {
        return FALSE;
      }
      // A drop-down combo box's window text is its edit field.
      char text[256] = {};
      GetDlgItemTextA(dialog, kComboId, text, sizeof text);
      Say("dialog command id=%d text=\"%s\"", id, text);
      if (id != kApplyId) EndDialog(dialog, id);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

void Config() {
  Say("config length=%ld", Ask(0, 124));
  SetEvent(g_round_event);
  if (EnvIs("HOSTTEST_CONFIG_DIALOG", "form")) {
    const INT_PTR result = DialogBoxIndirectParamA(g_record.hDllInstance, FormTemplate(),
                                                   g_record.hwndParent, FormProc, 0);
    g_form = nullptr;
    Say("dialog result=%d", static_cast<int>(result));
  } else if (EnvFlag("HOSTTEST_CONFIG_DIALOG")) {
    const int answer =
        MessageBoxA(g_record.hwndParent, "Host test", "Host test plug-in", MB_OKCANCEL);
    Say("dialog answer=%d", answer);
  }
}

void Quit() {
  // A player may quit the plug-in while its dialog is open: close it, so
  // config returns before the module goes.
  const bool ended_form = g_form != nullptr;
  if (ended_form) EndDialog(g_form, IDCANCEL);
  const bool leak = EnvFlag("HOSTTEST_LEAK_THREAD");
  if (!leak) {
    SetEvent(g_stop_event);
    // The worker may be waiting on the host window: keep answering.
    while (MsgWaitForMultipleObjects(1, &g_worker, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(g_worker);
    CloseHandle(g_round_event);
    CloseHandle(g_stop_event);
  }
  if (GetWindowLongPtrA(g_record.hwndParent, GWLP_WNDPROC) ==
      reinterpret_cast<LONG_PTR>(Subclass)) {
    SetWindowLongPtrA(g_record.hwndParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_host_proc));
  }
  Say("quit leak=%d rounds=%ld ended_form=%d", leak ? 1 : 0, g_rounds, ended_form ? 1 : 0);
}

}  // namespace

extern "C" __declspec(dllexport) Record* winampGetGeneralPurposePlugin() {
  if (g_handed_out) return nullptr;
  g_handed_out = true;
  return &g_record;
}
