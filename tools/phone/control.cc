#include "control.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

#include "charsets.h"

namespace quillet::phone {
namespace {

using Kind = ControlOutcome::Kind;

ControlOutcome Outcome(Kind kind, std::string error = "") {
  ControlOutcome outcome;
  outcome.kind = kind;
  outcome.error = std::move(error);
  return outcome;
}
ControlOutcome Done() {
  return Outcome(Kind::Done);
}
ControlOutcome Fail(std::string why) {
  return Outcome(Kind::Error, std::move(why));
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// Splits off the first blank-separated word; `rest` keeps the text after the
// single blank that ends it, untrimmed, so texts keep their blanks.
std::string_view NextWord(std::string_view* rest) {
  std::string_view s = *rest;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  std::size_t end = s.find(' ');
  std::string_view word = s.substr(0, end);
  *rest = end == std::string_view::npos ? std::string_view() : s.substr(end + 1);
  return word;
}

std::optional<std::int64_t> ToInt(std::string_view text, std::int64_t low, std::int64_t high) {
  std::string s(Trim(text));
  if (s.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<std::int32_t> ToInt32(std::string_view text) {
  auto value = ToInt(text, INT32_MIN, INT32_MAX);
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

std::optional<std::string> FromHex(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (char c : text) {
    int nibble;
    if (c >= '0' && c <= '9') {
      nibble = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      nibble = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      nibble = c - 'A' + 10;
    } else if (c == ' ' || c == ':') {
      continue;
    } else {
      return std::nullopt;
    }
    if (high < 0) {
      high = nibble;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + nibble));
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

ControlOutcome NeedInt(std::string_view arg, void (PhoneModel::*act)(std::int32_t),
                       PhoneModel& model) {
  auto value = ToInt32(arg);
  if (!value) return Fail("expected a number");
  (model.*act)(*value);
  return Done();
}

ControlOutcome Reply(PhoneModel& model, std::string_view args) {
  std::string_view prefixWord = NextWord(&args);
  if (prefixWord.empty()) return Fail("reply: missing prefix");
  if (prefixWord == "clear" && Trim(args).empty()) {
    model.rules().Clear();
    return Done();
  }
  std::string prefix = prefixWord == "all" ? "" : std::string(prefixWord);
  // Aspects are applied to a copy so that a bad line changes nothing.
  const ReplyRule* existing = model.rules().Find(prefix);
  ReplyRule rule = existing ? *existing : ReplyRule{};
  bool any = false;
  for (std::string_view word = NextWord(&args); !word.empty(); word = NextWord(&args)) {
    any = true;
    if (word == "ok") {
      rule.result = ReplyRule::Result::Ok;
    } else if (word == "error") {
      rule.result = ReplyRule::Result::Error;
    } else if (word == "natural") {
      rule.result = ReplyRule::Result::Natural;
    } else if (word == "silent") {
      rule.result = ReplyRule::Result::Silent;
    } else if (word == "cme") {
      auto code = ToInt32(NextWord(&args));
      if (!code) return Fail("reply: cme needs a number");
      rule.result = ReplyRule::Result::CmeError;
      rule.cmeCode = *code;
    } else if (word == "delay") {
      auto ms = ToInt(NextWord(&args), 0, UINT32_MAX);
      if (!ms) return Fail("reply: delay needs milliseconds");
      rule.delayMs = static_cast<std::uint32_t>(*ms);
    } else if (word == "echo-on") {
      rule.echo = ReplyRule::Echo::Normal;
    } else if (word == "echo-off") {
      rule.echo = ReplyRule::Echo::Off;
    } else if (word == "echo-lower") {
      rule.echo = ReplyRule::Echo::Lower;
    } else if (word == "echo-garble") {
      rule.echo = ReplyRule::Echo::Garble;
    } else if (word == "chunks") {
      auto size = ToInt(NextWord(&args), 0, 1 << 20);
      auto pause = ToInt(NextWord(&args), 0, UINT32_MAX);
      if (!size || !pause) return Fail("reply: chunks needs a size and a pause");
      rule.chunking = Chunking{static_cast<std::size_t>(*size), static_cast<std::uint32_t>(*pause)};
    } else if (word == "times") {
      auto times = ToInt(NextWord(&args), 1, UINT32_MAX);
      if (!times) return Fail("reply: times needs a count of at least 1");
      rule.remaining = static_cast<std::uint32_t>(*times);
    } else if (word == "interject") {
      // The rest of the line is the code.
      rule.interject = std::string(Trim(args));
      args = {};
    } else if (word == "clear") {
      model.rules().Remove(prefix);
      return Done();
    } else {
      return Fail("reply: unknown aspect " + std::string(word));
    }
  }
  if (!any) return Fail("reply: nothing to set");
  model.rules().Edit(prefix) = rule;
  return Done();
}

// The user's and the far ends' calls: ring, waiting, dial and missed, answer
// and hangup with an optional call id.
ControlOutcome Call(PhoneModel& model, std::string_view args) {
  std::string_view what = NextWord(&args);
  std::string_view rest = Trim(args);
  std::string error;
  if (what == "ring" || what == "waiting") {
    error = model.RingCall(rest, what == "waiting");
  } else if (what == "dial") {
    error = model.DialCall(rest);
  } else if (what == "missed" && rest.empty()) {
    error = model.MissCall();
  } else if (what == "answer" || what == "hangup") {
    std::int32_t id = 0;
    if (!rest.empty()) {
      auto given = ToInt(rest, 1, kMostCalls);
      if (!given) return Fail("call " + std::string(what) + ": a call id from 1 to 7");
      id = static_cast<std::int32_t>(*given);
    }
    error = what == "answer" ? model.AnswerCall(id) : model.HangUpCall(id);
  } else {
    return Fail("call: ring, waiting, dial, answer, hangup or missed");
  }
  if (!error.empty()) return Fail("call " + std::string(what) + ": " + error);
  return Done();
}

}  // namespace

ControlOutcome RunControl(PhoneModel& model, std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (Trim(line).empty() || Trim(line).front() == '#') return Outcome(Kind::Ignored);
  std::string_view args = line;
  std::string_view verb = NextWord(&args);

  if (verb == "dsr") {
    std::string_view state = Trim(args);
    if (state != "on" && state != "off") return Fail("dsr: on or off");
    model.SetDsr(state == "on");
    return Done();
  }
  if (verb == "away") {
    // For a while, or until "return".
    std::string_view ms = Trim(args);
    ControlOutcome outcome = Done();
    outcome.backInMs = 0;
    if (!ms.empty()) {
      auto value = ToInt(ms, 1, UINT32_MAX);
      if (!value) return Fail("away: milliseconds, or nothing");
      outcome.backInMs = static_cast<std::uint32_t>(*value);
    }
    model.SetAway(true);
    return outcome;
  }
  if (verb == "return") {
    if (!Trim(args).empty()) return Fail("return: takes nothing");
    model.SetAway(false);
    return Done();
  }
  if (verb == "open") {
    model.OpenAccessoryMenu();
    return Done();
  }
  if (verb == "choose" || verb == "pick") return NeedInt(args, &PhoneModel::ChooseEntry, model);
  if (verb == "cancel") {
    model.Cancel();
    return Done();
  }
  if (verb == "generation") {
    std::string_view which = Trim(args);
    if (which != "older" && which != "newer") return Fail("generation: older or newer");
    model.SetNewer(which == "newer");
    return Done();
  }
  if (verb == "back") {
    model.ChooseEntry(0);
    return Done();
  }
  if (verb == "level") return NeedInt(args, &PhoneModel::AnswerLevel, model);
  if (verb == "interim") return NeedInt(args, &PhoneModel::AnswerInterimLevel, model);
  if (verb == "list") return NeedInt(args, &PhoneModel::AnswerList, model);
  if (verb == "number") return NeedInt(args, &PhoneModel::AnswerNumber, model);
  if (verb == "switch") {
    std::string_view state = Trim(args);
    if (state == "1" || state == "on") {
      model.AnswerOnOff(true);
    } else if (state == "0" || state == "off") {
      model.AnswerOnOff(false);
    } else {
      return Fail("switch: 0 or 1");
    }
    return Done();
  }
  if (verb == "text") {
    // Typed in UTF-8, sent in the set agreed with the plug-in.
    auto bytes = Typed(args, model.settings().charset);
    if (!bytes) return Fail("text: not UTF-8");
    model.AnswerText(*bytes);
    return Done();
  }
  if (verb == "reject") {
    model.RejectDialog();
    return Done();
  }
  if (verb == "abort") {
    model.AbortDialog();
    return Done();
  }
  if (verb == "urc") {
    if (args.empty()) return Fail("urc: missing code");
    model.SendUnsolicited(args);
    return Done();
  }
  if (verb == "junk") {
    model.SendLine(args);
    return Done();
  }
  if (verb == "raw") {
    auto bytes = FromHex(args);
    if (!bytes || bytes->empty()) return Fail("raw: expected hex bytes");
    model.SendRaw(*bytes);
    return Done();
  }
  if (verb == "pace") {
    std::string_view rest = args;
    auto size = ToInt(NextWord(&rest), 0, 1 << 20);
    auto pause = ToInt(rest.empty() ? "0" : rest, 0, UINT32_MAX);
    if (!size || !pause) return Fail("pace: chunk size and pause");
    model.SetPace({static_cast<std::size_t>(*size), static_cast<std::uint32_t>(*pause)});
    return Done();
  }
  if (verb == "k" || verb == "key" || verb == "hold") {
    // "k KEY" presses and releases at once; "hold KEY MS" holds it down.
    std::string_view key = NextWord(&args);
    std::uint32_t holdMs = 0;
    if (verb == "hold") {
      auto ms = ToInt(args, 0, UINT32_MAX);
      if (!ms) return Fail("hold: a key and milliseconds");
      holdMs = static_cast<std::uint32_t>(*ms);
    } else if (!Trim(args).empty()) {
      return Fail(std::string(verb) + ": one key");
    }
    std::string error = model.PressKey(key, holdMs);
    if (!error.empty()) return Fail(std::string(verb) + ": " + error);
    return Done();
  }
  if (verb == "reply") return Reply(model, args);
  if (verb == "call") return Call(model, args);
  if (verb == "value") {
    std::string_view command = NextWord(&args);
    if (command.empty()) return Fail("value: missing command");
    std::vector<std::string> lines;
    if (!args.empty()) lines.emplace_back(args);
    model.SetValue(command, std::move(lines));
    return Done();
  }
  if (verb == "charsets") {
    // The sets "+CSCS=?" lists, comma-separated; "none" refuses "+CSCS".
    std::string_view list = Trim(args);
    if (list.empty()) return Fail("charsets: a list, or none");
    std::vector<std::string> offered;
    while (list != "none" && !list.empty()) {
      const std::size_t comma = list.find(',');
      offered.emplace_back(Trim(list.substr(0, comma)));
      list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    model.SetCharsets(std::move(offered));
    return Done();
  }
  if (verb == "screen") return Outcome(Kind::Screen);
  if (verb == "history") return Outcome(Kind::History);
  if (verb == "quit") return Outcome(Kind::Quit);
  return Fail("unknown command " + std::string(verb));
}

}  // namespace quillet::phone
