#pragma once
// Bringing the link into service: open the configured port, find the phone by
// DSR, prepare it for the accessory menu, and report on the status line.

#include <string>

#include "link/link.h"

namespace quillet {

// Status texts.
constexpr char kStatusDisabled[] = "Disabled.";
constexpr char kStatusPortBusy[] = "Comport busy.";
constexpr char kStatusStandingBy[] = "Standing by for connection.";
constexpr char kStatusConnected[] = "Ready and connected to ";
constexpr char kStatusNoMenus[] = " Menus not available.";

// Entered only while not connected; leaves port, connected and the status set.
void OnInit(Link& link, bool calledByMonitor);

// The first non-empty line still unconsumed in the receive buffer, or "".
std::string ReadValueLine(Link& link);

}  // namespace quillet
