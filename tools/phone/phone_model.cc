#include "phone_model.h"

#include "answer_codes.h"
#include "keys.h"
#include "newer_objects.h"
#include "reply_layout.h"

namespace quillet::phone {
namespace {

bool IsCommand(std::string_view line) {
  return line.size() >= 2 && (line[0] == 'A' || line[0] == 'a') &&
         (line[1] == 'T' || line[1] == 't');
}

std::optional<std::string> ResultText(const ReplyRule& rule, const Interpretation& meaning,
                                      const Settings& settings) {
  switch (rule.result) {
    case ReplyRule::Result::Natural:
      return meaning.ok ? "OK" : "ERROR";
    case ReplyRule::Result::Ok:
      return "OK";
    case ReplyRule::Result::Error:
      return "ERROR";
    case ReplyRule::Result::CmeError:
      if (settings.errorMode == 0) return "ERROR";
      return "+CME ERROR: " + std::to_string(rule.cmeCode);
    case ReplyRule::Result::Silent:
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

const char* ScreenChangeName(ScreenChange change) {
  switch (change) {
    case ScreenChange::Accessory:
      return "accessory";
    case ScreenChange::Menu:
      return "menu";
    case ScreenChange::Dialog:
      return "dialog";
    case ScreenChange::DialogClosed:
      return "dialog-closed";
    case ScreenChange::MenuLeft:
      return "menu-left";
    case ScreenChange::Calls:
      return "calls";
  }
  return "?";
}

PhoneModel::PhoneModel(PhoneTransport& transport) : transport_(transport) {}

void PhoneModel::Receive(std::string_view bytes) {
  if (away_) {
    if (observer_) observer_->OnLost(bytes);
    return;
  }
  for (const std::string& line : framer_.Feed(bytes)) HandleLine(line);
}

void PhoneModel::SetAway(bool away) {
  if (away == away_) return;
  away_ = away;
  // A line cut off by the going is not finished by what comes after.
  framer_.Reset();
  if (observer_) observer_->OnAway(away);
}

void PhoneModel::SetDsr(bool on) {
  dsr_ = on;
  transport_.SetDsr(on);
}

void PhoneModel::SetValue(std::string_view command, std::vector<std::string> lines) {
  values_[UpperCase(command)] = std::move(lines);
}

void PhoneModel::HandleLine(const std::string& line) {
  history_.push_back(line);
  if (!IsCommand(line)) {
    // Not addressed to the command interpreter: echoed as typed, never answered.
    ReplyPlan plan;
    if (settings_.echo) plan.echo = line;
    Send(LayOut(plan, pace_));
    if (observer_) observer_->OnCommand(line, "");
    return;
  }
  std::string_view command = std::string_view(line).substr(2);
  ReplyRule rule = rules_.Take(command);
  Interpretation meaning = Interpret(command, values_, settings_);
  // The calls going on, unless a test gave the answer itself.
  if (meaning.ok && UpperCase(command) == "+CLCC" && values_.count("+CLCC") == 0)
    meaning.values = ListLines(screen_.calls);
  if (meaning.ok && meaning.newer) PrepareNewer(&meaning);

  ReplyPlan plan;
  std::optional<std::string> result = ResultText(rule, meaning, settings_);
  if (result) {
    bool echoed = settings_.echo || rule.echo != ReplyRule::Echo::Normal;
    if (echoed) plan.echo = EchoOf(line, rule.echo);
    plan.interject = rule.interject;
    if (*result == "OK" && meaning.ok && !rule.withoutValues) plan.values = meaning.values;
    plan.result = result;
    plan.resultDelayMs = rule.delayMs;
  }
  Send(LayOut(plan, rule.chunking.value_or(pace_)));

  if (observer_) observer_->OnCommand(line, result.value_or(""));
  if (!meaning.ok) {
    if (observer_) observer_->OnRefused(line, meaning.error);
    return;
  }
  if (result && *result == "OK") Apply(meaning);
}

void PhoneModel::Apply(const Interpretation& meaning) {
  if (meaning.echo) settings_.echo = *meaning.echo;
  if (meaning.errorMode) settings_.errorMode = *meaning.errorMode;
  if (meaning.callReports) settings_.callReports = *meaning.callReports;
  if (meaning.charset) settings_.charset = *meaning.charset;
  if (meaning.keyReports) settings_.keyReports = *meaning.keyReports;
  if (meaning.accessory) {
    screen_.accessory = meaning.accessory;
    Notify(ScreenChange::Accessory);
  }
  if (meaning.menu) {
    // A new page replaces the menu and whatever dialog was over it.
    screen_.menu = meaning.menu;
    screen_.menu->charset = settings_.charset;
    screen_.dialog.reset();
    Notify(ScreenChange::Menu);
  }
  if (meaning.dialog) {
    screen_.dialog = meaning.dialog;
    screen_.dialog->charset = settings_.charset;
    Notify(ScreenChange::Dialog);
  }
  if (meaning.newer) ApplyNewer(*meaning.newer);
}

void PhoneModel::Notify(ScreenChange change) {
  if (observer_) observer_->OnScreen(change, screen_);
}

void PhoneModel::Send(const std::vector<Emission>& emissions) {
  if (away_) return;
  for (const Emission& emission : emissions) transport_.Emit(emission.bytes, emission.delayMs);
}

void PhoneModel::SendUnsolicited(std::string_view code) {
  Send(Cut({{FrameUnsolicited(code), 0}}, pace_));
}

void PhoneModel::SendLine(std::string_view text) {
  Send(Cut({{std::string(text) + "\r\n", 0}}, pace_));
}

void PhoneModel::SendRaw(std::string_view bytes, std::uint32_t delayMs) {
  Send(Cut({{std::string(bytes), delayMs}}, pace_));
}

std::string PhoneModel::Happen(const CallChanges& changes) {
  if (!changes.error.empty()) return changes.error;
  // A phone reports calls only when asked to; the calls happen anyway.
  if (settings_.callReports)
    for (const std::string& report : changes.reports) SendUnsolicited(report);
  Notify(ScreenChange::Calls);
  return "";
}

std::string PhoneModel::RingCall(std::string_view number, bool waiting) {
  return Happen(Ring(screen_.calls, number, waiting));
}
std::string PhoneModel::DialCall(std::string_view number) {
  return Happen(Dial(screen_.calls, number));
}
std::string PhoneModel::AnswerCall(std::int32_t id) {
  return Happen(Answer(screen_.calls, id));
}
std::string PhoneModel::HangUpCall(std::int32_t id) {
  return Happen(HangUp(screen_.calls, id));
}
std::string PhoneModel::MissCall() {
  return Happen(Miss(screen_.calls));
}

std::string PhoneModel::PressKey(std::string_view key, std::uint32_t holdMs) {
  if (!IsKeyName(key)) return "not a key: " + std::string(key);
  // Keys are pressed anyway; they are reported only when asked for.
  if (!settings_.keyReports) return "key reports are off";
  SendUnsolicited(KeyReportLine(key, true));
  Send(Cut({{FrameUnsolicited(KeyReportLine(key, false)), holdMs}}, pace_));
  return "";
}

void PhoneModel::OpenAccessoryMenu() {
  if (settings_.newer) return SendUnsolicited(newer_codes::MenuOpened(kNewerItem));
  SendUnsolicited(codes::AccessoryOpened());
}

void PhoneModel::ChooseEntry(std::int32_t entry) {
  if (settings_.newer) return entry == 0 ? AnswerNewer(1) : AnswerNewer(5, std::to_string(entry));
  SendUnsolicited(codes::EntryChosen(entry));
  if (entry == 0 && screen_.menu) {
    screen_.menu.reset();
    screen_.dialog.reset();
    Notify(ScreenChange::MenuLeft);
  }
}

void PhoneModel::CloseDialog(const std::string& code) {
  SendUnsolicited(code);
  if (screen_.dialog) {
    screen_.dialog.reset();
    Notify(ScreenChange::DialogClosed);
  }
}

void PhoneModel::AnswerLevel(std::int32_t percent) {
  if (settings_.newer) {
    const std::int32_t steps = screen_.dialog ? screen_.dialog->steps : 0;
    return AnswerNewer(12, std::to_string((percent * steps + 50) / 100));
  }
  CloseDialog(codes::LevelSet(percent));
}

void PhoneModel::AnswerInterimLevel(std::int32_t percent) {
  // The first newer phones report only where the user leaves the level.
  if (settings_.newer) return;
  // The slider is still on screen while the user moves it.
  SendUnsolicited(codes::LevelMoved(percent));
}

void PhoneModel::AnswerList(std::int32_t choice) {
  if (settings_.newer) return AnswerNewer(5, std::to_string(choice));
  CloseDialog(codes::ListChosen(choice));
}
void PhoneModel::AnswerOnOff(bool on) {
  if (settings_.newer) return AnswerNewer(10, on ? "true" : "false");
  CloseDialog(codes::OnOffSet(on));
}
void PhoneModel::AnswerNumber(std::int32_t number) {
  if (settings_.newer) return AnswerNewer(11, "\"" + std::to_string(number) + "\"");
  CloseDialog(codes::NumberEntered(number));
}
void PhoneModel::AnswerText(std::string_view text) {
  if (settings_.newer) return AnswerNewer(11, "\"" + std::string(text) + "\"");
  CloseDialog(codes::TextEntered(text));
}
void PhoneModel::RejectDialog() {
  if (settings_.newer) return AnswerNewer(1);
  CloseDialog(codes::Rejected());
}
void PhoneModel::AbortDialog() {
  if (settings_.newer) return AnswerNewer(0);
  CloseDialog(codes::Aborted());
}

}  // namespace quillet::phone
