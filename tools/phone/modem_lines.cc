#include "modem_lines.h"

#include <cstdio>
#include <fstream>

namespace quillet::phone {

std::string ModemFileName(std::string_view ptyPath) {
  constexpr std::string_view kPts = "/dev/pts/";
  constexpr std::string_view kDev = "/dev/";
  std::string name;
  if (ptyPath.substr(0, kPts.size()) == kPts) {
    name = "pts-" + std::string(ptyPath.substr(kPts.size()));
  } else if (ptyPath.substr(0, kDev.size()) == kDev) {
    name = std::string(ptyPath.substr(kDev.size()));
  } else {
    name = std::string(ptyPath);
  }
  for (char& c : name) {
    if (c == '/') c = '-';
  }
  return name;
}

ModemLinesFile::ModemLinesFile(std::string directory, std::string_view ptyPath) {
  if (!directory.empty() && directory.back() != '/') directory += '/';
  std::string name = ModemFileName(ptyPath);
  path_ = directory + name;
  temporary_ = directory + "." + name + ".tmp";
}

bool ModemLinesFile::Write(unsigned bits, std::string* error) {
  const std::string& temporary = temporary_;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << bits;
    out.close();
    if (!out) {
      if (error) *error = "cannot write " + temporary;
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
    if (error) *error = "cannot rename " + temporary + " to " + path_;
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace quillet::phone
