#pragma once
// Publishes the phone's modem lines for the serial-port stand-in of the Wine
// rig: for pty slave /dev/pts/N the file DIR/pts-N holds the lines as a
// decimal number of Linux TIOCM_* bits, replaced atomically on every change.

#include <string>
#include <string_view>

namespace quillet::phone {

// Linux <asm-generic/termios.h> values; the program checks them against the
// system headers.
constexpr unsigned kTiocmCar = 0x040;
constexpr unsigned kTiocmCts = 0x020;
constexpr unsigned kTiocmDsr = 0x100;

// A phone that is there raises DSR together with CTS and carrier detect.
constexpr unsigned ModemBits(bool dsr) {
  return dsr ? kTiocmDsr | kTiocmCts | kTiocmCar : 0;
}

// "pts-5" for "/dev/pts/5"; other device paths lose their leading "/dev/"
// and have their remaining slashes turned into '-'.
std::string ModemFileName(std::string_view ptyPath);

class ModemLinesFile {
 public:
  ModemLinesFile(std::string directory, std::string_view ptyPath);
  const std::string& path() const { return path_; }
  // Writes a temporary file beside the target and renames it over the target.
  bool Write(unsigned bits, std::string* error);

 private:
  std::string path_;
  std::string temporary_;  // hidden, in the same directory so that rename is atomic
};

}  // namespace quillet::phone
