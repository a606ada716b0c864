// Logs every message a plug-in sends or posts to the player's window.
//
// Thread-local hooks on the window's thread see each message before any
// window procedure, so messages answered by a plug-in that subclassed the
// window are logged as well as those the host answers. A sent message is
// logged when it returns, with its result; a posted one when it is taken
// from the queue.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "log_line.h"
#include "message_registry.h"

namespace host {

class MessageLog {
 public:
  explicit MessageLog(const MessageRegistry& registry) : registry_(registry) {}
  ~MessageLog() { Uninstall(); }
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;

  // Installs the hooks on the calling thread, which owns `window`.
  bool Install(HWND window);
  void Uninstall();

  // The host's window procedure calls this for each message it handles, so
  // the log can tell whether the host or a plug-in produced the result.
  void NoteHostHandled(UINT msg, WPARAM wparam, LPARAM lparam);

  // Emits `line` after the log line of the sent message being handled, if
  // any, so effects follow their cause; otherwise at once.
  void EmitAfterMessage(LogLine line);

 private:
  struct Frame {
    UINT msg;
    WPARAM wparam;
    LPARAM lparam;
    bool same_thread;
    DWORD send_flags;
    bool host_handled;
    bool posted;  // a dispatch of a posted message (already logged)
    std::vector<LogLine> effects;
  };

  static bool Watched(UINT msg);
  static LRESULT CALLBACK CallWndProc(int code, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK CallWndRetProc(int code, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK GetMsgProc(int code, WPARAM wparam, LPARAM lparam);

  void OnCall(const CWPSTRUCT& call, bool same_thread);
  void OnReturn(const CWPRETSTRUCT& ret);
  void OnPosted(const MSG& msg);
  LogLine Describe(const char* kind, const char* thread, UINT msg, WPARAM wparam,
                   LPARAM lparam) const;

  const MessageRegistry& registry_;
  HWND window_ = nullptr;
  HHOOK call_hook_ = nullptr;
  HHOOK ret_hook_ = nullptr;
  HHOOK get_hook_ = nullptr;
  std::vector<Frame> frames_;
  bool have_posted_ = false;
  MSG last_posted_ = {};
};

}  // namespace host
