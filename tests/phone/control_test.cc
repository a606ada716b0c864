// The control language of the simulator program, run against the model.

#include "control.h"

#include <gtest/gtest.h>

#include "chunkings.h"
#include "recording_transport.h"

namespace quillet::phone {
namespace {

using testing::Visible;
using Kind = ControlOutcome::Kind;
using namespace std::string_literals;

struct SentCase {
  std::string control;
  std::string sent;
  const char* charset = "";  // selected with "+CSCS" first
};

const SentCase kSent[] = {
    {"open", "\r\n*EAAI\r\n"},
    {"choose 4", "\r\n*EAMI: 4\r\n"},
    {"choose  -1 ", "\r\n*EAMI: -1\r\n"},
    {"back", "\r\n*EAMI: 0\r\n"},
    {"level 50", "\r\n*EAII: 4,50\r\n"},
    {"interim 25", "\r\n*EAII: 15,25\r\n"},
    {"list 2", "\r\n*EAII: 5,2\r\n"},
    {"switch 1", "\r\n*EAII: 3,1\r\n"},
    {"switch off", "\r\n*EAII: 3,0\r\n"},
    {"number 12", "\r\n*EAII: 7,12\r\n"},
    {"text two  words, \"q\"", "\r\n*EAII: 11,\"two  words, \"q\"\"\r\n"},
    {"text", "\r\n*EAII: 11,\"\"\r\n"},
    // Typed in UTF-8, sent in the selected set; what the set lacks as "?".
    {"text \u043a\u0438\u043d\u043e", "\r\n*EAII: 11,\"\u043a\u0438\u043d\u043e\"\r\n", "UTF-8"},
    {"text \u043a\u0438\u043d\u043e", "\r\n*EAII: 11,\"????\"\r\n", "8859-1"},
    {"text Caf\u00e9 \u2013 x", "\r\n*EAII: 11,\"Caf\xe9 ? x\"\r\n", "8859-1"},
    {"text Caf\u00e9 \u043a", "\r\n*EAII: 11,\"Caf\xe9 ?\"\r\n"},
    {"text Caf\u00e9 \u043a", "\r\n*EAII: 11,\"Caf? ?\"\r\n", "IRA"},
    {"reject", "\r\n*EAII: 0\r\n"},
    {"abort", "\r\n*EAII\r\n"},
    {"urc RING", "\r\nRING\r\n"},
    {"urc *EAMI", "\r\n*EAMI\r\n"},
    {"junk garbage here", "garbage here\r\n"},
    {"raw 00 41 0d0A", "\0A\r\n"s},
    {"raw 4f:4b", "OK"},
    {"open\r", "\r\n*EAAI\r\n"},
};

TEST(Control, UserActionsAndInjections) {
  for (const SentCase& c : kSent) {
    RecordingTransport line;
    PhoneModel phone(line);
    if (*c.charset) {
      phone.Receive(std::string("AT+CSCS=\"") + c.charset + "\"\r");
      ASSERT_EQ(phone.settings().charset, c.charset);
      line.Clear();
    }
    ControlOutcome outcome = RunControl(phone, c.control);
    EXPECT_EQ(outcome.kind, Kind::Done) << c.control << ": " << outcome.error;
    EXPECT_EQ(Visible(line.Bytes()), Visible(c.sent)) << c.control;
  }
}

const char* const kBad[] = {
    "frobnicate",
    "choose",
    "choose x",
    "choose 99999999999",
    "level",
    "switch 2",
    "dsr maybe",
    "raw",
    "raw 4",
    "raw zz",
    "urc",
    "reply",
    "reply +CGMI",
    "reply +CGMI bogus",
    "reply +CGMI cme",
    "reply +CGMI delay -1",
    "reply +CGMI chunks 3",
    "reply +CGMI times 0",
    "value",
    "pace x",
    "call",
    "call frob",
    "call answer",
    "call missed",
    "call waiting",
    "call hangup",
    "call hangup 8",
    "call missed now",
    "text Caf\xe9",  // not UTF-8
    "away 0",
    "away soon",
    "return now",
};

TEST(Control, RefusesWhatItDoesNotUnderstand) {
  for (const char* control : kBad) {
    RecordingTransport line;
    PhoneModel phone(line);
    ControlOutcome outcome = RunControl(phone, control);
    EXPECT_EQ(outcome.kind, Kind::Error) << control;
    EXPECT_FALSE(outcome.error.empty()) << control;
    EXPECT_TRUE(line.emissions().empty()) << control;
    EXPECT_TRUE(phone.rules().empty()) << control;
  }
}

// Away, the phone hears nothing (a line cut off by the going stays lost)
// and sends nothing, its user's codes included; back, it answers again.
TEST(Control, PhoneAwayIsSilentUntilItReturns) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.Receive("\rAT+CG");
  ControlOutcome away = RunControl(phone, "away 25000");
  EXPECT_EQ(away.kind, Kind::Done);
  EXPECT_EQ(away.backInMs, std::optional<std::uint32_t>(25000));
  EXPECT_EQ(RunControl(phone, "away").backInMs, std::optional<std::uint32_t>(0));
  phone.Receive("MI\r\rAT\r");
  RunControl(phone, "open");
  RunControl(phone, "urc RING");
  EXPECT_TRUE(line.emissions().empty());
  EXPECT_TRUE(phone.history().empty());
  EXPECT_TRUE(line.dsrChanges().empty());  // the port stays as it was
  EXPECT_EQ(RunControl(phone, "return").kind, Kind::Done);
  phone.Receive("\rAT\r");
  RunControl(phone, "open");
  EXPECT_EQ(Visible(line.Bytes()), Visible("AT\r\r\nOK\r\n\r\n*EAAI\r\n"));
  EXPECT_EQ(phone.history(), std::vector<std::string>{"AT"});
}

TEST(Control, QueriesAndQuit) {
  RecordingTransport line;
  PhoneModel phone(line);
  EXPECT_EQ(RunControl(phone, "screen").kind, Kind::Screen);
  EXPECT_EQ(RunControl(phone, "history").kind, Kind::History);
  EXPECT_EQ(RunControl(phone, "quit").kind, Kind::Quit);
  EXPECT_EQ(RunControl(phone, "").kind, Kind::Ignored);
  EXPECT_EQ(RunControl(phone, "   ").kind, Kind::Ignored);
  EXPECT_EQ(RunControl(phone, "# a comment").kind, Kind::Ignored);
}

TEST(Control, Dsr) {
  RecordingTransport line;
  PhoneModel phone(line);
  EXPECT_EQ(RunControl(phone, "dsr on").kind, Kind::Done);
  EXPECT_EQ(RunControl(phone, "dsr off").kind, Kind::Done);
  EXPECT_EQ(line.dsrChanges(), (std::vector<bool>{true, false}));
}

std::string Answer(PhoneModel& phone, RecordingTransport& line, const std::string& written) {
  line.Clear();
  phone.Receive(written);
  return Visible(line.Bytes());
}

TEST(Control, ReplyRulesCombineAspects) {
  RecordingTransport line;
  PhoneModel phone(line);
  ASSERT_EQ(RunControl(phone, "reply +CNMI=3,1 error times 1").kind, Kind::Done);
  EXPECT_EQ(Answer(phone, line, "\rAT+CNMI=3,1\r"), Visible("AT+CNMI=3,1\r\r\nERROR\r\n"));
  EXPECT_EQ(Answer(phone, line, "\rAT+CNMI=3,1\r"), Visible("AT+CNMI=3,1\r\r\nOK\r\n"));

  ASSERT_EQ(RunControl(phone, "reply +CGMI delay 600").kind, Kind::Done);
  ASSERT_EQ(RunControl(phone, "reply +CGMI echo-lower").kind, Kind::Done);
  line.Clear();
  phone.Receive("\rAT+CGMI\r");
  EXPECT_EQ(line.emissions(),
            (std::vector<Emission>{{"at+cgmi\r", 0}, {"\r\nSimPhone\r\n\r\nOK\r\n", 600}}));

  ASSERT_EQ(RunControl(phone, "reply +CGMI clear").kind, Kind::Done);
  EXPECT_EQ(Answer(phone, line, "\rAT+CGMI\r"), Visible("AT+CGMI\r\r\nSimPhone\r\n\r\nOK\r\n"));

  ASSERT_EQ(RunControl(phone, "reply *EAM cme 4").kind, Kind::Done);
  ASSERT_EQ(RunControl(phone, "reply +CMEE=1 ok").kind, Kind::Done);
  phone.Receive("\rAT+CMEE=1\r");
  EXPECT_EQ(Answer(phone, line, "\rAT*EAM=\"W\"\r"),
            Visible("AT*EAM=\"W\"\r\r\n+CME ERROR: 4\r\n"));

  ASSERT_EQ(RunControl(phone, "reply *EASM silent").kind, Kind::Done);
  EXPECT_EQ(Answer(phone, line, "\rAT*EASM=\"T\", 1, 1, 0\r"), "");
  ASSERT_EQ(RunControl(phone, "reply *EASM natural echo-off").kind, Kind::Done);
  EXPECT_EQ(Answer(phone, line, "\rAT*EASM=\"T\", 1, 1, 0\r"), Visible("\r\nOK\r\n"));
  ASSERT_EQ(RunControl(phone, "reply *EASM echo-on echo-garble").kind, Kind::Done);
  EXPECT_EQ(Answer(phone, line, "\rAT*EASM=\"T\", 1, 1, 0\r"),
            Visible("AT*EASM=\"T\", 1, 1, 1\r\r\nOK\r\n"));

  ASSERT_EQ(RunControl(phone, "reply clear").kind, Kind::Done);
  EXPECT_TRUE(phone.rules().empty());
}

TEST(Control, ReplyChunksAndInterject) {
  RecordingTransport line;
  PhoneModel phone(line);
  ASSERT_EQ(RunControl(phone, "reply all chunks 3 7").kind, Kind::Done);
  ASSERT_EQ(RunControl(phone, "reply *EAID interject *EAMI: 2").kind, Kind::Done);
  line.Clear();
  phone.Receive("\rAT\r");
  EXPECT_EQ(line.emissions(), (std::vector<Emission>{{"AT\r", 0}, {"\r\nO", 7}, {"K\r\n", 7}}));
  EXPECT_EQ(Answer(phone, line, "\rAT*EAID=3,2,\"S\",0\r"),
            Visible("AT*EAID=3,2,\"S\",0\r\r\n*EAMI: 2\r\n\r\nOK\r\n"));
}

TEST(Control, AFailedReplyLineLeavesTheRuleAsItWas) {
  RecordingTransport line;
  PhoneModel phone(line);
  ASSERT_EQ(RunControl(phone, "reply +CGMI error").kind, Kind::Done);
  EXPECT_EQ(RunControl(phone, "reply +CGMI ok delay x").kind, Kind::Error);
  EXPECT_EQ(Answer(phone, line, "\rAT+CGMI\r"), Visible("AT+CGMI\r\r\nERROR\r\n"));
}

TEST(Control, ValuesAndPace) {
  RecordingTransport line;
  PhoneModel phone(line);
  ASSERT_EQ(RunControl(phone, "value +CGMI Sony Ericsson").kind, Kind::Done);
  ASSERT_EQ(RunControl(phone, "value +CGMM").kind, Kind::Done);
  EXPECT_EQ(Answer(phone, line, "\rAT+CGMI\r\rAT+CGMM\r"),
            Visible("AT+CGMI\r\r\nSony Ericsson\r\n\r\nOK\r\nAT+CGMM\r\r\nOK\r\n"));
  ASSERT_EQ(RunControl(phone, "pace 4 9").kind, Kind::Done);
  line.Clear();
  phone.OpenAccessoryMenu();
  EXPECT_EQ(line.emissions(), (std::vector<Emission>{{"\r\n*E", 0}, {"AAI\r", 9}, {"\n", 9}}));
  ASSERT_EQ(RunControl(phone, "pace 0").kind, Kind::Done);
  line.Clear();
  phone.OpenAccessoryMenu();
  EXPECT_EQ(line.emissions().size(), 1u);
}

// Calls happen whether or not the phone reports them; it reports them only
// after "*ECAM=1" was accepted, each change as one "*ECAV" line, and lists
// the calls going on to "+CLCC" either way.
TEST(Control, CallsAreReportedOnceAsked) {
  const std::string idle = ",0,1,8,16\r\n";
  struct Script {
    const char* what;
    std::vector<const char*> controls;
    std::string reports;
    std::size_t callsLeft;
    std::string list = "";  // the "+CLCC" lines after the controls
  } scripts[] = {
      {"answered",
       {"call ring +1555", "call answer", "call hangup"},
       "\r\n*ECAV: 1,6,1,,,\"+1555\",145\r\n\r\n*ECAV: 1,3,1\r\n\r\n*ECAV: 1" + idle,
       0},
      {"missed",
       {"call ring 0123", "call missed"},
       "\r\n*ECAV: 1,6,1,,,\"0123\",129\r\n\r\n*ECAV: 1" + idle,
       0},
      {"outgoing",
       {"call dial 555", "call answer", "call hangup 1"},
       "\r\n*ECAV: 1,1,1,,,\"555\",129\r\n\r\n*ECAV: 1,2,1\r\n\r\n*ECAV: 1,3,1\r\n"
       "\r\n*ECAV: 1" +
           idle,
       0},
      {"waiting",
       {"call ring", "call answer", "call waiting +2", "call answer", "call hangup 2"},
       "\r\n*ECAV: 1,6,1,,,\"+15555550123\",145\r\n\r\n*ECAV: 1,3,1\r\n"
       "\r\n*ECAV: 2,5,1,,,\"+2\",145\r\n\r\n*ECAV: 1,4,1\r\n\r\n*ECAV: 2,3,1\r\n"
       "\r\n*ECAV: 2" +
           idle,
       1,
       "\r\n+CLCC: 1,1,1,0,0,\"+15555550123\",145\r\n"},
      {"dialling beside a held call",
       {"call ring", "call answer", "call dial 555"},
       "\r\n*ECAV: 1,6,1,,,\"+15555550123\",145\r\n\r\n*ECAV: 1,3,1\r\n"
       "\r\n*ECAV: 1,4,1\r\n\r\n*ECAV: 2,1,1,,,\"555\",129\r\n\r\n*ECAV: 2,2,1\r\n",
       2,
       "\r\n+CLCC: 1,1,1,0,0,\"+15555550123\",145\r\n+CLCC: 2,0,3,0,0,\"555\",129\r\n"},
  };
  for (bool asked : {true, false}) {
    for (const Script& script : scripts) {
      SCOPED_TRACE(std::string(script.what) + (asked ? " asked" : " not asked"));
      RecordingTransport line;
      PhoneModel phone(line);
      if (asked) {
        EXPECT_EQ(Answer(phone, line, "\rAT*ECAM=1\r"), Visible("AT*ECAM=1\r\r\nOK\r\n"));
      }
      line.Clear();
      for (const char* control : script.controls)
        EXPECT_EQ(RunControl(phone, control).kind, Kind::Done) << control;
      EXPECT_EQ(Visible(line.Bytes()), asked ? Visible(script.reports) : "");
      EXPECT_EQ(phone.screen().calls.size(), script.callsLeft);
      EXPECT_EQ(Answer(phone, line, "\rAT+CLCC\r"),
                Visible("AT+CLCC\r" + script.list + "\r\nOK\r\n"));
    }
  }
  RecordingTransport line;
  PhoneModel phone(line);
  EXPECT_EQ(Answer(phone, line, "\rAT*ECAM?\r"), Visible("AT*ECAM?\r\r\n*ECAM: 0\r\n\r\nOK\r\n"));
  EXPECT_EQ(Answer(phone, line, "\rAT*ECAM=2\r"), Visible("AT*ECAM=2\r\r\nERROR\r\n"));
  ASSERT_EQ(RunControl(phone, "reply *ECAM error").kind, Kind::Done);
  EXPECT_EQ(Answer(phone, line, "\rAT*ECAM=1\r"), Visible("AT*ECAM=1\r\r\nERROR\r\n"));
  EXPECT_FALSE(phone.settings().callReports);
  ASSERT_EQ(RunControl(phone, "call ring").kind, Kind::Done);
  EXPECT_EQ(RunControl(phone, "call ring").kind, Kind::Error);  // one rings already
  ASSERT_EQ(RunControl(phone, "reply +CLCC error").kind, Kind::Done);
  EXPECT_EQ(Answer(phone, line, "\rAT+CLCC\r"), Visible("AT+CLCC\r\r\nERROR\r\n"));
}

}  // namespace
}  // namespace quillet::phone
