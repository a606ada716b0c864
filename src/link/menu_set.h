#pragma once
// Which of the phone's two accessory command sets a connection speaks: the
// older one ("*EAM", "*EASM", "*EAID") or the newer one ("*SEAM", "*SELIST"
// and the other objects). The set-up picks it once per connection; the menus
// speak it through their dialect, and the link routes the newer set's
// unsolicited codes to whoever listens for them.

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

enum class MenuCommandSet { kOlder, kNewer };

struct MenuRegistration {
  MenuCommandSet set = MenuCommandSet::kOlder;
  // The phone's id for the menu item on the newer set ("*SEAM: <id>").
  std::int32_t item = -1;
  // Counts the set-ups that registered a menu: objects known from an earlier
  // connection are gone with it.
  std::uint32_t connection = 0;
};

// The newer set's unsolicited lines, each whole, on a connection that speaks it.
class NewerMenuLines {
 public:
  virtual ~NewerMenuLines() = default;
  virtual void Line(const std::string& line) = 0;
  // Before the phone is set up again or left: the commands that take
  // Quillet's screen off it, in order (its object deleted, its session
  // ended); none when nothing of ours is up. Afterwards nothing is.
  virtual std::vector<std::string> TakeScreenOff() = 0;
  // Another phone, or none, from now on: nothing known of this one's
  // screens holds.
  virtual void ForgetPhone() = 0;
};

// "*SEAAI", "*SEGUII" or "*SESFI", whatever follows.
bool IsNewerMenuCode(const std::string& line);

}  // namespace quillet
