// One general-purpose plug-in module, driven as the player drives it:
// LoadLibraryA, one call of the export, the record's check, the two handles
// filled in, init; config on request; quit, then FreeLibrary. Every step is
// logged; a companion's lines carry the word "companion" after the event, so
// the main plug-in's lines read the same with or without companions.
#pragma once

#include <windows.h>

#include <string>

#include "log_line.h"
#include "plugin_record.h"
#include "watchdog.h"

namespace host {

class PluginModule {
 public:
  enum class Role { kMain, kCompanion };

  explicit PluginModule(Watchdog& watchdog, Role role = Role::kMain)
      : watchdog_(watchdog), role_(role) {}
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  bool loaded() const { return module_ != nullptr; }
  const std::string& path() const { return path_; }
  // quit has been called (or is running) and the module is not unloaded yet.
  bool quit_called() const { return quit_called_; }

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
  // A log line for `event`, marked when this module is a companion.
  LogLine Line(const char* event) const;
  void LogError(const char* op, DWORD code) const;

  Watchdog& watchdog_;
  const Role role_;
  HMODULE module_ = nullptr;
  GetGenPluginFn export_ = nullptr;
  GenPluginRecord* record_ = nullptr;
  int export_calls_ = 0;
  bool quit_called_ = false;
  std::string path_;
};

}  // namespace host
