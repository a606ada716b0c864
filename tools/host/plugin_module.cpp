#include "plugin_module.h"

#include "crash_guard.h"
#include "log_sink.h"
#include "process_probe.h"

namespace host {
namespace {

// Runs one entry point with the watchdog told about it; returns its time.
template <typename Call>
unsigned long Timed(Watchdog& watchdog, const char* entry, Call call) {
  const unsigned long start = LogClockMs();
  watchdog.Enter(entry);
  call();
  watchdog.Leave();
  return LogClockMs() - start;
}

}  // namespace

LogLine PluginModule::Line(const char* event) const {
  LogLine line(event);
  if (role_ == Role::kCompanion) line.Word("companion");
  return line;
}

void PluginModule::LogError(const char* op, DWORD code) const {
  Emit(Line("error")
           .Token("op", op)
           .Num("code", code)
           .Text("reason", ErrorText(code))
           .Text("path", path_));
}

bool PluginModule::Load(const std::string& path, HWND host_window) {
  path_ = path;
  export_calls_ = 0;
  module_ = LoadLibraryA(path.c_str());
  if (!module_) {
    const DWORD code = GetLastError();
    Emit(Line("load")
             .Word("failed")
             .Text("path", path)
             .Num("code", code)
             .Text("reason", ErrorText(code)));
    return false;
  }
  Emit(Line("load")
           .Word("ok")
           .Text("path", path)
           .Hex("module", reinterpret_cast<uintptr_t>(module_)));

  export_ = reinterpret_cast<GetGenPluginFn>(
      reinterpret_cast<void*>(GetProcAddress(module_, kGenPluginExport)));
  if (!export_) {
    LogError("export", GetLastError());
    Release();
    return false;
  }
  record_ = export_();
  ++export_calls_;
  Emit(Line("export")
           .Num("call", export_calls_)
           .Token("returned", record_ ? "non-null" : "null")
           .Hex("record", reinterpret_cast<uintptr_t>(record_)));
  if (!record_) {
    Emit(Line("error").Token("op", "record").Text("reason", "export returned null"));
    Release();
    return false;
  }

  LogLine line = Line("record");
  line.Num("version", record_->version);
  std::string description;
  if (ReadText(reinterpret_cast<intptr_t>(record_->description), &description)) {
    line.Text("description", description);
  } else {
    line.Token("description", "unreadable");
  }
  line.Hex("init", reinterpret_cast<uintptr_t>(record_->init))
      .Hex("config", reinterpret_cast<uintptr_t>(record_->config))
      .Hex("quit", reinterpret_cast<uintptr_t>(record_->quit));
  Emit(line);
  if (record_->version != kGenPluginVersion || !record_->init || !record_->quit) {
    Emit(Line("error")
             .Token("op", "record")
             .Text("reason",
                   record_->version != kGenPluginVersion ? "version is not 16" : "missing entry"));
    Release();
    return false;
  }
  record_->hwndParent = host_window;
  record_->hDllInstance = module_;
  return true;
}

void PluginModule::Init() {
  Emit(Line("init").Word("begin"));
  int result = 0;
  const unsigned long ms = Timed(watchdog_, "init", [&] { result = record_->init(); });
  Emit(Line("init").Num("returned", result).Num("ms", ms).Num("threads", CountThreads()));
}

void PluginModule::Config() {
  if (!record_->config) {
    Emit(Line("error").Token("op", "config").Text("reason", "record has no config entry"));
    return;
  }
  Emit(Line("config").Word("begin"));
  const unsigned long ms = Timed(watchdog_, "config", [&] { record_->config(); });
  Emit(Line("config").Word("done").Num("ms", ms));
}

void PluginModule::Quit() {
  quit_called_ = true;
  Emit(Line("quit").Word("begin"));
  const unsigned long ms = Timed(watchdog_, "quit", [&] { record_->quit(); });
  Emit(Line("quit").Word("done").Num("ms", ms).Num("threads", CountThreads()));
}

void PluginModule::Unload() {
  Release();
}

void PluginModule::Release() {
  RememberModuleRange(module_, path_);
  if (FreeLibrary(module_)) {
    Emit(Line("unloaded").Text("path", path_).Num("threads", CountThreads()));
  } else {
    LogError("unload", GetLastError());
  }
  module_ = nullptr;
  export_ = nullptr;
  record_ = nullptr;
  quit_called_ = false;
}

void PluginModule::CallExportAgain() {
  GenPluginRecord* again = export_();
  ++export_calls_;
  Emit(Line("export")
           .Num("call", export_calls_)
           .Token("returned", again ? "non-null" : "null")
           .Hex("record", reinterpret_cast<uintptr_t>(again)));
}

}  // namespace host
