#include "link/line_reader.h"

#include "link/port_io.h"

namespace quillet {

std::string ReadLine(Link& link, bool wait) {
  ReceiveBuffer& rx = link.rx;
  std::string line;
  rx.Prepare();
  // Terminators left behind by earlier lines, only at the start of a call.
  while (rx.bytes[rx.cursor] == '\r' || rx.bytes[rx.cursor] == '\n') ++rx.cursor;
  for (;;) {
    if (rx.AtEnd()) {
      ReadOutcome read = ReadPort(link, rx.bytes, ReceiveBuffer::kMaxRead, wait, 0);
      if (read.brought) rx.cursor = 0;
      if (read.brought && read.kept == 0 && !link.stopping()) continue;  // only NULs came
      if (read.kept == 0) {
        link.trace.WriteTrace(line, kTraceTimeout);
        rx.drained = true;
        return line;
      }
    }
    char c = rx.bytes[rx.cursor];
    if (c == '\n' || c == '\r') {
      ++rx.cursor;
      if (c == '\r' && rx.bytes[rx.cursor] == '\n') ++rx.cursor;
      link.trace.WriteTrace(line, kTraceGot);
      link.lastLineMs = link.os.NowMs();
      rx.drained = rx.AtEnd();
      return line;
    }
    line.push_back(c);
    ++rx.cursor;
  }
}

}  // namespace quillet
