#include "title_timing.h"

namespace host {

long long PerformanceTicks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

long long TicksToNanoseconds(long long ticks) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  // In two steps, so that a long sum of ticks does not overflow.
  return ticks / frequency.QuadPart * 1000000000LL +
         ticks % frequency.QuadPart * 1000000000LL / frequency.QuadPart;
}

namespace {

constexpr LPARAM kUnicodeTitle = 213;

struct Requests {
  HWND window;
  long long entries;
  long long count;
  long long ticks = 0;
};

void Send(Requests& r) {
  const long long start = PerformanceTicks();
  for (long long i = 0; i < r.count; ++i)
    SendMessageA(r.window, WM_USER, static_cast<WPARAM>(i % r.entries), kUnicodeTitle);
  r.ticks = PerformanceTicks() - start;
}

DWORD WINAPI SendFromThread(void* requests) {
  Send(*static_cast<Requests*>(requests));
  return 0;
}

}  // namespace

void TimeTitleRequests(HWND window, long long entries, long long count, long long* same_ns,
                       long long* other_ns) {
  if (entries < 1) entries = 1;
  if (count < 1) count = 1;
  Requests same{window, entries, count};
  Send(same);
  *same_ns = TicksToNanoseconds(same.ticks) / count;
  Requests other{window, entries, count};
  HANDLE thread = CreateThread(nullptr, 0, SendFromThread, &other, 0, nullptr);
  if (!thread) {
    *other_ns = -1;
    return;
  }
  // Its requests are sent to this thread: serve them while waiting.
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (r != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  CloseHandle(thread);
  *other_ns = TicksToNanoseconds(other.ticks) / count;
}

LatencyProbe::~LatencyProbe() {
  if (!thread_) return;
  SetEvent(stop_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(stop_);
  CloseHandle(arrived_);
}

bool LatencyProbe::Start(HWND window, UINT message, unsigned every_ms) {
  window_ = window;
  message_ = message;
  every_ms_ = every_ms;
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  arrived_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  return thread_ != nullptr;
}

void LatencyProbe::Arrived() {
  if (arrived_) SetEvent(arrived_);
}

long long LatencyProbe::TakeLongestUs(long long* probes) {
  *probes = probes_.exchange(0);
  return longest_us_.exchange(0);
}

DWORD WINAPI LatencyProbe::ThreadMain(void* self) {
  static_cast<LatencyProbe*>(self)->Run();
  return 0;
}

void LatencyProbe::Run() {
  HANDLE waits[2] = {stop_, arrived_};
  while (WaitForSingleObject(stop_, every_ms_) == WAIT_TIMEOUT) {
    const long long start = PerformanceTicks();
    if (!PostMessageA(window_, message_, 0, 0)) continue;
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) return;
    const long long waited = TicksToNanoseconds(PerformanceTicks() - start) / 1000;
    long long longest = longest_us_.load();
    while (waited > longest && !longest_us_.compare_exchange_weak(longest, waited)) {
    }
    ++probes_;
  }
}

}  // namespace host
