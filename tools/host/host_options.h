// The host's command line.
#pragma once

#include <string>
#include <vector>

namespace host {

struct HostOptions {
  std::string plugin;  // loaded at start when given
  // Plug-ins loaded beside it, in this order, before it.
  std::vector<std::string> companions;
  std::string playlist;      // playlist file, else a generated list
  bool utf8_titles = false;  // the playlist file's titles are UTF-8
  long long entries = 10;
  long long volume = 200;
  long long position = 0;
  std::string state = "stopped";
  bool video = false;
  bool no_ratings = false;  // a rating set is not kept
  unsigned linger_ms = 0;   // stay this long after unloading on exit
  unsigned timeout_ms = 0;  // end the run after this long, whatever happens
  unsigned stall_ms = 5000;
  bool show_window = false;
  // The message log's hooks stay off; title requests are counted and timed
  // in the window procedure instead.
  bool no_message_log = false;
  unsigned probe_ms = 0;  // post a probe to the window this often (0: none)
  bool read_stdin = true;
  bool help = false;
};

extern const char* const kUsage;

// Strict decimal number, the whole text.
bool ParseNumber(const std::string& text, long long* value);

// False with `error` set when the arguments make no sense.
bool ParseOptions(const std::vector<std::string>& args, HostOptions* options, std::string* error);

}  // namespace host
