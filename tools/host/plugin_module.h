// One general-purpose plug-in module, driven as the player drives it:
// LoadLibraryA, one call of the export, the record's check, the two handles
// filled in, init; config on request; quit, then FreeLibrary. Every step is
// logged.
#pragma once

#include <windows.h>

#include <string>

#include "plugin_record.h"
#include "watchdog.h"

namespace host {

class PluginModule {
 public:
  explicit PluginModule(Watchdog& watchdog) : watchdog_(watchdog) {}

  bool loaded() const { return module_ != nullptr; }
  const std::string& path() const { return path_; }

  // Loads the module, takes the record and fills in `host_window` and the
  // module's handle. On any failure the module is released again.
  bool Load(const std::string& path, HWND host_window);
  void Init();
  void Config();
  void Quit();
  void Unload();
  // Calls the export once more and logs whether it returned null.
  void CallExportAgain();

 private:
  void Release();

  Watchdog& watchdog_;
  HMODULE module_ = nullptr;
  GetGenPluginFn export_ = nullptr;
  GenPluginRecord* record_ = nullptr;
  int export_calls_ = 0;
  std::string path_;
};

}  // namespace host
