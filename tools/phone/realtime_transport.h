#pragma once
// The phone's transport on real time: emissions wait in a schedule until they
// are due, then go to the pty master in order; DSR goes to the modem-lines
// file.

#include <string>

#include "emission_schedule.h"
#include "event_output.h"
#include "modem_lines.h"
#include "phone_transport.h"

namespace quillet::phone {

class RealtimeTransport : public PhoneTransport {
 public:
  RealtimeTransport(int master, ModemLinesFile* modem, EventOutput& events)
      : master_(master), modem_(modem), events_(events) {}

  void Emit(std::string_view bytes, std::uint32_t delayMs) override;
  void SetDsr(bool on) override;

  // Moves due emissions to the output and writes what the pty takes.
  void Pump();
  bool WantsWrite() const { return !output_.empty(); }
  // Milliseconds until the next emission is due; -1 when none is waiting.
  int MsUntilDue() const;

 private:
  int master_;
  ModemLinesFile* modem_;
  EventOutput& events_;
  EmissionSchedule schedule_;
  std::string output_;  // due bytes the pty has not taken yet
};

}  // namespace quillet::phone
