// What the phone's user sends: accessory activation, menu choices and dialog
// answers, byte for byte, and what each does to the screen.

#include <gtest/gtest.h>

#include <functional>

#include "chunkings.h"
#include "phone_model.h"
#include "recording_transport.h"

namespace quillet::phone {
namespace {

using testing::Visible;

struct UserCase {
  const char* name;
  std::function<void(PhoneModel&)> act;
  std::string sent;
};

const std::vector<UserCase>& Cases() {
  static const std::vector<UserCase> cases = {
      {"open", [](PhoneModel& p) { p.OpenAccessoryMenu(); }, "\r\n*EAAI\r\n"},
      {"choose", [](PhoneModel& p) { p.ChooseEntry(3); }, "\r\n*EAMI: 3\r\n"},
      {"back", [](PhoneModel& p) { p.ChooseEntry(0); }, "\r\n*EAMI: 0\r\n"},
      {"level", [](PhoneModel& p) { p.AnswerLevel(50); }, "\r\n*EAII: 4,50\r\n"},
      {"interim", [](PhoneModel& p) { p.AnswerInterimLevel(30); }, "\r\n*EAII: 15,30\r\n"},
      {"list", [](PhoneModel& p) { p.AnswerList(2); }, "\r\n*EAII: 5,2\r\n"},
      {"switch-on", [](PhoneModel& p) { p.AnswerOnOff(true); }, "\r\n*EAII: 3,1\r\n"},
      {"switch-off", [](PhoneModel& p) { p.AnswerOnOff(false); }, "\r\n*EAII: 3,0\r\n"},
      {"number", [](PhoneModel& p) { p.AnswerNumber(-12); }, "\r\n*EAII: 7,-12\r\n"},
      {"text", [](PhoneModel& p) { p.AnswerText("ab, \"c"); }, "\r\n*EAII: 11,\"ab, \"c\"\r\n"},
      {"empty-text", [](PhoneModel& p) { p.AnswerText(""); }, "\r\n*EAII: 11,\"\"\r\n"},
      {"reject", [](PhoneModel& p) { p.RejectDialog(); }, "\r\n*EAII: 0\r\n"},
      {"abort", [](PhoneModel& p) { p.AbortDialog(); }, "\r\n*EAII\r\n"},
      {"unsolicited", [](PhoneModel& p) { p.SendUnsolicited("RING"); }, "\r\nRING\r\n"},
      {"junk-line", [](PhoneModel& p) { p.SendLine("#$%junk"); }, "#$%junk\r\n"},
      {"raw-with-nul", [](PhoneModel& p) { p.SendRaw(std::string("\0OK\r", 4)); },
       std::string("\0OK\r", 4)},
  };
  return cases;
}

TEST(PhoneUser, SendsTheCodesAPhoneSends) {
  for (const UserCase& c : Cases()) {
    RecordingTransport line;
    PhoneModel phone(line);
    c.act(phone);
    EXPECT_EQ(Visible(line.Bytes()), Visible(c.sent)) << c.name;
    ASSERT_EQ(line.emissions().size(), 1u) << c.name;
    EXPECT_EQ(line.emissions()[0].delayMs, 0u) << c.name;
  }
}

TEST(PhoneUser, RawBytesCanWait) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.SendRaw("x", 250);
  EXPECT_EQ(line.emissions(), (std::vector<Emission>{{"x", 250}}));
}

TEST(PhoneUser, UserCodesGoOutInEveryPaceUnchanged) {
  for (std::size_t size : {1u, 2u, 3u, 7u, 64u}) {
    RecordingTransport line;
    PhoneModel phone(line);
    phone.SetPace({size, 10});
    phone.AnswerText("hello");
    EXPECT_EQ(Visible(line.Bytes()), Visible("\r\n*EAII: 11,\"hello\"\r\n")) << size;
    for (const Emission& e : line.emissions()) EXPECT_LE(e.bytes.size(), size);
  }
}

class UserScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    phone_.Receive("\rAT*EASM=\"Winamp menu\", 1, 1, 2,\"Play\",\"Volume: 5\"\r");
    phone_.Receive("\rAT*EAID=4,2,\"Volume\",10,5\r");
    ASSERT_TRUE(phone_.screen().menu);
    ASSERT_TRUE(phone_.screen().dialog);
  }
  RecordingTransport line_;
  PhoneModel phone_{line_};
};

TEST_F(UserScreen, FinalAnswerClosesTheDialog) {
  phone_.AnswerLevel(40);
  EXPECT_FALSE(phone_.screen().dialog);
  EXPECT_TRUE(phone_.screen().menu);
}

TEST_F(UserScreen, InterimAnswerKeepsTheDialog) {
  phone_.AnswerInterimLevel(40);
  EXPECT_TRUE(phone_.screen().dialog);
}

TEST_F(UserScreen, RejectAndAbortCloseTheDialog) {
  phone_.RejectDialog();
  EXPECT_FALSE(phone_.screen().dialog);
  phone_.Receive("\rAT*EAID=3,2,\"Shown\",1\r");
  ASSERT_TRUE(phone_.screen().dialog);
  phone_.AbortDialog();
  EXPECT_FALSE(phone_.screen().dialog);
}

TEST_F(UserScreen, BackLeavesTheMenu) {
  phone_.ChooseEntry(0);
  EXPECT_FALSE(phone_.screen().menu);
  EXPECT_FALSE(phone_.screen().dialog);
}

TEST_F(UserScreen, ChoosingAnEntryLeavesTheScreenToThePlugIn) {
  phone_.RejectDialog();
  phone_.ChooseEntry(2);
  ASSERT_TRUE(phone_.screen().menu);
  EXPECT_EQ(phone_.screen().menu->selected, 1);
}

}  // namespace
}  // namespace quillet::phone
