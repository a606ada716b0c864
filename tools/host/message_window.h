#pragma once
// A message-only window of the stand-in player whose procedure finds its
// owner through GWLP_USERDATA: the library's and the playlist's windows.

#include <windows.h>

// Registers `className` with `procedure` on first use, then makes the
// window and points it at `owner`; null when it could not be made.
inline HWND CreateOwnedMessageWindow(const char* className, const char* title, WNDPROC procedure,
                                     void* owner) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc = {};
  if (!GetClassInfoExA(instance, className, &wc)) {
    wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
  }
  HWND window =
      CreateWindowExA(0, className, title, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (window) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  return window;
}
