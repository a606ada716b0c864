#pragma once
// A link on a fake COM1 with the simulated phone at the far end and a trace
// sink, for tests of the reader, the transactions, the set-up and the monitor.

#include <memory>
#include <string>
#include <vector>

#include "fake_port_phone.h"
#include "link/link.h"
#include "link/phone_link.h"
#include "platform/fake/fake_platform.h"

namespace quillet::testing {

class LinkFixture {
 public:
  explicit LinkFixture(bool wineQuirks = false);

  // Opens COM1 as the set-up would, with its time-outs and link event.
  void OpenPort();
  // Bytes that arrive from the phone, each piece `gapMs` after the previous.
  void Arrive(const std::vector<std::string>& pieces, std::uint32_t gapMs, std::uint64_t atMs = 0);
  std::string Trace() { return os.files["trace.log"]; }
  // The trace as lines without their "\r\n".
  std::vector<std::string> TraceLines();

  // Replaces the port name the way the configuration dialog does.
  void ChangePort(const std::string& name) { ChangePortName(link, portName, name); }

  fake::FakePlatform os;
  FakePortPhone phone;
  Link link;
  std::unique_ptr<Lock> dialogLock;
  std::string portName = "COM1";
  // The virtual time of every read of the port name: one a set-up.
  std::vector<std::uint64_t> portNameReads;
};

}  // namespace quillet::testing
