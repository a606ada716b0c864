#include "stdin_reader.h"

#include <cstring>
#include <string>

namespace host {
namespace {

void PostLine(HWND window, const std::string& line) {
  char* copy = new char[line.size() + 1];
  std::memcpy(copy, line.c_str(), line.size() + 1);
  if (!PostMessageA(window, kLineMessage, 0, reinterpret_cast<LPARAM>(copy))) delete[] copy;
}

DWORD WINAPI ReadInput(void* context) {
  HWND window = static_cast<HWND>(context);
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  std::string pending;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    pending.append(buffer, got);
    size_t start = 0;
    for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      size_t stop = end;
      if (stop > start && pending[stop - 1] == '\r') --stop;
      PostLine(window, pending.substr(start, stop - start));
    }
    pending.erase(0, start);
  }
  if (!pending.empty()) PostLine(window, pending);
  PostMessageA(window, kEndOfInput, 0, 0);
  return 0;
}

}  // namespace

bool StartStdinReader(HWND window) {
  HANDLE thread = CreateThread(nullptr, 0, ReadInput, window, 0, nullptr);
  if (!thread) return false;
  CloseHandle(thread);
  return true;
}

}  // namespace host
