// The commands the host takes on standard input, one per line.
#include <windows.h>

#include <cstdint>

#include "dialog_driver.h"
#include "host_app.h"
#include "log_sink.h"
#include "process_probe.h"
#include "thread_dialogs.h"

namespace host {
namespace {

constexpr long long kMaxEntries = 0x7fffffffLL;
constexpr long long kMaxSleepMs = 600000;

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A path may be given in double quotes.
std::string Unquote(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

// Commands that call into the plug-in or end the host.
bool IsLifecycle(const std::string& verb) {
  return verb == "load" || verb == "companion" || verb == "config" || verb == "quit" ||
         verb == "exit" || verb == "export";
}

void Fail(const std::string& verb, const char* reason) {
  Emit(LogLine("error").Text("op", verb).Text("reason", reason));
}

}  // namespace

bool HostApp::Measure(const std::string& verb, const std::string& arg) {
  long long n = 0;
  if (verb == "time-titles") {
    if (!ParseNumber(arg, &n) || n < 1) {
      Fail(verb, "needs a count");
      return true;
    }
    long long same = 0;
    long long other = 0;
    TimeTitleRequests(window_, static_cast<long long>(model_.length()), n, &same, &other);
    Emit(LogLine("time-titles").Num("n", n).Num("same_ns", same).Num("other_ns", other));
  } else if (verb == "latency") {
    const long long longest = probe_.TakeLongestUs(&n);
    Emit(LogLine("latency").Num("longest_us", longest).Num("probes", n));
  } else if (verb == "titles") {
    Emit(LogLine("titles").Num("count", titles_.count()).Num("answer_ns", titles_.answer_ns()));
  } else {
    return false;
  }
  return true;
}

void HostApp::Execute(const std::string& raw, bool from_queue) {
  const std::string line = Trim(raw);
  if (line.empty() || line[0] == '#') return;
  const size_t space = line.find_first_of(" \t");
  const std::string verb = line.substr(0, space);
  const std::string arg = space == std::string::npos ? std::string() : Trim(line.substr(space));

  // `quit now` is what a player may do while an entry point is still
  // running; only the unload waits for it.
  const bool quit_now = verb == "quit" && arg == "now" && entry_depth_ > 0;
  // Lifecycle commands keep their order behind those already waiting.
  if (IsLifecycle(verb) && !quit_now && (entry_depth_ > 0 || (!from_queue && !deferred_.empty()))) {
    Emit(LogLine("cmd").Word("deferred").Text("line", line));
    deferred_.push_back(line);
    // A plug-in's modal dialog would hold the exit back indefinitely.
    if (verb == "exit") CancelThreadDialogs();
    return;
  }
  Emit(LogLine("cmd").Text("line", line));
  if (exiting_ && IsLifecycle(verb)) return Fail(verb, "host is exiting");

  long long n = 0;
  if (verb == "load") {
    if (arg.empty()) return Fail(verb, "needs a path");
    if (plugin_.loaded()) return Fail(verb, "a plug-in is already loaded");
    Load(Unquote(arg));
  } else if (verb == "companion") {
    if (arg.empty()) return Fail(verb, "needs a path");
    LoadCompanion(Unquote(arg));
  } else if (verb == "config") {
    if (!plugin_.loaded()) return Fail(verb, "no plug-in loaded");
    Config();
  } else if (verb == "quit") {
    if (!arg.empty() && arg != "now") return Fail(verb, "takes nothing or now");
    if (!plugin_.loaded()) return Fail(verb, "no plug-in loaded");
    if (plugin_.quit_called()) return Fail(verb, "quit already called");
    if (arg == "now") {
      QuitNow();
    } else {
      QuitAndUnload();
    }
  } else if (verb == "exit") {
    Exit(0);
  } else if (verb == "export") {
    if (!plugin_.loaded()) return Fail(verb, "no plug-in loaded");
    plugin_.CallExportAgain();
  } else if (verb == "volume") {
    if (!ParseNumber(arg, &n)) return Fail(verb, "needs a number");
    model_.SetVolume(n);
  } else if (verb == "position") {
    if (!ParseNumber(arg, &n)) return Fail(verb, "needs a number");
    if (!model_.SetPosition(n)) return Fail(verb, "outside the playlist");
  } else if (verb == "state") {
    PlayState state;
    if (!ParsePlayState(arg, &state)) return Fail(verb, "playing, paused or stopped");
    model_.SetState(state);
  } else if (verb == "entries") {
    if (!ParseNumber(arg, &n) || n < 0 || n > kMaxEntries) return Fail(verb, "needs a count");
    model_.GeneratePlaylist(static_cast<size_t>(n));
  } else if (verb == "playlist") {
    std::string error;
    if (arg.empty()) return Fail(verb, "needs a path");
    if (!model_.LoadPlaylist(Unquote(arg), &error)) return Fail(verb, error.c_str());
  } else if (verb == "video") {
    if (arg != "on" && arg != "off") return Fail(verb, "on or off");
    model_.SetVideo(arg == "on");
  } else if (verb == "next" || verb == "previous") {
    // The player's own buttons, through every subclass.
    if (!arg.empty()) return Fail(verb, "takes nothing");
    SendMessageW(window_, WM_COMMAND, verb == "next" ? kCmdNext : kCmdPrevious, 0);
  } else if (verb == "play") {
    if (!arg.empty() && (!ParseNumber(arg, &n) || !model_.SetPosition(n)))
      return Fail(verb, "an entry of the playlist, or nothing");
    SendMessageW(window_, WM_COMMAND, kCmdPlay, 0);
  } else if (verb == "end") {
    if (!arg.empty()) return Fail(verb, "takes nothing");
    if (!model_.EndItem()) return Fail(verb, "nothing is playing");
  } else if (verb == "shuffle" || verb == "repeat") {
    // The player's own button: the toggle, through every subclass.
    if (!arg.empty()) return Fail(verb, "takes nothing");
    SendMessageW(window_, WM_COMMAND, verb == "shuffle" ? kCmdShuffle : kCmdRepeat, 0);
  } else if (verb == "syscommand") {
    if (!ParseNumber(arg, &n) || n < 0 || n > 0xFFFF) return Fail(verb, "needs an id");
    SendMessageW(window_, WM_SYSCOMMAND, static_cast<WPARAM>(n), 0);
  } else if (verb == "sleep") {
    if (!ParseNumber(arg, &n) || n < 0 || n > kMaxSleepMs) return Fail(verb, "needs milliseconds");
    const unsigned long start = LogClockMs();
    Sleep(static_cast<DWORD>(n));
    Emit(LogLine("sleep").Word("done").Num("ms", LogClockMs() - start));
  } else if (verb == "title-result") {
    std::string error;
    if (!requests_.title_answers().Choose(arg, &error)) return Fail(verb, error.c_str());
    LogLine done("title");
    intptr_t result = 0;
    if (requests_.title_answers().Replacement(&result)) {
      done.Token("answer", arg.c_str()).Num("result", static_cast<long long>(result));
    } else {
      done.Token("answer", "off");
    }
    Emit(done);
  } else if (verb == "send") {
    SendToPlayer(arg);
  } else if (verb == "status") {
    Status();
  } else if (Measure(verb, arg)) {
  } else if (verb == "echo") {
    Emit(LogLine("echo").Text("text", arg));
  } else if (verb == "dialog") {
    RunDialogCommand(arg);
  } else {
    Fail(verb, "unknown command");
  }
}

void HostApp::RunDeferred() {
  while (!deferred_.empty() && entry_depth_ == 0) {
    const std::string line = deferred_.front();
    deferred_.pop_front();
    Execute(line, true);
  }
}

// What the player's own code does when it asks the plug-ins for something:
// a WM_USER sent to its window on its own thread, through every subclass.
void HostApp::SendToPlayer(const std::string& arg) {
  const size_t space = arg.find_first_of(" \t");
  long long wparam = 0;
  long long lparam = 0;
  if (space == std::string::npos || !ParseNumber(arg.substr(0, space), &wparam) ||
      !ParseNumber(Trim(arg.substr(space)), &lparam) || wparam < INT32_MIN || wparam > UINT32_MAX ||
      lparam < INT32_MIN || lparam > UINT32_MAX) {
    return Fail("send", "needs WPARAM and LPARAM (32-bit numbers)");
  }
  const LRESULT result =
      SendMessageW(window_, WM_USER, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam));
  Emit(LogLine("send").Num("result", static_cast<long long>(result)));
}

void HostApp::Status() {
  LogLine line("status");
  line.Token("loaded", plugin_.loaded() ? "yes" : "no");
  if (plugin_.loaded()) line.Text("module", plugin_.path());
  if (!companions_.empty()) line.Num("companions", static_cast<long long>(companions_.size()));
  line.Num("volume", model_.volume())
      .Num("entries", static_cast<long long>(model_.length()))
      .Num("position", static_cast<long long>(model_.position()))
      .Token("state", PlayStateName(model_.state()))
      .Token("video", model_.video() ? "on" : "off")
      .Num("fullscreen", model_.fullscreen_requests())
      .Token("shuffle", model_.shuffle() ? "on" : "off")
      .Token("repeat", model_.repeat() ? "on" : "off")
      .Num("rating", model_.Rating())
      .Num("registered", static_cast<long long>(registry_.size()))
      .Num("threads", CountThreads());
  if (const char* title = model_.Title(model_.position())) line.Text("title", title);
  Emit(line);
}

}  // namespace host
