// The stand-in player: its hidden main window, the player model behind the
// window's requests, the plug-in it hosts (and any companions loaded beside
// it) and the commands it takes on standard input.
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "host_options.h"
#include "message_log.h"
#include "message_registry.h"
#include "player_model.h"
#include "player_notices.h"
#include "player_requests.h"
#include "plugin_module.h"
#include "title_timing.h"
#include "watchdog.h"

namespace host {

class HostApp {
 public:
  explicit HostApp(HostOptions options);
  HostApp(const HostApp&) = delete;
  HostApp& operator=(const HostApp&) = delete;

  // Runs until `exit`, end of input or a fatal error; returns the exit code.
  int Run(HINSTANCE instance);

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
  // The player's main window, which plug-ins talk to and may subclass.
  LRESULT PlayerWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
  // A message-only window of the host's own for commands and timers, so
  // that no plug-in's subclass is on the stack when the host unloads it.
  LRESULT ControlWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
  bool CreateWindows(HINSTANCE instance);
  // Tells the window what changed, as the player does.
  void OnNotice(PlayerModel::Notice notice);
  bool ApplyStartOptions();

  // Commands (host_commands.cpp).
  // from_queue: the line was deferred earlier and now runs in turn.
  void Execute(const std::string& line, bool from_queue = false);
  void RunDeferred();
  void Load(const std::string& path);
  void LoadCompanion(const std::string& path);
  void Config();
  void QuitAndUnload();
  // Calls quit at once, even inside another entry point (as from a
  // plug-in's configuration dialog); the unload waits until none runs.
  void QuitNow();
  void QuitAndUnloadLastCompanion();
  // Every plug-in, the last loaded first: each may have subclassed the
  // window over those loaded before it, and takes its subclass off again.
  void QuitAndUnloadAll();
  void SendToPlayer(const std::string& arg);
  void Exit(int code);
  void Finish(int code);
  void Status();
  // `time-titles N`, `latency` and `titles`: the search benchmark's figures.
  bool Measure(const std::string& verb, const std::string& arg);

  // Runs a plug-in entry point; lifecycle commands that arrive meanwhile
  // (from a dialog's message loop) wait until it returns, and so does an
  // unload that `quit now` asked for.
  template <typename Call>
  void InEntry(Call call);

  HostOptions options_;
  Watchdog watchdog_;
  PlayerModel model_;
  MessageRegistry registry_;
  PlayerRequests requests_;
  MessageLog log_;
  PlayerNotices notices_;
  LatencyProbe probe_;
  TitleTally titles_;
  PluginModule plugin_;
  struct Companion {
    std::unique_ptr<PluginModule> module;
    unsigned serial;  // place in the load order
  };
  // Plug-ins beside the main one, in load order; the commands that call
  // into a plug-in (config, quit, export) address the main one only.
  std::vector<Companion> companions_;
  unsigned loads_ = 0;
  unsigned plugin_serial_ = 0;
  HWND window_ = nullptr;
  HWND control_ = nullptr;
  int entry_depth_ = 0;
  // The main plug-in was quit inside an entry point and is unloaded when
  // the outermost one returns.
  bool unload_pending_ = false;
  std::deque<std::string> deferred_;
  bool exiting_ = false;
  bool finished_ = false;
  int exit_code_ = 0;
};

}  // namespace host
