#include "host_options.h"

#include <cerrno>
#include <cstdlib>

#include "player_model.h"

namespace host {

const char* const kUsage =
    "usage: quillet-host [options] [PLUGIN.dll]\n"
    "  --companion DLL    also load this plug-in, before PLUGIN.dll (repeatable)\n"
    "  --playlist FILE    playlist from a text or .m3u file\n"
    "  --utf8-titles      the playlist file's titles are UTF-8 (ANSI titles through the code "
    "page)\n"
    "  --entries N        generated playlist \"Track 1\" .. \"Track N\" (default 10)\n"
    "  --volume N         initial volume 0..255 (default 200)\n"
    "  --position N       initial playlist position, 0-based (default 0)\n"
    "  --state S          playing, paused or stopped (default stopped)\n"
    "  --video on|off     initial video window state (default off)\n"
    "  --no-ratings       a player that keeps no ratings: a rating set is not kept\n"
    "  --linger MS        on exit, keep running MS ms after unloading the plug-in\n"
    "  --timeout MS       end the run (exit code 2) after MS ms\n"
    "  --stall-ms MS      report an entry point still running after MS ms (0: never)\n"
    "  --no-stdin         do not read commands from standard input\n"
    "  --no-message-log   no hooks on the player's window (no `msg` lines); title\n"
    "                     requests (212, 213) counted and timed where answered\n"
    "  --probe-ms MS      post a probe to the player's window every MS ms and keep\n"
    "                     the longest it waited (command `latency`)\n"
    "  --show             show the host window\n";

bool ParseNumber(const std::string& text, long long* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size()) return false;
  *value = v;
  return true;
}

namespace {

bool ParseMs(const std::string& text, unsigned* ms) {
  long long v = 0;
  if (!ParseNumber(text, &v) || v < 0 || v > 0x7fffffffLL) return false;
  *ms = static_cast<unsigned>(v);
  return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, HostOptions* options, std::string* error) {
  bool have_entries = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--show") {
      options->show_window = true;
    } else if (arg == "--no-stdin") {
      options->read_stdin = false;
    } else if (arg == "--no-message-log") {
      options->no_message_log = true;
    } else if (arg == "--companion") {
      if (!value(&v)) return false;
      options->companions.push_back(v);
    } else if (arg == "--no-ratings") {
      options->no_ratings = true;
    } else if (arg == "--utf8-titles") {
      options->utf8_titles = true;
    } else if (arg == "--playlist") {
      if (!value(&options->playlist)) return false;
    } else if (arg == "--entries") {
      if (!value(&v)) return false;
      if (!ParseNumber(v, &options->entries) || options->entries < 0) {
        *error = "--entries needs a count";
        return false;
      }
      have_entries = true;
    } else if (arg == "--volume") {
      if (!value(&v) || !ParseNumber(v, &options->volume)) {
        *error = "--volume needs a number";
        return false;
      }
    } else if (arg == "--position") {
      if (!value(&v) || !ParseNumber(v, &options->position)) {
        *error = "--position needs a number";
        return false;
      }
    } else if (arg == "--state") {
      if (!value(&options->state)) return false;
      PlayState state;
      if (!ParsePlayState(options->state, &state)) {
        *error = "--state is playing, paused or stopped";
        return false;
      }
    } else if (arg == "--video") {
      if (!value(&v)) return false;
      if (v != "on" && v != "off") {
        *error = "--video is on or off";
        return false;
      }
      options->video = v == "on";
    } else if (arg == "--linger" || arg == "--timeout" || arg == "--stall-ms" ||
               arg == "--probe-ms") {
      unsigned* target = arg == "--linger"     ? &options->linger_ms
                         : arg == "--timeout"  ? &options->timeout_ms
                         : arg == "--probe-ms" ? &options->probe_ms
                                               : &options->stall_ms;
      if (!value(&v) || !ParseMs(v, target)) {
        *error = arg + " needs milliseconds";
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (options->plugin.empty()) {
      options->plugin = arg;
    } else {
      *error = "more than one plug-in given";
      return false;
    }
  }
  if (have_entries && !options->playlist.empty()) {
    *error = "--entries and --playlist exclude each other";
    return false;
  }
  return true;
}

}  // namespace host
