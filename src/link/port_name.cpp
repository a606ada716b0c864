#include "link/port_name.h"

#include "link/link.h"
#include "link/monitor.h"

namespace quillet {

std::string DevicePath(const std::string& name) {
  if (name.find('\\') != std::string::npos) return name;
  return "\\\\.\\" + name;
}

std::string ReadPortName(const Link& link, const std::string& stored) {
  LockGuard guard(link.dialogLock);
  return stored;
}

void ChangePortName(Link& link, std::string& stored, const std::string& name) {
  {
    LockGuard guard(link.dialogLock);
    if (stored == name) return;
    stored = name;
  }
  // Outside the lock: waking the thread must never wait on anything it holds.
  RequestReconnect(link);
}

}  // namespace quillet
