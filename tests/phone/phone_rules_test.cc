// Deliberate misbehaviour: per-command results, silence, delays, broken
// echoes, chunked output, interjected codes.

#include <gtest/gtest.h>

#include "chunkings.h"
#include "phone_model.h"
#include "recording_transport.h"

namespace quillet::phone {
namespace {

using testing::Visible;
using Result = ReplyRule::Result;
using Echo = ReplyRule::Echo;

struct RuleCase {
  const char* name;
  std::string prefix;
  ReplyRule rule;
  std::string written;
  std::vector<Emission> answer;
};

ReplyRule With(Result result, std::int32_t cme = 0) {
  ReplyRule rule;
  rule.result = result;
  rule.cmeCode = cme;
  return rule;
}

ReplyRule WithEcho(Echo echo) {
  ReplyRule rule;
  rule.echo = echo;
  return rule;
}

ReplyRule WithDelay(std::uint32_t ms) {
  ReplyRule rule;
  rule.delayMs = ms;
  return rule;
}

ReplyRule WithChunks(std::size_t size, std::uint32_t pause, std::uint32_t delay = 0) {
  ReplyRule rule;
  rule.chunking = Chunking{size, pause};
  rule.delayMs = delay;
  return rule;
}

ReplyRule WithInterject(std::string code) {
  ReplyRule rule;
  rule.interject = std::move(code);
  return rule;
}

const std::vector<RuleCase>& Cases() {
  static const std::vector<RuleCase> cases = {
      {"error",
       "+CNMI=3,1",
       With(Result::Error),
       "\rAT+CNMI=3,1\r",
       {{"AT+CNMI=3,1\r\r\nERROR\r\n", 0}}},
      {"prefix-does-not-match-other-args",
       "+CNMI=3,1",
       With(Result::Error),
       "\rAT+CNMI=1,1\r",
       {{"AT+CNMI=1,1\r\r\nOK\r\n", 0}}},
      {"error-drops-values",
       "+CGMI",
       With(Result::Error),
       "\rAT+CGMI\r",
       {{"AT+CGMI\r\r\nERROR\r\n", 0}}},
      {"ok-for-unknown", "+XYZ", With(Result::Ok), "\rAT+XYZ\r", {{"AT+XYZ\r\r\nOK\r\n", 0}}},
      {"cme-before-cmee-is-plain-error",
       "*EAM",
       With(Result::CmeError, 4),
       "\rAT*EAM=\"Winamp\"\r",
       {{"AT*EAM=\"Winamp\"\r\r\nERROR\r\n", 0}}},
      {"cme-after-cmee",
       "*EAM",
       With(Result::CmeError, 4),
       "\rAT+CMEE=1\r\rAT*EAM=\"Winamp\"\r",
       {{"AT+CMEE=1\r\r\nOK\r\n", 0}, {"AT*EAM=\"Winamp\"\r\r\n+CME ERROR: 4\r\n", 0}}},
      {"silent", "+CGMI", With(Result::Silent), "\rAT+CGMI\r", {}},
      {"echo-off",
       "+CGMI",
       WithEcho(Echo::Off),
       "\rAT+CGMI\r",
       {{"\r\nSimPhone\r\n\r\nOK\r\n", 0}}},
      {"echo-lower",
       "*EASM",
       WithEcho(Echo::Lower),
       "\rAT*EASM=\"T\", 1, 1, 0\r",
       {{"at*easm=\"t\", 1, 1, 0\r\r\nOK\r\n", 0}}},
      {"echo-garble",
       "+CGMM",
       WithEcho(Echo::Garble),
       "\rAT+CGMM\r",
       {{"AT+CGML\r\r\nQX-1\r\n\r\nOK\r\n", 0}}},
      {"delay-holds-values-and-result",
       "+CGMI",
       WithDelay(600),
       "\rAT+CGMI\r",
       {{"AT+CGMI\r", 0}, {"\r\nSimPhone\r\n\r\nOK\r\n", 600}}},
      {"chunks",
       "+CNMI",
       WithChunks(4, 15),
       "\rAT+CNMI=3,1\r",
       {{"AT+C", 0}, {"NMI=", 15}, {"3,1\r", 15}, {"\r\nOK", 15}, {"\r\n", 15}}},
      {"chunks-with-delay",
       "+CMEE",
       WithChunks(8, 5, 300),
       "\rAT+CMEE=1\r",
       {{"AT+CMEE=", 0}, {"1\r", 5}, {"\r\nOK\r\n", 300}}},
      {"interject",
       "*EAID",
       WithInterject("*EAMI: 3"),
       "\rAT*EAID=3,2,\"Shown\",0\r",
       {{"AT*EAID=3,2,\"Shown\",0\r\r\n*EAMI: 3\r\n\r\nOK\r\n", 0}}},
      {"all-commands", "", With(Result::Error), "\rAT\r", {{"AT\r\r\nERROR\r\n", 0}}},
  };
  return cases;
}

TEST(PhoneRules, ShapeTheAnswerExactly) {
  for (const RuleCase& c : Cases()) {
    RecordingTransport line;
    PhoneModel phone(line);
    phone.rules().Edit(c.prefix) = c.rule;
    phone.Receive(c.written);
    ASSERT_EQ(line.emissions().size(), c.answer.size()) << c.name;
    for (std::size_t i = 0; i < c.answer.size(); ++i) {
      EXPECT_EQ(Visible(line.emissions()[i].bytes), Visible(c.answer[i].bytes))
          << c.name << " #" << i;
      EXPECT_EQ(line.emissions()[i].delayMs, c.answer[i].delayMs) << c.name << " #" << i;
    }
  }
}

TEST(PhoneRules, LongestPrefixWins) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.rules().Edit("") = With(Result::Error);
  phone.rules().Edit("+CNMI") = With(Result::Silent);
  phone.rules().Edit("+CNMI=1") = With(Result::Ok);
  phone.Receive("\rAT+CNMI=3,1\r\rAT+CNMI=1,1\r\rAT+CGMI\r");
  EXPECT_EQ(Visible(line.Bytes()), Visible("AT+CNMI=1,1\r\r\nOK\r\nAT+CGMI\r\r\nERROR\r\n"));
}

TEST(PhoneRules, ARuleWithACountExpires) {
  RecordingTransport line;
  PhoneModel phone(line);
  ReplyRule garble = WithEcho(Echo::Garble);
  garble.remaining = 2;
  phone.rules().Edit("*EAM") = garble;
  phone.Receive("\rAT*EAM=\"Winamp\"\r");
  phone.Receive("\rAT*EAM=\"Winamp\"\r");
  phone.Receive("\rAT*EAM=\"Winamp\"\r");
  EXPECT_EQ(Visible(line.Bytes()), Visible("AT*EAM=\"Winamp#\r\r\nOK\r\n"
                                           "AT*EAM=\"Winamp#\r\r\nOK\r\n"
                                           "AT*EAM=\"Winamp\"\r\r\nOK\r\n"));
  EXPECT_TRUE(phone.rules().empty());
}

TEST(PhoneRules, GarbledEchoNeverEndsTheLineEarly) {
  // '\f' ^ 1 would be CR: the garbled byte must still be an ordinary one.
  RecordingTransport line;
  PhoneModel phone(line);
  phone.rules().Edit("") = WithEcho(Echo::Garble);
  phone.Receive("\rAT\f\r");
  EXPECT_EQ(Visible(line.Bytes()), Visible("AT\x0e\r\r\nERROR\r\n"));
}

TEST(PhoneRules, RefusedOrSilentCommandsChangeNothing) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.rules().Edit("*EAM") = With(Result::Error);
  phone.rules().Edit("*EASM") = With(Result::Silent);
  phone.rules().Edit("+CMEE") = With(Result::CmeError, 3);
  phone.Receive("\rAT*EAM=\"Winamp\"\r\rAT*EASM=\"T\", 1, 1, 0\r\rAT+CMEE=1\r");
  EXPECT_FALSE(phone.screen().accessory);
  EXPECT_FALSE(phone.screen().menu);
  EXPECT_EQ(phone.settings().errorMode, 0);
  EXPECT_EQ(phone.history().size(), 3u);
}

TEST(PhoneRules, DelayedResultStillTakesEffect) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.rules().Edit("*EASM") = WithDelay(700);
  phone.Receive("\rAT*EASM=\"T\", 1, 1, 1,\"a\"\r");
  ASSERT_TRUE(phone.screen().menu);
  EXPECT_EQ(phone.screen().menu->entries, std::vector<std::string>{"a"});
}

TEST(PhoneRules, VirtualTimeShowsWhenTheResultArrives) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.rules().Edit("+CNMI=3,1") = WithDelay(600);
  line.SetNow(1000);
  phone.Receive("\rAT+CNMI=3,1\r");
  EXPECT_EQ(Visible(line.BytesUntil(1599)), Visible("AT+CNMI=3,1\r"));
  EXPECT_EQ(Visible(line.BytesUntil(1600)), Visible("AT+CNMI=3,1\r\r\nOK\r\n"));
  // A user action queued meanwhile keeps its place behind the late result.
  phone.OpenAccessoryMenu();
  EXPECT_EQ(line.timed().back().atMs, 1600u);
}

TEST(PhoneRules, PaceCutsEverythingNoRuleGoverns) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.SetPace({5, 20});
  phone.OpenAccessoryMenu();
  phone.Receive("\rAT\r");
  EXPECT_EQ(
      line.emissions(),
      (std::vector<Emission>{{"\r\n*EA", 0}, {"AI\r\n", 20}, {"AT\r\r\n", 0}, {"OK\r\n", 20}}));
}

TEST(PhoneRules, ARuleChunkingOverridesThePace) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.SetPace({1, 1});
  phone.rules().Edit("") = WithChunks(100, 0);
  phone.Receive("\rAT\r");
  EXPECT_EQ(line.emissions(), (std::vector<Emission>{{"AT\r\r\nOK\r\n", 0}}));
}

}  // namespace
}  // namespace quillet::phone
