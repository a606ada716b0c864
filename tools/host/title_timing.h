// What the search benchmark sets the plug-in's figures against: how long a
// title request takes made on the player's own thread and sent to it from
// another thread, and how long a message posted to the player's window
// waits before the window gets it.
#pragma once

#include <windows.h>

#include <atomic>

namespace host {

// Times `count` Unicode title requests (213, entries 0 .. entries - 1 in
// turn) to `window` from the calling thread, which owns it, then as many
// from a thread of their own; nanoseconds a request, each way.
void TimeTitleRequests(HWND window, long long entries, long long count, long long* same_ns,
                       long long* other_ns);

// Posts `message` to the window every so often and keeps the longest time
// one waited until the window's procedure called Arrived.
class LatencyProbe {
 public:
  LatencyProbe() = default;
  LatencyProbe(const LatencyProbe&) = delete;
  LatencyProbe& operator=(const LatencyProbe&) = delete;
  ~LatencyProbe();

  bool Start(HWND window, UINT message, unsigned every_ms);
  void Arrived();
  // The longest wait since the last call, in microseconds, and the probes.
  long long TakeLongestUs(long long* probes);

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Run();

  HWND window_ = nullptr;
  UINT message_ = 0;
  unsigned every_ms_ = 0;
  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;
  HANDLE arrived_ = nullptr;
  std::atomic<long long> longest_us_{0};
  std::atomic<long long> probes_{0};
};

}  // namespace host
