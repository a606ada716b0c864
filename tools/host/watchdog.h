// A thread that watches the host's thread from outside: it reports a plug-in
// entry point that has not returned after a while ("stall"), and ends a run
// that exceeds its time limit even when the host's thread is stuck.
#pragma once

#include <windows.h>

#include <vector>

namespace host {

constexpr int kTimeoutExitCode = 2;

class Watchdog {
 public:
  ~Watchdog();

  // stall_ms 0: no stall reports; timeout_ms 0: no time limit.
  bool Start(unsigned stall_ms, unsigned timeout_ms);
  // Called on the host's thread around each entry point call. Calls nest
  // (`quit now` inside config): leaving one watches the outer one again.
  void Enter(const char* entry);
  void Leave();

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Run();

  unsigned stall_ms_ = 0;
  unsigned timeout_ms_ = 0;
  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;
  struct Frame {
    const char* entry;
    LONG start;
  };
  // The entry points the running one was called inside of; host thread only.
  std::vector<Frame> outer_;
  void* volatile entry_ = nullptr;  // name of the running entry point
  volatile LONG entry_start_ = 0;
  volatile LONG entry_serial_ = 0;
};

}  // namespace host
