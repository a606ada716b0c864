#include "link_fixture.h"

namespace quillet::testing {

LinkFixture::LinkFixture(bool wineQuirks) : phone(os), link(os), dialogLock(os.CreateLock()) {
  os.wineQuirks = wineQuirks;
  link.SetDialogLock(dialogLock.get());
  link.portName = [this] {
    portNameReads.push_back(os.VirtualMs());
    return ReadPortName(link, portName);
  };
  link.trace.Attach(os.OpenAppendFile("trace.log"));
}

void LinkFixture::OpenPort() {
  link.state.port = os.OpenPort("COM1");
  os.SetPortTimeouts(link.state.port, kPortTimeouts);
  link.state.overlapped.event = os.CreateEvent(nullptr);
}

void LinkFixture::Arrive(const std::vector<std::string>& pieces, std::uint32_t gapMs,
                         std::uint64_t atMs) {
  std::uint64_t at = atMs;
  for (const auto& piece : pieces) {
    phone.device().Deliver(piece, at);
    at += gapMs;
  }
}

std::vector<std::string> LinkFixture::TraceLines() {
  std::vector<std::string> lines;
  std::string text = Trace();
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    // A traced text may itself hold "\r\n"; lines are split at the pair anyway.
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

}  // namespace quillet::testing
