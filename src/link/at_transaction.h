#pragma once
// Giving the phone a command: write it, confirm the echo, await the final
// result. Value lines and unsolicited lines stay in the receive buffer, in
// order, for ReadLine.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/link.h"

namespace quillet {

constexpr int kMaxSends = 3;  // a command never echoed is sent at most this often
constexpr std::uint32_t kPauseAfterSendMs = 100;
constexpr std::uint32_t kPauseAfterReadMs = 100;
constexpr std::uint32_t kPauseBetweenTriesMs = 1000;
constexpr std::uint32_t kLongestReplyWaitMs = 10000;  // even while bytes keep coming

struct Reply {
  bool found = false;
  std::string line;    // the reply line without its terminator
  std::size_t at = 0;  // where the line stood in the buffer before it was cut
};

// Writes every byte of `text` to the port; false on failure or a short write.
bool WritePort(Link& link, std::string_view text);
// Starts writing `text` and waits at most `waitMs` for it to go out; a write
// still under way then is cancelled. False when nothing more can be written:
// the write could not start, or could not be ended, so the link's record is
// still the port's.
bool WritePortWithin(Link& link, std::string_view text, std::uint32_t waitMs);

// Waits for a complete line that begins with `prefix` (the echo), or with an
// empty prefix for a final result line, looking at unconsumed text from
// `from` on (the cursor when -1). The line is cut out of the buffer whole.
Reply WaitReply(Link& link, std::string_view prefix, bool wait, int tries, long from = -1);

// The command as it goes on the wire: "\r" "AT" + command "\r".
std::string Framed(std::string_view command);

// Sends "\r" "AT" + command "\r"; true when the phone's final result is "OK".
bool SendCommand(Link& link, std::string_view command);
// The same; `answerEnd` gets where the final result stood in the receive
// buffer: unconsumed lines before it came with the answer, the rest after.
bool SendCommand(Link& link, std::string_view command, std::size_t* answerEnd);

// Sends the command once, even when no echo comes, and waits at most
// `waitMs` for a final result; true when it is "OK". Phone codes that come
// meanwhile are kept as strays.
bool SendCommandOnce(Link& link, std::string_view command, std::uint32_t waitMs);

}  // namespace quillet
