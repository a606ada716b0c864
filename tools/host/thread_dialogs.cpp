#include "thread_dialogs.h"

#include <cstring>

#include "log_sink.h"

namespace host {
namespace {

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  // "#32770" is the system's dialog class.
  if (std::strcmp(class_name, "#32770") == 0) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> ThreadDialogs() {
  std::vector<HWND> dialogs;
  EnumThreadWindows(GetCurrentThreadId(), CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
  return dialogs;
}

int CancelThreadDialogs() {
  const std::vector<HWND> dialogs = ThreadDialogs();
  for (HWND dialog : dialogs) {
    char title[256] = {};
    GetWindowTextA(dialog, title, sizeof title);
    Emit(LogLine("dialog")
             .Word("cancel")
             .Hex("window", reinterpret_cast<uintptr_t>(dialog))
             .Text("title", title));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  return static_cast<int>(dialogs.size());
}

}  // namespace host
