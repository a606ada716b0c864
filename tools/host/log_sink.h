// Writes log lines to standard output, each with its time since start-up
// ("t=<ms>") and in one write, so lines from several threads never mix and
// a reader on a pipe sees each line as soon as it is written.
#pragma once

#include "log_line.h"

namespace host {

void StartLogClock();
unsigned long LogClockMs();
void Emit(LogLine line);

}  // namespace host
