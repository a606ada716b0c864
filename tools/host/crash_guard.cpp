#include "crash_guard.h"

#include <vector>

#include "log_sink.h"
#include "process_probe.h"

namespace host {
namespace {

struct ModuleRange {
  uintptr_t base;
  uintptr_t size;
  std::string path;
};

std::vector<ModuleRange> g_unloaded;
DWORD g_main_thread = 0;

const ModuleRange* UnloadedModuleAt(uintptr_t address) {
  for (const ModuleRange& range : g_unloaded) {
    if (address - range.base < range.size) return &range;
  }
  return nullptr;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD& record = *info->ExceptionRecord;
  const uintptr_t address = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
  LogLine line("crash");
  line.Hex("code", record.ExceptionCode).Hex("address", address);
  line.Num("tid", GetCurrentThreadId());
  line.Token("thread", GetCurrentThreadId() == g_main_thread ? "host" : "other");
  if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
    const ULONG_PTR op = record.ExceptionInformation[0];
    line.Token("access", op == 0 ? "read" : op == 1 ? "write" : "execute");
    line.Hex("target", record.ExceptionInformation[1]);
  }
  if (const ModuleRange* range = UnloadedModuleAt(address)) {
    line.Token("in", "unloaded_module").Text("module", range->path);
  } else {
    const std::string name = ModuleNameAt(record.ExceptionAddress);
    if (name.empty()) {
      line.Token("in", "unknown");
    } else {
      line.Token("in", "module").Text("module", name);
    }
  }
  Emit(line);
  TerminateProcess(GetCurrentProcess(), kCrashExitCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void InstallCrashGuard() {
  g_main_thread = GetCurrentThreadId();
  // No error boxes: a crash must end the run, not wait for a click.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(ReportCrash);
}

void RememberModuleRange(HMODULE module, const std::string& path) {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  g_unloaded.push_back({reinterpret_cast<uintptr_t>(module), nt->OptionalHeader.SizeOfImage, path});
}

}  // namespace host
