#pragma once
// A reference model of the link's receive side: the cursor and the text still
// unconsumed after it. Each call replays the port log of one real call and
// predicts its result and the state it leaves, so that every byte the port
// delivered is accounted for: still unconsumed, or skipped, returned or cut
// out exactly where the line rules put it.

#include <cstdint>
#include <string>
#include <string_view>

#include "replay.h"

namespace quillet::fuzzing {

struct ModelReply {
  bool found = false;
  std::string line;
  long at = 0;             // buffer offset where the line began
  std::uint64_t atMs = 0;  // clock when it was found
};

class ReceiveModel {
 public:
  // What the link looks like during the next call.
  bool portOpen = true;
  bool stopping = false;

  long cursor = -1;
  std::string unconsumed;
  bool drained = true;

  std::string ReadLine(Replay& log);
  ModelReply WaitReply(Replay& log, std::string_view prefix, long from, std::uint64_t startMs);
  bool SendCommand(Replay& log, std::string_view command);

 private:
  void Prepare();
  // One read as the link issues it; true when the port brought any byte, with
  // the bytes other than NUL in `kept`.
  bool Read(Replay& log, std::size_t size, std::uint32_t pauseMs, std::string* kept,
            std::uint64_t* nowMs);
};

}  // namespace quillet::fuzzing
