#include "link/phone_link.h"

namespace quillet {

void CloseEvent(Platform& os, Overlapped& ov) {
  if (ov.event != kNoHandle) os.CloseHandle(ov.event);
  ov.event = kNoHandle;
}

void ClosePort(Platform& os, PhoneLink& link) {
  Handle port = link.port.exchange(kNoHandle);
  if (port == kNoHandle) return;
  os.CloseHandle(port);
  CloseEvent(os, link.overlapped);
}

void CloseLink(Platform& os, PhoneLink& link, TraceLog& trace) {
  trace.Close();
  ClosePort(os, link);
}

}  // namespace quillet
