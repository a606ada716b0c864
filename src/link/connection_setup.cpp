#include "link/connection_setup.h"

#include "link/at_transaction.h"
#include "link/line_reader.h"
#include "link/phone_commands.h"
#include "link/port_io.h"

namespace quillet {
namespace {

// Sends the commands that prepare the phone; true when the menu was registered.
bool PreparePhone(Link& link) {
  bool menusAvailable = SendCommand(link, phone::kRegisterMenu);
  link.trace.WriteTrace(menusAvailable ? "menus available" : "menus not available", kTraceInfo);
  if (!SendCommand(link, phone::kIndications)) SendCommand(link, phone::kIndicationsFallback);
  SendCommand(link, phone::kErrorReporting);
  while (!link.rx.drained && !link.stopping()) ReadLine(link, false);
  return menusAvailable;
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
         ElapsedMs(startedAt, link.os.NowMs()) < kLongestReplyWaitMs)
    value = ReadLine(link, false);
  return value;
}

void OnInit(Link& link, bool calledByMonitor) {
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
  link.state.overlapped.event = link.os.CreateEvent(kLinkEventName);
  Handle port = link.os.OpenPort(DevicePath(portName));
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
  CloseEvent(link.os, link.state.overlapped);
}

}  // namespace quillet
