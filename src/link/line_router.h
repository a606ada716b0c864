#pragma once
// The one place every line from the phone goes that no transaction awaits:
// the accessory menu's codes, dialog answers, keys and calls, each to its
// handlers. Lines a transaction read past while waiting for its answer are
// kept as strays and routed here later, in the order they were read.

#include <string>

#include "link/link.h"

namespace quillet {

// The line carries one of the phone's unsolicited codes, so it is never a
// command's value.
bool IsPhoneCode(const std::string& line);

// How a "*EAMI" line reads with "*EAMI: %d" under scanf's rules: the count of
// numbers assigned, or -1 when the line ends before the number.
int ScanMenuChoice(const std::string& line, int* entry);

// Routes one line. True when it chose a menu entry: its handler may have
// consumed what followed in the receive buffer.
bool RouteLine(Link& link, const std::string& line);

// A line read by a transaction that was not its answer; blank lines and the
// leftovers of commands (echoes, results) are not kept.
void KeepStray(Link& link, const std::string& line);

// Applies the call reports kept so far, in order, without asking for the
// list of calls: one is about to be asked for.
void ApplyStrayCallReports(Link& link);

// Hands a call report to the link's call handlers; with `mayList`, a report
// that raises a question is followed by "+CLCC".
void ApplyCallReport(Link& link, const std::string& line, bool mayList);

}  // namespace quillet
