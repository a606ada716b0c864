// The DLL's surface: the one export, the entry points in the record, and the
// load/unload entry. No C++ exception gets past any of them.

#include <windows.h>

#include <new>

#include "platform/win32/win32_library_calls.h"
#include "platform/win32/win32_platform.h"
#include "shell/plugin.h"

namespace {

int InitEntry();
void ConfigEntry();
void QuitEntry();

// Never destroyed: tearing down at unload would wait for a thread under the
// loader lock. quit has released everything by then, or, when it could not
// stop the thread, kept for it what it uses and pinned the module.
quillet::Plugin* ThePlugin() {
  static quillet::Win32Platform* os = new (std::nothrow) quillet::Win32Platform();
  static quillet::Win32LibraryCalls* library = new (std::nothrow) quillet::Win32LibraryCalls();
  static quillet::Plugin* plugin =
      os ? new (std::nothrow) quillet::Plugin(*os, {InitEntry, ConfigEntry, QuitEntry}, library)
         : nullptr;
  return plugin;
}

int InitEntry() {
  try {
    if (quillet::Plugin* plugin = ThePlugin()) return plugin->Init();
  } catch (...) {
  }
  return 0;
}

void ConfigEntry() {
  try {
    if (quillet::Plugin* plugin = ThePlugin()) plugin->Config();
  } catch (...) {
  }
}

void QuitEntry() {
  try {
    if (quillet::Plugin* plugin = ThePlugin()) plugin->Quit();
  } catch (...) {
  }
}

}  // namespace

extern "C" __declspec(dllexport) quillet::PluginRecord* winampGetGeneralPurposePlugin() {
  try {
    if (quillet::Plugin* plugin = ThePlugin()) return plugin->HandOutRecord();
  } catch (...) {
  }
  return nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
