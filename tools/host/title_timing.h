// What the search benchmark sets the plug-in's figures against: how long a
// title request takes made on the player's own thread and sent to it from
// another thread, and how long a message posted to the player's window
// waits before the window gets it.
#pragma once

#include <windows.h>

#include <atomic>

namespace host {

// The performance counter now, and a count of its ticks in nanoseconds.
long long PerformanceTicks();
long long TicksToNanoseconds(long long ticks);

// Times `count` Unicode title requests (213, entries 0 .. entries - 1 in
// turn) to `window` from the calling thread, which owns it, then as many
// from a thread of their own; nanoseconds a request, each way.
void TimeTitleRequests(HWND window, long long entries, long long count, long long* same_ns,
                       long long* other_ns);

// The title requests (212, 213) the player's window answers, counted and
// timed in its window procedure, where the real player answers them with a
// plain function call: how many, and the time the answers took. Who sent
// them cannot be told there: InSendMessage speaks of the outermost message
// sent from another thread, and a plug-in may make its requests on the
// player's thread inside one.
class TitleTally {
 public:
  static bool IsTitleRequest(UINT msg, LPARAM lparam) {
    return msg == WM_USER && (lparam == 212 || lparam == 213);
  }
  template <typename Answer>
  LRESULT Count(Answer answer) {
    const long long start = PerformanceTicks();
    const LRESULT result = answer();
    ticks_ += PerformanceTicks() - start;
    ++count_;
    return result;
  }
  long long count() const { return count_; }
  long long answer_ns() const { return TicksToNanoseconds(ticks_); }

 private:
  long long count_ = 0;
  long long ticks_ = 0;
};

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
