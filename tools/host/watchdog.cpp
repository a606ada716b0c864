#include "watchdog.h"

#include "log_sink.h"

namespace host {
namespace {

constexpr DWORD kPollMs = 100;

}  // namespace

Watchdog::~Watchdog() {
  if (thread_) {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (stop_) CloseHandle(stop_);
}

bool Watchdog::Start(unsigned stall_ms, unsigned timeout_ms) {
  stall_ms_ = stall_ms;
  timeout_ms_ = timeout_ms;
  if (stall_ms_ == 0 && timeout_ms_ == 0) return true;
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  return stop_ && thread_;
}

void Watchdog::Enter(const char* entry) {
  if (const char* running = static_cast<const char*>(entry_)) {
    outer_.push_back({running, entry_start_});
  }
  InterlockedExchange(&entry_start_, static_cast<LONG>(LogClockMs()));
  InterlockedIncrement(&entry_serial_);
  InterlockedExchangePointer(&entry_, const_cast<char*>(entry));
}

void Watchdog::Leave() {
  if (outer_.empty()) {
    InterlockedExchangePointer(&entry_, nullptr);
    return;
  }
  const Frame outer = outer_.back();
  outer_.pop_back();
  // A new serial restarts the reports, counted from the outer one's start.
  InterlockedExchange(&entry_start_, outer.start);
  InterlockedIncrement(&entry_serial_);
  InterlockedExchangePointer(&entry_, const_cast<char*>(outer.entry));
}

DWORD WINAPI Watchdog::ThreadMain(void* self) {
  static_cast<Watchdog*>(self)->Run();
  return 0;
}

void Watchdog::Run() {
  LONG reported_serial = 0;
  unsigned long next_report = 0;
  while (WaitForSingleObject(stop_, kPollMs) == WAIT_TIMEOUT) {
    const unsigned long now = LogClockMs();
    if (timeout_ms_ && now >= timeout_ms_) {
      Emit(LogLine("host").Word("timeout").Num("limit_ms", timeout_ms_));
      TerminateProcess(GetCurrentProcess(), kTimeoutExitCode);
    }
    const char* entry = static_cast<const char*>(entry_);
    if (!stall_ms_ || !entry) continue;
    const LONG serial = entry_serial_;
    const unsigned long running = now - static_cast<unsigned long>(entry_start_);
    if (serial != reported_serial) {
      reported_serial = serial;
      next_report = stall_ms_;
    }
    if (running >= next_report) {
      Emit(LogLine("stall").Token("entry", entry).Num("ms", running));
      next_report += stall_ms_;
    }
  }
}

}  // namespace host
