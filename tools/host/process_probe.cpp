#include "process_probe.h"

#include <tlhelp32.h>

#include <cstring>

namespace host {

int CountThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  const DWORD pid = GetCurrentProcessId();
  int count = 0;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == pid) ++count;
    entry.dwSize = sizeof entry;
  }
  CloseHandle(snapshot);
  return count;
}

std::string ErrorText(DWORD code) {
  char* buffer = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = n && buffer ? std::string(buffer, n) : std::string();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

size_t ReadableBytes(intptr_t address, size_t limit) {
  const auto start = static_cast<uintptr_t>(address);
  uintptr_t end = start;
  MEMORY_BASIC_INFORMATION region;
  while (end - start < limit &&
         VirtualQuery(reinterpret_cast<const void*>(end), &region, sizeof region) != 0) {
    const DWORD access = region.Protect & 0xFF;
    const bool readable = region.State == MEM_COMMIT && !(region.Protect & PAGE_GUARD) &&
                          access != PAGE_NOACCESS && access != PAGE_EXECUTE;
    const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    if (!readable || regionEnd <= end) break;
    end = regionEnd;
  }
  return end - start < limit ? end - start : limit;
}

bool ReadText(intptr_t address, std::string* text, size_t limit) {
  // Asks the system rather than touching the memory (as IsBadStringPtr
  // would), so a guard page stays armed for whoever was meant to meet it.
  const size_t readable = address == 0 ? 0 : ReadableBytes(address, limit);
  if (readable == 0) return false;
  const char* p = reinterpret_cast<const char*>(address);
  text->assign(p, strnlen(p, readable));
  return true;
}

std::string ModuleNameAt(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<const char*>(address), &module)) {
    return std::string();
  }
  char name[MAX_PATH] = {};
  GetModuleFileNameA(module, name, sizeof name);
  return name;
}

}  // namespace host
