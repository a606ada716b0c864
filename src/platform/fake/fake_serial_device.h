#pragma once
// The far end of an in-memory serial port, as a test or the phone model sees
// it: bytes scheduled to arrive at virtual times, the DSR line, and every byte
// the plug-in wrote.

#include <cstdint>
#include <deque>
#include <functional>
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

  explicit FakeSerialDevice(std::string name) : name_(std::move(name)) {}

  const std::string& name() const { return name_; }

  // Bytes that reach the port's receive queue at `atMs`.
  void Deliver(std::string bytes, std::uint64_t atMs);
  void SetDsr(bool on, std::uint64_t atMs);
  void OnWrite(WriteHook hook) { writeHook_ = std::move(hook); }

  bool DsrAt(std::uint64_t atMs) const;
  // Everything the plug-in has written, in order.
  const std::string& written() const { return written_; }
  void ClearWritten() { written_.clear(); }
  std::size_t pendingBytes() const;

  // Failure switches.
  bool refuseOpen = false;       // CreateFile fails (absent or busy)
  bool failModemStatus = false;  // GetCommModemStatus fails
  bool failWrites = false;       // every write fails
  bool vanished = false;         // unplugged: every operation fails

 private:
  friend class FakePlatform;
  std::string name_;
  std::deque<ScheduledBytes> incoming_;
  std::vector<std::uint64_t> arrivals_;  // every arrival, for comm-event history
  std::vector<DsrChange> dsr_;
  std::string written_;
  WriteHook writeHook_;
  bool open_ = false;
};

}  // namespace quillet::fake
