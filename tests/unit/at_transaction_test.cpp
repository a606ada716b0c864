#include "link/at_transaction.h"

#include <gtest/gtest.h>

#include "link/line_reader.h"
#include "link_fixture.h"

namespace quillet {
namespace {

using phone::ReplyRule;
using testing::LinkFixture;

// Every transaction test runs against Windows' serial behaviour and Wine's.
struct TransactionFixture : ::testing::TestWithParam<bool>, LinkFixture {
  TransactionFixture() : LinkFixture(GetParam()) { OpenPort(); }
  ReplyRule& Rule(const std::string& prefix) { return phone.model().rules().Edit(prefix); }
  int Sends(const std::string& wire) {
    const std::string written = phone.device().written();
    int count = 0;
    for (std::size_t at = 0; (at = written.find(wire, at)) != std::string::npos; at += wire.size())
      ++count;
    return count;
  }
};

TEST_P(TransactionFixture, CommandIsFramedEchoedAndAnswered) {
  EXPECT_TRUE(SendCommand(link, "+CMEE=1"));
  EXPECT_EQ(phone.device().written(), "\rAT+CMEE=1\r");
  EXPECT_EQ(Trace(), "put:  \rAT+CMEE=1\r\r\nrply: AT+CMEE=1\r\nrply: OK\r\n");
  EXPECT_EQ(phone.model().history(), std::vector<std::string>{"AT+CMEE=1"});
  EXPECT_EQ(os.overlappedMisuse, 0);
  // The pauses: 100 ms after the send and after each read.
  EXPECT_GE(os.NowMs(), 200u);
}

TEST_P(TransactionFixture, ValueLineStaysForReadLine) {
  phone.model().SetValue("+CGMI", {"Sony Ericsson"});
  EXPECT_TRUE(SendCommand(link, "+CGMI"));
  EXPECT_FALSE(link.rx.drained);
  std::string value;
  while (value.empty() && !link.rx.drained) value = ReadLine(link, false);
  EXPECT_EQ(value, "Sony Ericsson");
}

TEST_P(TransactionFixture, EveryChunkingAndPaceOfTheAnswerSucceeds) {
  const phone::Chunking paces[] = {{0, 0}, {1, 0}, {1, 2}, {3, 20}, {5, 60}, {2, 49}};
  for (const auto& pace : paces) {
    SCOPED_TRACE(std::to_string(pace.size) + "/" + std::to_string(pace.pauseMs));
    LinkFixture f(GetParam());
    f.OpenPort();
    f.phone.model().SetValue("+CGMM", {"QX-1"});
    f.phone.model().SetPace(pace);
    EXPECT_TRUE(SendCommand(f.link, "+CGMM"));
    std::string value;
    while (value.empty() && !f.link.rx.drained) value = ReadLine(f.link, false);
    EXPECT_EQ(value, "QX-1");
    EXPECT_EQ(f.os.overlappedMisuse, 0);
  }
}

TEST_P(TransactionFixture, UnsolicitedLineBetweenEchoAndOkStaysInOrder) {
  Rule("+CNMI").interject = "*EAMI: 2";
  EXPECT_TRUE(SendCommand(link, "+CNMI=3,1"));
  EXPECT_FALSE(link.rx.drained);
  std::vector<std::string> lines;
  while (!link.rx.drained) {
    std::string line = ReadLine(link, false);
    if (!line.empty()) lines.push_back(line);
  }
  EXPECT_EQ(lines, std::vector<std::string>{"*EAMI: 2"});
}

struct ResultCase {
  ReplyRule::Result result;
  bool expected;
  const char* reply;
};

TEST_P(TransactionFixture, FinalResultsDecideTheOutcome) {
  const ResultCase cases[] = {
      {ReplyRule::Result::Ok, true, "OK"},
      {ReplyRule::Result::Error, false, "ERROR"},
      {ReplyRule::Result::CmeError, false, "+CME ERROR: 10"},
  };
  for (const auto& c : cases) {
    LinkFixture f(GetParam());
    f.OpenPort();
    ASSERT_TRUE(SendCommand(f.link, "+CMEE=1"));
    f.phone.model().rules().Edit("+CNMI").result = c.result;
    f.phone.model().rules().Edit("+CNMI").cmeCode = 10;
    EXPECT_EQ(SendCommand(f.link, "+CNMI=3,1"), c.expected) << c.reply;
    EXPECT_NE(f.Trace().find(std::string("rply: ") + c.reply + "\r\n"), std::string::npos);
  }
}

TEST_P(TransactionFixture, SilentPhoneGetsTheCommandThreeTimesAtMost) {
  Rule("").result = ReplyRule::Result::Silent;
  EXPECT_FALSE(SendCommand(link, "*EAM=\"Winamp\""));
  EXPECT_EQ(Sends("\rAT*EAM=\"Winamp\"\r"), 3);
  EXPECT_NE(Trace().find("info: reply not given\r\n"), std::string::npos);
  EXPECT_FALSE(link.rx.drained);
}

TEST_P(TransactionFixture, GarbledEchoIsResentAndCutOut) {
  auto& rule = Rule("+CMEE");
  rule.echo = ReplyRule::Echo::Garble;
  rule.remaining = 1;
  EXPECT_TRUE(SendCommand(link, "+CMEE=1"));
  EXPECT_EQ(Sends("\rAT+CMEE=1\r"), 2);
  // The first answer's "OK" belongs to the garbled attempt and stays behind.
  std::vector<std::string> left;
  while (!link.rx.drained) {
    std::string line = ReadLine(link, false);
    if (!line.empty()) left.push_back(line);
  }
  EXPECT_EQ(left, std::vector<std::string>{"OK"});
}

TEST_P(TransactionFixture, EchoNeverRightGivesUpAfterThreeSends) {
  Rule("").echo = ReplyRule::Echo::Lower;
  EXPECT_FALSE(SendCommand(link, "+CGMI"));
  EXPECT_EQ(Sends("\rAT+CGMI\r"), 3);
}

TEST_P(TransactionFixture, LateOkIsLeftForReadLine) {
  Rule("+CMEE").delayMs = 700;
  EXPECT_FALSE(SendCommand(link, "+CMEE=1"));
  EXPECT_EQ(ReadLine(link, true), "");
  EXPECT_EQ(ReadLine(link, true), "OK");
}

TEST_P(TransactionFixture, ValueHoldingOkOrAtIsNotTakenForAResult) {
  phone.model().SetValue("+CGMI", {"NOKIA OK", "OKAY", "CAT ERROR-FREE", "ATLAS"});
  EXPECT_TRUE(SendCommand(link, "+CGMI"));
  std::vector<std::string> values;
  while (!link.rx.drained) {
    std::string line = ReadLine(link, false);
    if (!line.empty()) values.push_back(line);
  }
  EXPECT_EQ(values, (std::vector<std::string>{"NOKIA OK", "OKAY", "CAT ERROR-FREE", "ATLAS"}));
}

TEST_P(TransactionFixture, UnsolicitedTextWithAtBeforeTheEchoStaysIntact) {
  phone.Now();
  phone.model().SendLine("*EAII: 11,\"CAT\"");
  EXPECT_TRUE(SendCommand(link, "+CMEE=1"));
  std::vector<std::string> left;
  while (!link.rx.drained) {
    std::string line = ReadLine(link, false);
    if (!line.empty()) left.push_back(line);
  }
  EXPECT_EQ(left, std::vector<std::string>{"*EAII: 11,\"CAT\""});
  EXPECT_EQ(Sends("\rAT+CMEE=1\r"), 1);
}

TEST_P(TransactionFixture, StaleOkBeforeTheEchoDoesNotAnswerTheCommand) {
  phone.Now();
  phone.model().SendLine("OK");
  Rule("+CNMI").result = ReplyRule::Result::Error;
  EXPECT_FALSE(SendCommand(link, "+CNMI=3,1"));
}

TEST_P(TransactionFixture, FailedWriteReturnsAtOnce) {
  phone.device().failWrites = true;
  EXPECT_FALSE(SendCommand(link, "+CGMI"));
  EXPECT_EQ(os.NowMs(), 0u);
  ClosePort(os, link.state);
  EXPECT_FALSE(SendCommand(link, "+CGMI"));
}

TEST_P(TransactionFixture, BurstOfUnsolicitedLinesCannotJamLaterWaits) {
  // Far more unsolicited text than the buffer holds, arriving during commands.
  for (int round = 0; round < 40; ++round) {
    phone.Now();
    for (int i = 0; i < 30; ++i) phone.model().SendUnsolicited("RING " + std::to_string(i * 1000));
    EXPECT_TRUE(SendCommand(link, "+CMEE=1")) << round;
    // The monitor would read them now; it reads most, and some stay behind.
    for (int i = 0; i < 27; ++i) ReadLine(link, false);
  }
  EXPECT_EQ(os.overlappedMisuse, 0);
}

TEST_P(TransactionFixture, StopRequestedSendsNothing) {
  link.state.stopRequested = true;
  EXPECT_FALSE(SendCommand(link, "+CGMI"));
  EXPECT_EQ(phone.device().written(), "");
}

// A phone that talks on and on without answering cannot hold a wait past
// 10 s, also when the OS's 32-bit tick wraps during the wait.
TEST_P(TransactionFixture, ChattyPhoneCannotHoldAWaitPastTenSeconds) {
  for (std::uint64_t start : {std::uint64_t{0}, std::uint64_t{0xFFFFFFFF} - 3000}) {
    SCOPED_TRACE(start);
    LinkFixture f(GetParam());
    f.os.AdvanceMs(start);
    f.OpenPort();
    for (int i = 0; i < 600; ++i) f.phone.device().Deliver("\r\nRING\r\n", start + i * 100);
    EXPECT_FALSE(WaitReply(f.link, "", true, 1).found);
    const std::uint64_t elapsed = f.os.VirtualMs() - start;
    EXPECT_GE(elapsed, 10000u);
    EXPECT_LT(elapsed, 11000u);
  }
}

INSTANTIATE_TEST_SUITE_P(SerialBehaviour, TransactionFixture, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wine" : "Windows"; });

}  // namespace
}  // namespace quillet
