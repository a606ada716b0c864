// The host's own copy of the general-purpose plug-in record. The plug-in owns
// the record; the host reads it and fills in the two handles before init.
#pragma once

#include <windows.h>

namespace host {

struct GenPluginRecord {
  int version;
  char* description;
  int (*init)();
  void (*config)();
  void (*quit)();
  HWND hwndParent;
  HINSTANCE hDllInstance;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(GenPluginRecord) == 28, "the player reads a 28-byte record");
#endif

constexpr int kGenPluginVersion = 16;
constexpr const char* kGenPluginExport = "winampGetGeneralPurposePlugin";

using GetGenPluginFn = GenPluginRecord* (*)();

}  // namespace host
