#include "link/phone_link.h"

namespace quillet {

void ClosePort(Platform& os, PhoneLink& link) {
  Handle port = link.port.exchange(kNoHandle);
  if (port == kNoHandle) return;
  os.CloseHandle(port);
  if (link.overlapped.event != kNoHandle) {
    os.CloseHandle(link.overlapped.event);
    link.overlapped.event = kNoHandle;
  }
}

void CloseLink(Platform& os, PhoneLink& link, TraceLog& trace) {
  trace.Close();
  ClosePort(os, link);
}

}  // namespace quillet
