#include "link/port_name.h"

#include "link/line_fields.h"
#include "link/link.h"
#include "link/monitor.h"

namespace quillet {

namespace {

std::string TrimBlanks(const std::string& text) {
  std::size_t first = 0, end = text.size();
  while (first < end && IsBlank(text[first])) ++first;
  while (end > first && IsBlank(text[end - 1])) --end;
  return text.substr(first, end - first);
}

}  // namespace

std::string DevicePath(const std::string& name) {
  if (name.find('\\') != std::string::npos) return name;
  // People write "COM3:" as DOS taught them, or leave a blank about it.
  std::string plain = TrimBlanks(name);
  if (!plain.empty() && plain.back() == ':') plain = TrimBlanks(plain.substr(0, plain.size() - 1));
  if (plain.empty()) return "";
  return "\\\\.\\" + plain;
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
  RequestPortChange(link);
}

}  // namespace quillet
