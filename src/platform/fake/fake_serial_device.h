#pragma once
// The far end of an in-memory serial port, as a test or the phone model sees
// it: bytes scheduled to arrive at virtual times, the DSR line, and every byte
// the plug-in wrote.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::fake {

struct ScheduledBytes {
  std::uint64_t atMs;
  std::string bytes;
};

struct DsrChange {
  std::uint64_t atMs;
  bool on;
};

class FakeSerialDevice {
 public:
  // Called with each write of the plug-in and the virtual time at which its
  // last byte has left the wire; the peer answers with Deliver/SetDsr.
  using WriteHook = std::function<void(std::string_view bytes, std::uint64_t doneAtMs)>;

  // `mutex` is the platform's: the device is touched from the test's thread
  // and from the thread the logic runs on.
  FakeSerialDevice(std::string name, std::recursive_mutex& mutex)
      : name_(std::move(name)), mutex_(mutex) {}

  const std::string& name() const { return name_; }

  // Bytes that reach the port's receive queue at `atMs`.
  void Deliver(std::string bytes, std::uint64_t atMs);
  void SetDsr(bool on, std::uint64_t atMs);
  void OnWrite(WriteHook hook) { writeHook_ = std::move(hook); }

  bool DsrAt(std::uint64_t atMs) const;
  // Everything the plug-in has written, in order.
  std::string written() const;
  void ClearWritten();
  // A port on the device is open.
  bool isOpen() const;
  std::size_t pendingBytes() const;
  // Unplugged: every operation fails, and bytes on their way are lost.
  void Unplug();
  void Replug() { vanished = false; }

  // Failure switches.
  std::atomic<bool> refuseOpen{false};       // CreateFile fails (absent or busy)
  std::atomic<bool> failModemStatus{false};  // GetCommModemStatus fails
  std::atomic<bool> failWrites{false};       // every write fails
  std::atomic<bool> vanished{false};
  // A wedged driver: reads and writes never end on their own; closing the
  // port ends them, unless `ioOutlivesClose` too.
  std::atomic<bool> hangIo{false};
  std::atomic<bool> ioOutlivesClose{false};

 private:
  friend class FakePlatform;
  std::string name_;
  std::recursive_mutex& mutex_;
  std::deque<ScheduledBytes> incoming_;
  std::vector<std::uint64_t> arrivals_;  // every arrival, for comm-event history
  std::vector<DsrChange> dsr_;
  std::string written_;
  WriteHook writeHook_;
  bool open_ = false;
};

}  // namespace quillet::fake
