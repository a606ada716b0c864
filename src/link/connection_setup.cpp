#include "link/connection_setup.h"

#include "link/at_transaction.h"
#include "link/call_list.h"
#include "link/call_status.h"
#include "link/charset_setup.h"
#include "link/line_reader.h"
#include "link/line_router.h"
#include "link/menu_registration.h"
#include "link/phone_commands.h"
#include "link/phone_watch.h"
#include "link/port_io.h"

namespace quillet {
namespace {

// Sends the commands that prepare the phone; true when the menu was registered.
bool PreparePhone(Link& link) {
  bool menusAvailable = RegisterMenu(link);
  link.trace.WriteTrace(menusAvailable ? "menus available" : "menus not available", kTraceInfo);
  if (!SendCommand(link, phone::kIndications)) SendCommand(link, phone::kIndicationsFallback);
  SendCommand(link, phone::kErrorReporting);
  while (!link.rx.drained && !link.stopping()) KeepStray(link, ReadLine(link, false));
  return menusAvailable;
}

// One more transaction after the set-up; a phone without call monitoring
// refuses it, and the link goes on without calls. One that accepts is asked
// which calls are going on: a call may have begun or ended while no link was
// there to hear it.
void AskForCallReports(Link& link) {
  link.callsReported = SendCommand(link, phone::kCallMonitoringOn);
  link.trace.WriteTrace(link.callsReported ? "calls reported" : "calls not reported", kTraceInfo);
  if (!link.callsReported || link.stopping()) return;
  // What came before is older than the list, which answers it.
  ApplyStrayCallReports(link);
  ListCalls(link);
}

std::string ConnectedStatus(Link& link, bool menusAvailable) {
  SendCommand(link, phone::kManufacturer);
  std::string status = kStatusConnected + ReadValueLine(link);
  SendCommand(link, phone::kModel);
  status += " " + ReadValueLine(link) + ".";
  if (!menusAvailable) status += kStatusNoMenus;
  return status;
}

}  // namespace

std::string ReadValueLine(Link& link) {
  // A phone that sends nothing but blank lines must not hold the set-up, nor
  // a stop, for ever.
  const std::uint32_t startedAt = link.os.NowMs();
  std::string value;
  while (value.empty() && !link.rx.drained && !link.stopping() &&
         ElapsedMs(startedAt, link.os.NowMs()) < kLongestReplyWaitMs) {
    value = ReadLine(link, false);
    if (IsPhoneCode(value)) {
      KeepStray(link, value);
      value.clear();
    }
  }
  return value;
}

void OnInit(Link& link, bool calledByMonitor) {
  if (link.beforeSetUp) link.beforeSetUp();
  link.callsReported = false;
  link.strays.clear();
  link.strayKeysSilenced = false;
  link.charset = PhoneCharset::kNone;
  const std::string portName = link.portName();
  if (portName == kPortDisabled) {
    link.status.SetStatus(kStatusDisabled);
    link.state.connected = false;
    return;
  }
  link.trace.WriteTrace(calledByMonitor ? "OnInit called by MonitorDevice" : "OnInit started",
                        kTraceInfo);
  ClosePort(link.os, link.state);
  link.state.connected = false;

  link.state.overlapped = Overlapped{};
  link.state.overlapped.event = link.os.CreateEvent(nullptr);
  const std::string path = DevicePath(portName);
  Handle port = path.empty() ? kNoHandle : link.os.OpenPort(path);
  if (port == kNoHandle) {
    CloseEvent(link.os, link.state.overlapped);
    link.status.SetStatus(kStatusPortBusy);
    return;
  }
  link.state.port = port;
  link.trace.WriteTrace("comport open.", kTraceInfo);
  link.os.SetPortTimeouts(port, kPortTimeouts);
  link.os.SetLineSettings(port, kLineSettings);
  link.os.ResetEvent(link.state.overlapped.event);
  link.state.connected = DsrIsOn(link);

  std::string status = kStatusStandingBy;
  if (link.state.connected) {
    bool menusAvailable = PreparePhone(link);
    status = ConnectedStatus(link, menusAvailable);
  }
  link.status.SetStatus(status);
  if (link.state.connected && link.callEvents != nullptr && !link.stopping())
    AskForCallReports(link);
  if (link.state.connected && !link.stopping()) AgreeCharset(link);
  AfterSetUp(link);
  if (link.afterSetUp) link.afterSetUp();
  CloseEvent(link.os, link.state.overlapped);
}

}  // namespace quillet
