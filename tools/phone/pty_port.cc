#include "pty_port.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillet::phone {
namespace {

bool Failed(const char* what, std::string* error, PtyPair* pty) {
  *error = std::string(what) + ": " + std::strerror(errno);
  ClosePty(pty);
  return false;
}

}  // namespace

bool OpenRawPty(PtyPair* pty, std::string* error) {
  pty->master = posix_openpt(O_RDWR | O_NOCTTY);
  if (pty->master < 0) return Failed("posix_openpt", error, pty);
  if (grantpt(pty->master) != 0) return Failed("grantpt", error, pty);
  if (unlockpt(pty->master) != 0) return Failed("unlockpt", error, pty);
  const char* name = ptsname(pty->master);
  if (!name) return Failed("ptsname", error, pty);
  pty->slavePath = name;

  pty->slave = open(name, O_RDWR | O_NOCTTY);
  if (pty->slave < 0) return Failed("open slave", error, pty);
  termios settings{};
  if (tcgetattr(pty->slave, &settings) != 0) return Failed("tcgetattr", error, pty);
  cfmakeraw(&settings);
  cfsetispeed(&settings, B9600);
  cfsetospeed(&settings, B9600);
  if (tcsetattr(pty->slave, TCSANOW, &settings) != 0) return Failed("tcsetattr", error, pty);

  int flags = fcntl(pty->master, F_GETFL);
  if (flags < 0 || fcntl(pty->master, F_SETFL, flags | O_NONBLOCK) != 0) {
    return Failed("fcntl", error, pty);
  }
  return true;
}

void ClosePty(PtyPair* pty) {
  if (pty->slave >= 0) close(pty->slave);
  if (pty->master >= 0) close(pty->master);
  pty->slave = -1;
  pty->master = -1;
}

}  // namespace quillet::phone
