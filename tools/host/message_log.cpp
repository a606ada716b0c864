#include "message_log.h"

#include <cstdio>

#include "log_sink.h"
#include "process_probe.h"
#include "request_names.h"

namespace host {
namespace {

MessageLog* g_active = nullptr;

// First id of messages registered with RegisterWindowMessage.
constexpr UINT kFirstRegisteredMessage = 0xC000;

}  // namespace

bool MessageLog::Watched(UINT msg) {
  return msg == WM_USER || msg == WM_COMMAND || msg == WM_SYSCOMMAND ||
         msg >= kFirstRegisteredMessage;
}

bool MessageLog::Install(HWND window) {
  window_ = window;
  g_active = this;
  const DWORD thread = GetCurrentThreadId();
  call_hook_ = SetWindowsHookExA(WH_CALLWNDPROC, CallWndProc, nullptr, thread);
  ret_hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, CallWndRetProc, nullptr, thread);
  get_hook_ = SetWindowsHookExA(WH_GETMESSAGE, GetMsgProc, nullptr, thread);
  return call_hook_ && ret_hook_ && get_hook_;
}

void MessageLog::Uninstall() {
  for (HHOOK* hook : {&call_hook_, &ret_hook_, &get_hook_}) {
    if (*hook) UnhookWindowsHookEx(*hook);
    *hook = nullptr;
  }
  if (g_active == this) g_active = nullptr;
}

LRESULT CALLBACK MessageLog::CallWndProc(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION && g_active) {
    g_active->OnCall(*reinterpret_cast<const CWPSTRUCT*>(lparam), wparam != 0);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK MessageLog::CallWndRetProc(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION && g_active) {
    g_active->OnReturn(*reinterpret_cast<const CWPRETSTRUCT*>(lparam));
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK MessageLog::GetMsgProc(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION && wparam == PM_REMOVE && g_active) {
    g_active->OnPosted(*reinterpret_cast<const MSG*>(lparam));
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

void MessageLog::OnPosted(const MSG& msg) {
  // Whatever was taken before has been dispatched by now.
  have_posted_ = false;
  if (msg.hwnd != window_ || !Watched(msg.message)) return;
  have_posted_ = true;
  last_posted_ = msg;
  Emit(Describe("posted", "unknown", msg.message, msg.wParam, msg.lParam));
}

void MessageLog::OnCall(const CWPSTRUCT& call, bool same_thread) {
  if (call.hwnd != window_ || !Watched(call.message)) return;
  Frame frame{call.message, call.wParam, call.lParam, same_thread, InSendMessageEx(nullptr),
              false,        false,       {}};
  // Some systems run the call hooks for a dispatched posted message too; that
  // message was logged when it left the queue.
  if (have_posted_ && frame.send_flags == ISMEX_NOSEND && last_posted_.message == call.message &&
      last_posted_.wParam == call.wParam && last_posted_.lParam == call.lParam) {
    frame.posted = true;
    have_posted_ = false;
  }
  frames_.push_back(std::move(frame));
}

void MessageLog::OnReturn(const CWPRETSTRUCT& ret) {
  if (ret.hwnd != window_ || !Watched(ret.message)) return;
  for (size_t i = frames_.size(); i-- > 0;) {
    Frame& f = frames_[i];
    if (f.msg != ret.message || f.wparam != ret.wParam || f.lparam != ret.lParam) continue;
    Frame frame = std::move(f);
    frames_.erase(frames_.begin() + static_cast<std::ptrdiff_t>(i));
    if (!frame.posted) {
      const char* kind = "sent";
      if (frame.send_flags & ISMEX_NOTIFY) kind = "notify";
      if (frame.send_flags & ISMEX_CALLBACK) kind = "callback";
      LogLine line = Describe(kind, frame.same_thread ? "host" : "monitor", ret.message, ret.wParam,
                              ret.lParam);
      line.Num("result", static_cast<long long>(ret.lResult));
      if (ret.message == WM_USER && ret.lParam == kReqEntryTitle && ret.lResult != 0) {
        std::string title;
        if (ReadText(ret.lResult, &title)) line.Text("text", title);
      }
      if (ret.message == WM_USER && ret.lParam == kReqPlayingFile) {
        std::string path;
        if (ReadText(static_cast<intptr_t>(ret.wParam), &path)) line.Text("text", path);
      }
      line.Token("handler", frame.host_handled ? "host" : "plugin");
      if (frame.send_flags & ISMEX_REPLIED) line.Token("replied", "yes");
      Emit(line);
    }
    for (LogLine& effect : frame.effects) {
      if (frames_.empty()) {
        Emit(std::move(effect));
      } else {
        frames_.back().effects.push_back(std::move(effect));
      }
    }
    return;
  }
}

void MessageLog::NoteHostHandled(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (!frames_.empty()) {
    Frame& f = frames_.back();
    if (f.msg == msg && f.wparam == wparam && f.lparam == lparam) f.host_handled = true;
  }
  if (have_posted_ && last_posted_.message == msg && last_posted_.wParam == wparam &&
      last_posted_.lParam == lparam) {
    have_posted_ = false;
  }
}

void MessageLog::EmitAfterMessage(LogLine line) {
  if (frames_.empty()) {
    Emit(std::move(line));
  } else {
    frames_.back().effects.push_back(std::move(line));
  }
}

LogLine MessageLog::Describe(const char* kind, const char* thread, UINT msg, WPARAM wparam,
                             LPARAM lparam) const {
  LogLine line("msg");
  line.Token("kind", kind).Token("thread", thread);
  const intptr_t wp = static_cast<intptr_t>(wparam);
  const intptr_t lp = static_cast<intptr_t>(lparam);
  if (msg == WM_USER) {
    line.Token("msg", "WM_USER").Num("wparam", wp).Num("lparam", lp);
    const char* name = RequestName(wp, lp);
    if (name) {
      line.Token("name", name);
      if (lp == kReqRegisterName) {
        std::string text;
        if (ReadText(wp, &text)) {
          line.Text("text", text);
        } else {
          line.Token("text_error", "unreadable");
        }
      }
    } else if (const std::string* registered = registry_.NameOf(lp)) {
      line.Token("name", "registered").Text("text", *registered);
    } else {
      line.Token("name", "unknown");
    }
  } else if (msg == WM_COMMAND || msg == WM_SYSCOMMAND) {
    line.Token("msg", msg == WM_COMMAND ? "WM_COMMAND" : "WM_SYSCOMMAND")
        .Num("wparam", wp)
        .Num("lparam", lp);
    line.Token("name", CommandName(LOWORD(wparam)));
  } else {
    char id[16];
    std::snprintf(id, sizeof id, "0x%04X", msg);
    line.Token("msg", id).Num("wparam", wp).Num("lparam", lp).Token("name", "window_message");
    char text[256] = {};
    // Names of registered window messages share the atom table with
    // clipboard formats.
    if (GetClipboardFormatNameA(msg, text, sizeof text) > 0) line.Text("text", text);
  }
  return line;
}

}  // namespace host
