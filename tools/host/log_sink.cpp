#include "log_sink.h"

#include <windows.h>

#include <string>

namespace host {
namespace {

// The performance counter: the tick count moves in coarse steps.
LARGE_INTEGER g_start = {};
LARGE_INTEGER g_frequency = {};

}  // namespace

void StartLogClock() {
  QueryPerformanceFrequency(&g_frequency);
  QueryPerformanceCounter(&g_start);
}

unsigned long LogClockMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  if (g_frequency.QuadPart == 0) return 0;
  return static_cast<unsigned long>((now.QuadPart - g_start.QuadPart) * 1000 /
                                    g_frequency.QuadPart);
}

void Emit(LogLine line) {
  line.Num("t", LogClockMs());
  std::string text = line.str();
  text += '\n';
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace host
