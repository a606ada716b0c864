#pragma once
// The phone's end of a pseudo-terminal: the program serves the master side,
// the plug-in (through Wine's serial port) opens the slave.

#include <string>

namespace quillet::phone {

struct PtyPair {
  int master = -1;  // non-blocking
  int slave = -1;   // held open so the raw line settings outlive the plug-in's closes
  std::string slavePath;
};

// Opens a pair with the slave in raw mode (no echo, no CR/LF translation).
bool OpenRawPty(PtyPair* pty, std::string* error);
void ClosePty(PtyPair* pty);

}  // namespace quillet::phone
