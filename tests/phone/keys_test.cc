// The phone's keys: "+CMER" turns their reports on and off, the hold dialog
// "*EAID=13" goes on the screen, and the user's presses and holds go out as
// "+CKEV" lines only while reports are on.

#include <gtest/gtest.h>

#include "chunkings.h"
#include "control.h"
#include "recording_transport.h"

namespace quillet::phone {
namespace {

using testing::Visible;
using Kind = ControlOutcome::Kind;

TEST(Keys, ReportsFollowCmerAndGoOutAsPressAndRelease) {
  struct Step {
    const char* in;  // "AT..." written by the plug-in, else a control line
    const char* out;
    Kind kind = Kind::Done;
  } steps[] = {
      {"k 6", "", Kind::Error},  // reports are off: nothing goes out
      {"AT+CMER?", "AT+CMER?\r\r\n+CMER: 0,0,0,0,0\r\n\r\nOK\r\n"},
      {"AT+CMER=3,2,0,0,0", "AT+CMER=3,2,0,0,0\r\r\nOK\r\n"},
      {"AT+CMER?", "AT+CMER?\r\r\n+CMER: 3,2,0,0,0\r\n\r\nOK\r\n"},
      {"k 6", "\r\n+CKEV: 6,1\r\n\r\n+CKEV: 6,0\r\n"},
      {"key :J", "\r\n+CKEV: :J,1\r\n\r\n+CKEV: :J,0\r\n"},
      {"hold u 1200", "\r\n+CKEV: u,1\r\n\r\n+CKEV: u,0\r\n"},
      {"k", "", Kind::Error},
      {"k 66", "", Kind::Error},
      {"k 6 7", "", Kind::Error},
      {"hold u", "", Kind::Error},
      {"AT+CMER=3,2,0,0,0,0", "AT+CMER=3,2,0,0,0,0\r\r\nERROR\r\n"},
      {"AT+CMER=1,2", "AT+CMER=1,2\r\r\nERROR\r\n"},
      {"AT+CMER=3,2,0,1", "AT+CMER=3,2,0,1\r\r\nOK\r\n"},
      {"AT+CMER=3,0,0,1", "AT+CMER=3,0,0,1\r\r\nOK\r\n"},
      {"k 6", "", Kind::Error},
      {"AT+CMER=3,2,0,0,0", "AT+CMER=3,2,0,0,0\r\r\nOK\r\n"},
      {"reply +CMER error", ""},
      {"AT+CMER=0,0,0,0,0", "AT+CMER=0,0,0,0,0\r\r\nERROR\r\n"},
      {"k 6", "\r\n+CKEV: 6,1\r\n\r\n+CKEV: 6,0\r\n"},  // refused: still on
      {"reply clear", ""},
      {"AT+CMER=0,0,0,0,0", "AT+CMER=0,0,0,0,0\r\r\nOK\r\n"},
      {"k 6", "", Kind::Error},
  };
  RecordingTransport line;
  PhoneModel phone(line);
  for (const Step& step : steps) {
    SCOPED_TRACE(step.in);
    line.Clear();
    const std::string in = step.in;
    if (in.rfind("AT", 0) == 0) {
      phone.Receive("\r" + in + "\r");
    } else {
      EXPECT_EQ(RunControl(phone, in).kind, step.kind);
    }
    EXPECT_EQ(Visible(line.Bytes()), Visible(step.out));
  }
  // A hold releases its key that much later than the press.
  line.Clear();
  phone.Receive("\rAT+CMER=3,2,0,0,0\r");
  line.Clear();
  ASSERT_EQ(RunControl(phone, "hold v 900").kind, Kind::Done);
  ASSERT_EQ(line.timed().size(), 2u);
  EXPECT_EQ(line.timed()[1].atMs - line.timed()[0].atMs, 900u);
}

TEST(Keys, TheHoldDialogGoesOnTheScreenAndNoClosesIt) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.Receive("\rAT*EAID=13,2,\"Remote keys\"\r");
  EXPECT_EQ(Visible(line.Bytes()), Visible("AT*EAID=13,2,\"Remote keys\"\r\r\nOK\r\n"));
  ASSERT_TRUE(phone.screen().dialog.has_value());
  EXPECT_EQ(phone.screen().dialog->type, DialogType::Hold);
  EXPECT_EQ(phone.screen().dialog->title, "Remote keys");
  EXPECT_EQ(phone.screen().dialog->mode, 2);
  line.Clear();
  ASSERT_EQ(RunControl(phone, "reject").kind, Kind::Done);
  EXPECT_EQ(Visible(line.Bytes()), Visible("\r\n*EAII: 0\r\n"));
  EXPECT_FALSE(phone.screen().dialog.has_value());
  line.Clear();
  phone.Receive("\rAT*EAID=13,2\r");
  EXPECT_EQ(Visible(line.Bytes()), Visible("AT*EAID=13,2\r\r\nERROR\r\n"));
}

}  // namespace
}  // namespace quillet::phone
