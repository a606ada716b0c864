#include <cctype>

#include "link/decimal.h"
#include "link/line_fields.h"
#include "link/menu_registration.h"
#include "link/phone_commands.h"
#include "menus/menu_record.h"
#include "menus/newer_dialect.h"

namespace quillet {
namespace {

constexpr std::int32_t kCancel = 0;
constexpr std::int32_t kBack = 1;
constexpr std::int32_t kAcceptIndex = 5;
constexpr std::int32_t kAcceptBoolean = 10;
constexpr std::int32_t kAcceptString = 11;
constexpr std::int32_t kAcceptInteger = 12;

// The text without one pair of double quotes around it, if it has them.
std::string Unquoted(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    return text.substr(1, text.size() - 2);
  return text;
}

// A whole number and nothing else, blanks around it allowed.
bool WholeNumber(const std::string& text, std::int32_t* value) {
  std::size_t at = 0;
  if (!ReadDecimal(text, &at, value)) return false;
  SkipBlanks(text, &at);
  return at == text.size();
}

bool ReadBoolean(const std::string& text, std::int32_t* value) {
  std::string lower;
  for (const char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "1" || lower == "true") {
    *value = 1;
  } else if (lower == "0" || lower == "false") {
    *value = 0;
  } else {
    return false;
  }
  return true;
}

// A level's step as a percentage of its steps, as the older dialog answers.
std::int32_t StepPercent(std::int32_t step, std::int32_t steps) {
  if (steps <= 0) return 0;
  const std::int64_t percent = std::int64_t{step} * 100 / steps;
  return percent > INT32_MAX   ? INT32_MAX
         : percent < INT32_MIN ? INT32_MIN
                               : static_cast<std::int32_t>(percent);
}

}  // namespace

void NewerDialect::Line(const std::string& line) {
  Follow();
  if (events_ == nullptr) return;
  std::size_t at = 0;
  if (StartsWithCode(line, phone::kNewerFocus)) {
    trace_("focus report, nothing changed");
  } else if (line == phone::kNewerMenuOpened) {
    events_->MenuActivated();
  } else if (StartsWithCode(line, phone::kNewerMenuOpened)) {
    std::int32_t item = -1;
    if (ParseObjectReply(line, phone::kNewerMenuOpened, &item) && item == registration_.item)
      events_->MenuActivated();
    else
      trace_("not our menu item: ignored");
  } else if (SkipCode(line, phone::kNewerAnswer, &at)) {
    std::int32_t object = -1;
    std::int32_t action = -1;
    const bool read = ReadDecimal(line, &at, &object) && at < line.size() && line[at] == ',' &&
                      ReadDecimal(line, &++at, &action);
    SkipBlanks(line, &at);
    if (!read || (at < line.size() && line[at] != ',')) {
      trace_("unreadable answer: ignored");
    } else if (object != object_ || object < 0) {
      if (!ClearLeftBehind(object)) trace_("answer for another object: ignored");
    } else {
      std::string info = at < line.size() ? line.substr(at + 1) : std::string();
      std::size_t start = 0;
      SkipBlanks(info, &start);
      Answer(action, info.substr(start));
    }
  } else {
    trace_("unknown code: ignored");
  }
}

void NewerDialect::Answer(std::int32_t action, const std::string& info) {
  switch (shown_) {
    case Shown::kList: {
      std::int32_t entry = 0;
      if (action == kCancel) {
        events_->Cancelled();
      } else if (action == kBack) {
        events_->ChooseEntry(0);
      } else if (action == kAcceptIndex && WholeNumber(info, &entry) && entry >= 1) {
        // Past the list's end, the protocol ignores it as any entry it never sent.
        events_->ChooseEntry(entry);
      } else {
        trace_("no such entry or action on the list: ignored");
      }
      return;
    }
    case Shown::kNotice:
      // Whatever ends it; which action its OK key gives is not known.
      events_->Answered(DialogAnswer{});
      return;
    case Shown::kDialog:
      DialogAnswered(action, info);
      return;
    case Shown::kNothing:
      trace_("nothing of ours is shown: ignored");
      return;
  }
}

void NewerDialect::DialogAnswered(std::int32_t action, const std::string& info) {
  DialogAnswer answer;
  if (action == kCancel || action == kBack) {
    events_->Answered(answer);
    return;
  }
  answer.kind = DialogAnswer::Kind::kFinal;
  const std::string text = Unquoted(info);
  bool read = false;
  switch (dialogKind_) {
    case kLevel:
      // Taken as final: the first newer phones report only the value the
      // user leaves the level at.
      read = action == kAcceptInteger && WholeNumber(info, &answer.number);
      answer.number = StepPercent(answer.number, steps_);
      break;
    case kChoice:
      read = action == kAcceptIndex && WholeNumber(info, &answer.number);
      break;
    case kSwitch:
      read = action == kAcceptBoolean && ReadBoolean(text, &answer.number);
      break;
    case kNumber:
      if (action == kAcceptString && !WholeNumber(text, &answer.number))
        answer.kind = DialogAnswer::Kind::kDismissed;  // anything but digits
      read = action == kAcceptString;
      break;
    default:
      answer.text = text;
      read = action == kAcceptString;
      break;
  }
  if (!read) {
    trace_("no such action on the dialog: ignored");
    return;
  }
  events_->Answered(answer);
}

}  // namespace quillet
