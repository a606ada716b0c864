#include "host_app.h"

#include <memory>

#include "crash_guard.h"
#include "log_sink.h"
#include "process_probe.h"
#include "request_names.h"
#include "stdin_reader.h"

namespace host {
namespace {

// Registered with the wide-character functions, as the player's is: a
// plug-in that subclasses it with the narrow ones then gets its messages
// converted, and any mix-up of the two shows.
constexpr const wchar_t* kWindowClass = L"Winamp v1.x";
constexpr const wchar_t* kWindowTitle = L"Quillet host";
constexpr const wchar_t* kControlClass = L"QuilletHostControl";
constexpr UINT kRunDeferredMessage = WM_APP + 3;
// Posted to the player's window by the latency probe.
constexpr UINT kProbeMessage = WM_APP + 4;
constexpr UINT_PTR kLingerTimer = 1;
constexpr int kWindowExitCode = 4;

// The one host; window procedures find it here rather than in window data,
// which a plug-in may use on the player's window.
HostApp* g_app = nullptr;

void LogError(const char* op) {
  const DWORD code = GetLastError();
  Emit(LogLine("error").Token("op", op).Num("code", code).Text("reason", ErrorText(code)));
}

}  // namespace

HostApp::HostApp(HostOptions options)
    : options_(std::move(options)),
      requests_(model_, registry_,
                [](intptr_t address, std::string* text) { return ReadText(address, text); }),
      log_(registry_),
      plugin_(watchdog_) {}

bool HostApp::ApplyStartOptions() {
  model_.SetUtf8Titles(options_.utf8_titles);
  if (!options_.playlist.empty()) {
    std::string error;
    if (!model_.LoadPlaylist(options_.playlist, &error)) {
      Emit(LogLine("error")
               .Token("op", "playlist")
               .Text("reason", error)
               .Text("path", options_.playlist));
      return false;
    }
  } else {
    model_.GeneratePlaylist(static_cast<size_t>(options_.entries));
  }
  model_.SetVolume(options_.volume);
  model_.SetPosition(options_.position);
  PlayState state = PlayState::kStopped;
  ParsePlayState(options_.state, &state);
  model_.SetState(state);
  model_.SetVideo(options_.video);
  model_.SetKeepsRatings(!options_.no_ratings);
  return true;
}

bool HostApp::CreateWindows(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = StaticWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&wc)) {
    LogError("register_class");
    return false;
  }
  wc.lpszClassName = kControlClass;
  if (!RegisterClassExW(&wc)) {
    LogError("register_class");
    return false;
  }
  control_ = CreateWindowExW(0, kControlClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                             nullptr);
  if (!control_) {
    LogError("create_window");
    return false;
  }
  window_ = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                            CW_USEDEFAULT, 275, 116, nullptr, nullptr, instance, nullptr);
  if (!window_) {
    LogError("create_window");
    return false;
  }
  if (options_.show_window) ShowWindow(window_, SW_SHOWNOACTIVATE);
  return true;
}

int HostApp::Run(HINSTANCE instance) {
  g_app = this;
  InstallCrashGuard();
  if (!ApplyStartOptions()) return 1;
  if (!CreateWindows(instance)) return kWindowExitCode;
  if (!options_.no_message_log && !log_.Install(window_)) LogError("hooks");
  if (options_.probe_ms > 0 && !probe_.Start(window_, kProbeMessage, options_.probe_ms))
    LogError("probe");
  requests_.SetCommandSender([this](int id) { SendMessageW(window_, WM_COMMAND, id, 0); });
  notices_.SetWindow(window_);
  model_.SetNoticeListener([this](PlayerModel::Notice notice) { OnNotice(notice); });
  model_.SetNextQuestion(
      [this] { return static_cast<long long>(SendMessageW(window_, WM_USER, 0, kReqNextItem)); });
  model_.SetAdvanceListener([this](const PlayerModel::AdvanceChoice& choice) {
    log_.EmitAfterMessage(LogLine("advance")
                              .Token("cause", choice.cause)
                              .Num("answer", choice.answer)
                              .Token("by", choice.by)
                              .Num("entry", choice.entry));
  });
  model_.SetListener([this](const char* field, const std::string& value) {
    log_.EmitAfterMessage(LogLine("player").Token(field, value.c_str()));
  });
  watchdog_.Start(options_.stall_ms, options_.timeout_ms);
  Emit(LogLine("host")
           .Word("ready")
           .Num("pid", GetCurrentProcessId())
           .Num("tid", GetCurrentThreadId())
           .Hex("window", reinterpret_cast<uintptr_t>(window_))
           .Num("threads", CountThreads()));
  Status();
  for (const std::string& path : options_.companions) LoadCompanion(path);
  if (!options_.plugin.empty()) Load(options_.plugin);
  if (options_.read_stdin && !StartStdinReader(control_)) LogError("stdin");

  MSG msg;
  BOOL got;
  // Once finished, messages still queued are left alone: "host exit" is
  // the last line of a run.
  while (!finished_ && (got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  log_.Uninstall();
  DestroyWindow(window_);
  DestroyWindow(control_);
  return exit_code_;
}

void HostApp::OnNotice(PlayerModel::Notice notice) {
  using Notice = PlayerModel::Notice;
  switch (notice) {
    case Notice::kItemStarted:
      notices_.SendPlayingFile(model_.Path(model_.position()), model_.WidePath(model_.position()));
      notices_.Post(kMiscTitle);
      notices_.Post(kMiscStatus);
      break;
    case Notice::kStopped:
      notices_.Post(kMiscTitle);
      notices_.Post(kMiscStatus);
      break;
    case Notice::kPaused:
      notices_.Post(kMiscTitle);
      notices_.Post(kMiscStatus);
      notices_.Post(kMiscPause);
      break;
    case Notice::kUnpaused:
      notices_.Post(kMiscStatus);
      notices_.Post(kMiscUnpause);
      break;
    case Notice::kVolume:
      notices_.Post(kMiscVolume);
      break;
    case Notice::kRating:
      notices_.Post(kMiscTitleRating);
      break;
    case Notice::kPlaylist: {
      // The player tells of each change: the list cleared, then each entry
      // added (a long list's first ones and one for the rest).
      constexpr size_t kTold = 32;
      const size_t added = model_.length();
      notices_.SendPlaylistModified();
      for (size_t i = 0; i < added && i < kTold; ++i) notices_.SendPlaylistModified();
      if (added > kTold) notices_.SendPlaylistModified();
      break;
    }
  }
}

LRESULT CALLBACK HostApp::StaticWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  HostApp* self = g_app;
  if (!self) return DefWindowProcW(window, msg, wparam, lparam);
  if (window == self->control_) return self->ControlWindowProc(window, msg, wparam, lparam);
  return self->PlayerWindowProc(window, msg, wparam, lparam);
}

LRESULT HostApp::PlayerWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_USER:
      log_.NoteHostHandled(msg, wparam, lparam);
      if (options_.no_message_log && TitleTally::IsTitleRequest(msg, lparam)) {
        return titles_.Count([&] {
          return requests_.Answer(static_cast<intptr_t>(wparam), static_cast<intptr_t>(lparam));
        });
      }
      return requests_.Answer(static_cast<intptr_t>(wparam), static_cast<intptr_t>(lparam));
    case WM_COMMAND:
      log_.NoteHostHandled(msg, wparam, lparam);
      model_.ApplyCommand(LOWORD(wparam));
      return 0;
    case WM_SYSCOMMAND:
      // The shuffle and repeat toggles also come from the window's system
      // menu; everything else is the system's.
      if (LOWORD(wparam) == kCmdShuffle || LOWORD(wparam) == kCmdRepeat) {
        log_.NoteHostHandled(msg, wparam, lparam);
        model_.ApplyCommand(LOWORD(wparam));
        return 0;
      }
      return DefWindowProcW(window, msg, wparam, lparam);
    case WM_CLOSE:
      // The host ends through its `exit` command only.
      return 0;
    case kProbeMessage:
      probe_.Arrived();
      return 0;
    default:
      if (msg >= 0xC000) log_.NoteHostHandled(msg, wparam, lparam);
      return DefWindowProcW(window, msg, wparam, lparam);
  }
}

LRESULT HostApp::ControlWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case kLineMessage: {
      std::unique_ptr<char[]> line(reinterpret_cast<char*>(lparam));
      Execute(line.get());
      return 0;
    }
    case kEndOfInput:
      Emit(LogLine("stdin").Word("eof"));
      if (!exiting_) Execute("exit");
      return 0;
    case kRunDeferredMessage:
      RunDeferred();
      return 0;
    case WM_TIMER:
      if (wparam == kLingerTimer) {
        KillTimer(window, kLingerTimer);
        Finish(exit_code_);
      }
      return 0;
    default:
      return DefWindowProcW(window, msg, wparam, lparam);
  }
}

template <typename Call>
void HostApp::InEntry(Call call) {
  ++entry_depth_;
  call();
  --entry_depth_;
  if (entry_depth_ > 0) return;
  if (unload_pending_) {
    unload_pending_ = false;
    plugin_.Unload();
  }
  if (!deferred_.empty()) PostMessageW(control_, kRunDeferredMessage, 0, 0);
}

void HostApp::Load(const std::string& path) {
  if (!plugin_.Load(path, window_)) return;
  plugin_serial_ = ++loads_;
  InEntry([&] { plugin_.Init(); });
}

void HostApp::LoadCompanion(const std::string& path) {
  auto companion = std::make_unique<PluginModule>(watchdog_, PluginModule::Role::kCompanion);
  if (!companion->Load(path, window_)) return;
  companions_.push_back({std::move(companion), ++loads_});
  PluginModule& loaded = *companions_.back().module;
  InEntry([&] { loaded.Init(); });
}

void HostApp::Config() {
  InEntry([&] { plugin_.Config(); });
}

void HostApp::QuitAndUnload() {
  InEntry([&] { plugin_.Quit(); });
  plugin_.Unload();
}

void HostApp::QuitNow() {
  InEntry([&] { plugin_.Quit(); });
  // Plug-in code, the entry point that is still running, is on the stack.
  if (entry_depth_ > 0) {
    unload_pending_ = true;
    Emit(LogLine("unload").Word("deferred"));
    return;
  }
  plugin_.Unload();
}

void HostApp::QuitAndUnloadLastCompanion() {
  std::unique_ptr<PluginModule> companion = std::move(companions_.back().module);
  companions_.pop_back();
  InEntry([&] { companion->Quit(); });
  companion->Unload();
}

void HostApp::QuitAndUnloadAll() {
  for (;;) {
    const bool companion_next =
        !companions_.empty() && (!plugin_.loaded() || companions_.back().serial > plugin_serial_);
    if (companion_next) {
      QuitAndUnloadLastCompanion();
    } else if (plugin_.loaded()) {
      QuitAndUnload();
    } else {
      return;
    }
  }
}

void HostApp::Exit(int code) {
  exit_code_ = code;
  exiting_ = true;
  QuitAndUnloadAll();
  if (options_.linger_ms > 0) {
    Emit(LogLine("host").Word("linger").Num("ms", options_.linger_ms));
    SetTimer(control_, kLingerTimer, options_.linger_ms, nullptr);
    return;
  }
  Finish(code);
}

void HostApp::Finish(int code) {
  Emit(LogLine("host").Word("exit").Num("code", code).Num("threads", CountThreads()));
  finished_ = true;
  PostQuitMessage(code);
}

}  // namespace host
