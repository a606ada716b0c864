#pragma once
// A mobile phone on the far end of the serial line: it frames and answers AT
// commands, keeps what the accessory-menu commands put on its screen, and
// stands in for its user. Transport-agnostic; not thread-safe (callers
// serialise their calls).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command_set.h"
#include "line_framer.h"
#include "phone_transport.h"
#include "reply_layout.h"
#include "reply_rules.h"
#include "screen.h"

namespace quillet::phone {

enum class ScreenChange {
  Accessory,     // *EAM registered a menu title
  Menu,          // *EASM put a menu page up
  Dialog,        // *EAID opened a dialog
  DialogClosed,  // the user answered or left the dialog
  MenuLeft,      // the user went back out of the menu
  Calls,         // a call began, changed or ended
};

const char* ScreenChangeName(ScreenChange change);

// Told what the phone did; every call is made after the phone has acted.
class PhoneObserver {
 public:
  virtual ~PhoneObserver() = default;
  // A command line arrived. `result` is the final result the phone gives it
  // ("OK", "ERROR", "+CME ERROR: n"), empty when it gives none.
  virtual void OnCommand(const std::string& /*line*/, const std::string& /*result*/) {}
  // The command was not understood (`why` says where it broke).
  virtual void OnRefused(const std::string& /*line*/, const std::string& /*why*/) {}
  virtual void OnScreen(ScreenChange /*change*/, const Screen& /*screen*/) {}
  // The phone went out of reach, or came back.
  virtual void OnAway(bool /*away*/) {}
  // Bytes the plug-in wrote while the phone was out of reach.
  virtual void OnLost(std::string_view /*bytes*/) {}
};

class PhoneModel {
 public:
  explicit PhoneModel(PhoneTransport& transport);
  PhoneModel(const PhoneModel&) = delete;
  PhoneModel& operator=(const PhoneModel&) = delete;

  void SetObserver(PhoneObserver* observer) { observer_ = observer; }

  // --- The line ---
  // Bytes written by the plug-in, in any chunking.
  void Receive(std::string_view bytes);
  void SetDsr(bool on);
  bool dsr() const { return dsr_; }
  // Out of reach, as a Bluetooth phone whose user walked off while the port
  // stays open with DSR on: what the plug-in writes is lost, and the phone
  // sends nothing, neither answers nor its user's codes. Back, it hears the
  // next line whole and answers as before.
  void SetAway(bool away);
  bool away() const { return away_; }

  // --- Behaviour ---
  RuleBook& rules() { return rules_; }
  // Value lines answered to `command` (e.g. "+CGMI"); none = just "OK".
  void SetValue(std::string_view command, std::vector<std::string> lines);
  // The character sets "+CSCS=?" lists; none refuses "+CSCS" altogether.
  void SetCharsets(std::vector<std::string> offered) { settings_.charsets = std::move(offered); }
  // A phone of the later generation: it refuses "*EAM", "*EASM" and "*EAID"
  // and speaks the "*SE..." objects instead.
  void SetNewer(bool newer) { settings_.newer = newer; }
  // Chunking of every emission that no rule governs.
  void SetPace(Chunking pace) { pace_ = pace; }
  const Settings& settings() const { return settings_; }

  // --- The user ---
  void OpenAccessoryMenu();
  void ChooseEntry(std::int32_t entry);  // 0 = back
  void AnswerLevel(std::int32_t percent);
  void AnswerInterimLevel(std::int32_t percent);
  void AnswerList(std::int32_t choice);
  void AnswerOnOff(bool on);
  void AnswerNumber(std::int32_t number);
  void AnswerText(std::string_view text);
  void RejectDialog();
  void AbortDialog();
  // Leaves the accessory menu at once: on the newer set the cancel action on
  // what is shown; on the older, back from a page, or an aborted dialog.
  void Cancel();

  // --- Calls (see calls.h); each reported with "*ECAV" while "*ECAM=1" is
  // in force. Empty when done, else why nothing happened. ---
  std::string RingCall(std::string_view number, bool waiting = false);
  std::string DialCall(std::string_view number);
  std::string AnswerCall(std::int32_t id);  // 0: the ringing or dialled call
  std::string HangUpCall(std::int32_t id);  // 0: every call
  std::string MissCall();

  // --- Keys, each reported with "+CKEV" while "+CMER=3,2" is in force ---
  // Presses `key` and releases it `holdMs` later. Empty when done, else why
  // nothing was sent.
  std::string PressKey(std::string_view key, std::uint32_t holdMs = 0);

  // --- Injection ---
  void SendUnsolicited(std::string_view code);  // "\r\n" code "\r\n"
  void SendLine(std::string_view text);         // text "\r\n"
  void SendRaw(std::string_view bytes, std::uint32_t delayMs = 0);

  // --- Observation ---
  const Screen& screen() const { return screen_; }
  // The newer set's objects, oldest first; the last is on the screen.
  const std::vector<NewerObject>& objects() const { return objects_; }
  // The id "*SEAM" gives the menu item.
  static constexpr std::int32_t kNewerItem = 5;
  // Every command line received, in order, without terminators.
  const std::vector<std::string>& history() const { return history_; }

 private:
  void HandleLine(const std::string& line);
  void Apply(const Interpretation& meaning);
  void CloseDialog(const std::string& code);
  void Send(const std::vector<Emission>& emissions);
  void Notify(ScreenChange change);
  std::string Happen(const CallChanges& changes);
  // The newer set (newer_user.cc): the id a new object gets, or a refusal
  // of one that is not there; the change once accepted; the screen drawn
  // from the objects; the user's answer on the object shown.
  void PrepareNewer(Interpretation* meaning) const;
  void ApplyNewer(const NewerChange& change);
  void Redraw();
  void AnswerNewer(std::int32_t action, const std::string& info = "");

  PhoneTransport& transport_;
  PhoneObserver* observer_ = nullptr;
  LineFramer framer_;
  RuleBook rules_;
  ValueTable values_ = DefaultValues();
  Settings settings_;
  Chunking pace_;
  Screen screen_;
  std::vector<std::string> history_;
  bool dsr_ = false;
  bool away_ = false;
  std::vector<NewerObject> objects_;
  std::int32_t nextObject_ = 1;
  std::int32_t drawnObject_ = 0;
};

}  // namespace quillet::phone
