// A watcher's procedure in front of another module's window. Only the
// wide-character window functions are used: the narrow ones would make the
// system translate the messages of a window registered wide, and hand back
// a thunk instead of our procedure.

#include <windows.h>

#include <atomic>

#include "platform/win32/win32_platform.h"

namespace quillet {
namespace {

// What the procedure needs, found through a property of the window: the
// procedure it forwards to, and whom it tells.
constexpr wchar_t kWatchProperty[] = L"Quillet.WindowWatch";

struct WatchSlot {
  WNDPROC previous = nullptr;
  std::atomic<WindowWatcher*> watcher{nullptr};
};

WatchSlot* SlotOf(HWND window) {
  return static_cast<WatchSlot*>(GetPropW(window, kWatchProperty));
}

LRESULT CALLBACK WatchedWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  WatchSlot* slot = SlotOf(window);
  if (slot == nullptr) return DefWindowProcW(window, msg, wParam, lParam);
  const WNDPROC previous = slot->previous;
  if (WindowWatcher* watcher = slot->watcher.load()) {
    std::intptr_t answer = 0;
    if (watcher->Answer(msg, wParam, lParam, &answer)) return answer;
  }
  const LRESULT result = CallWindowProcW(previous, window, msg, wParam, lParam);
  // Looked up again: the message may have been the host's quit, which
  // unwatched the window and freed the slot meanwhile.
  slot = SlotOf(window);
  if (slot != nullptr) {
    if (WindowWatcher* watcher = slot->watcher.load()) watcher->Seen(msg, wParam, lParam);
  }
  return result;
}

LONG_PTR OurProcedure() {
  return reinterpret_cast<LONG_PTR>(&WatchedWindowProc);
}

}  // namespace

bool Win32Platform::WatchWindow(Handle window, WindowWatcher* watcher) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (watcher == nullptr || !IsWindow(hwnd) || SlotOf(hwnd) != nullptr) return false;
  auto* slot = new WatchSlot;
  slot->previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  slot->watcher = watcher;
  if (slot->previous == nullptr || !SetPropW(hwnd, kWatchProperty, slot)) {
    delete slot;
    return false;
  }
  // On the window's thread nothing reaches the window between these calls,
  // so the slot already holds the procedure that the swap hands back.
  SetLastError(0);
  const LONG_PTR replaced = SetWindowLongPtrW(hwnd, GWLP_WNDPROC, OurProcedure());
  if (replaced == 0 && GetLastError() != 0) {
    RemovePropW(hwnd, kWatchProperty);
    delete slot;
    return false;
  }
  slot->previous = reinterpret_cast<WNDPROC>(replaced);
  return true;
}

bool Win32Platform::UnwatchWindow(Handle window) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  WatchSlot* slot = SlotOf(hwnd);
  if (slot == nullptr) return true;
  slot->watcher = nullptr;
  // Another procedure in front of ours forwards to ours: ours must stay,
  // and with it the slot and this module's code.
  if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != OurProcedure()) return false;
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(slot->previous));
  RemovePropW(hwnd, kWatchProperty);
  delete slot;
  return true;
}

}  // namespace quillet
