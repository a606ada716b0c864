// The phone's answers to the plug-in's command lines, byte for byte, with the
// plug-in's bytes arriving in every chunking.

#include <gtest/gtest.h>

#include "chunkings.h"
#include "phone_model.h"
#include "recording_transport.h"

namespace quillet::phone {
namespace {

using testing::Chunkings;
using testing::Visible;

struct Exchange {
  std::string written;  // by the plug-in
  std::string answer;   // by the phone
};

const Exchange kExchanges[] = {
    {"\rAT+CGMI\r", "AT+CGMI\r\r\nSimPhone\r\n\r\nOK\r\n"},
    {"\rAT+CGMM\r", "AT+CGMM\r\r\nQX-1\r\n\r\nOK\r\n"},
    {"\rAT+CNMI=3,1\r", "AT+CNMI=3,1\r\r\nOK\r\n"},
    {"\rAT+CNMI=1,1\r", "AT+CNMI=1,1\r\r\nOK\r\n"},
    {"\rAT+CMEE=1\r", "AT+CMEE=1\r\r\nOK\r\n"},
    {"\rAT*EAM=\"Winamp\"\r", "AT*EAM=\"Winamp\"\r\r\nOK\r\n"},
    {"\rAT*EASM=\"Video options\", 2, 1, 2,\"Shown: Off\",\"Fullscreen\"\r",
     "AT*EASM=\"Video options\", 2, 1, 2,\"Shown: Off\",\"Fullscreen\"\r\r\nOK\r\n"},
    {"\rAT*EAID=4,2,\"Volume\",10,5\r", "AT*EAID=4,2,\"Volume\",10,5\r\r\nOK\r\n"},
    {"\rAT*EAID=14,1,\"Now playing\",\"Song\"\r",
     "AT*EAID=14,1,\"Now playing\",\"Song\"\r\r\nOK\r\n"},
    {"\rAT\r", "AT\r\r\nOK\r\n"},
    {"\rat+cgmi\r", "at+cgmi\r\r\nSimPhone\r\n\r\nOK\r\n"},
    {"\rAT+CMEE?\r", "AT+CMEE?\r\r\n+CMEE: 0\r\n\r\nOK\r\n"},
    // Unknown and malformed commands.
    {"\rAT+XYZ\r", "AT+XYZ\r\r\nERROR\r\n"},
    {"\rAT*EASM=garbage\r", "AT*EASM=garbage\r\r\nERROR\r\n"},
    {"\rAT*EAID=99,2,\"x\"\r", "AT*EAID=99,2,\"x\"\r\r\nERROR\r\n"},
    {"\rAT*EAM=Winamp\r", "AT*EAM=Winamp\r\r\nERROR\r\n"},
    // Several commands in one write; LF is not a terminator.
    {"\rAT\r\rAT+CGMM\r", "AT\r\r\nOK\r\nAT+CGMM\r\r\nQX-1\r\n\r\nOK\r\n"},
    {"AT\r\n", "AT\r\r\nOK\r\n"},
    {"A\nT+CGMM\r", "AT+CGMM\r\r\nQX-1\r\n\r\nOK\r\n"},
    // Not a command: echoed, never answered.
    {"\rhello\r", "hello\r"},
    // Nothing but terminators: no answer at all.
    {"\r\r\n\r", ""},
    // An unfinished line waits for its CR.
    {"\rAT+CGMI", ""},
};

TEST(PhoneFraming, AnswersEveryChunkingByteForByte) {
  for (const Exchange& exchange : kExchanges) {
    for (const auto& chunked : Chunkings(exchange.written)) {
      RecordingTransport line;
      PhoneModel phone(line);
      for (const std::string& piece : chunked.pieces) phone.Receive(piece);
      EXPECT_EQ(Visible(line.Bytes()), Visible(exchange.answer))
          << Visible(exchange.written) << " " << chunked.name;
      for (const Emission& e : line.emissions()) EXPECT_EQ(e.delayMs, 0u);
    }
  }
}

TEST(PhoneFraming, KeepsTheHistoryOfEveryLine) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.Receive("\rAT*EAM=\"Winamp\"\r\rAT+CNMI=3,1\r\rjunk\r\rAT+CGMI\r");
  EXPECT_EQ(phone.history(),
            (std::vector<std::string>{"AT*EAM=\"Winamp\"", "AT+CNMI=3,1", "junk", "AT+CGMI"}));
}

TEST(PhoneFraming, EchoOffByAte0StopsEchoesButNotResults) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.Receive("\rATE0\r");
  EXPECT_EQ(Visible(line.Bytes()), Visible("ATE0\r\r\nOK\r\n"));
  line.Clear();
  phone.Receive("\rAT+CGMM\r");
  EXPECT_EQ(Visible(line.Bytes()), Visible("\r\nQX-1\r\n\r\nOK\r\n"));
  line.Clear();
  phone.Receive("\rATE1\r\rAT\r");
  EXPECT_EQ(Visible(line.Bytes()), Visible("\r\nOK\r\nAT\r\r\nOK\r\n"));
}

TEST(PhoneFraming, ValuesCanBeChangedRemovedOrAddedForAnyCommand) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.SetValue("+CGMI", {"Sony Ericsson"});
  phone.SetValue("+cgmm", {});
  phone.SetValue("+CGSN", {"3520", "more"});
  phone.Receive("\rAT+CGMI\r\rAT+CGMM\r\rAT+CGSN\r");
  EXPECT_EQ(Visible(line.Bytes()), Visible("AT+CGMI\r\r\nSony Ericsson\r\n\r\nOK\r\n"
                                           "AT+CGMM\r\r\nOK\r\n"
                                           "AT+CGSN\r\r\n3520\r\nmore\r\n\r\nOK\r\n"));
}

TEST(PhoneFraming, ErrorReportingSettingIsRemembered) {
  RecordingTransport line;
  PhoneModel phone(line);
  EXPECT_EQ(phone.settings().errorMode, 0);
  phone.Receive("\rAT+CMEE=1\r");
  EXPECT_EQ(phone.settings().errorMode, 1);
  line.Clear();
  phone.Receive("\rAT+CMEE?\r\rAT+CMEE=7\r");
  EXPECT_EQ(Visible(line.Bytes()),
            Visible("AT+CMEE?\r\r\n+CMEE: 1\r\n\r\nOK\r\nAT+CMEE=7\r\r\nERROR\r\n"));
  EXPECT_EQ(phone.settings().errorMode, 1);
}

class Log : public PhoneObserver {
 public:
  void OnCommand(const std::string& line, const std::string& result) override {
    events.push_back("cmd " + line + " -> " + result);
  }
  void OnRefused(const std::string& line, const std::string&) override {
    events.push_back("refused " + line);
  }
  void OnScreen(ScreenChange change, const Screen&) override {
    events.push_back(std::string("screen ") + ScreenChangeName(change));
  }
  std::vector<std::string> events;
};

TEST(PhoneFraming, TellsTheObserverWhatHappened) {
  RecordingTransport line;
  PhoneModel phone(line);
  Log log;
  phone.SetObserver(&log);
  phone.Receive("\rAT*EAM=\"Winamp\"\r\rAT*EASM=\"x\r\rnoise\r");
  EXPECT_EQ(log.events, (std::vector<std::string>{
                            "cmd AT*EAM=\"Winamp\" -> OK",
                            "screen accessory",
                            "cmd AT*EASM=\"x -> ERROR",
                            "refused AT*EASM=\"x",
                            "cmd noise -> ",
                        }));
}

TEST(PhoneFraming, DsrGoesToTheTransport) {
  RecordingTransport line;
  PhoneModel phone(line);
  EXPECT_FALSE(phone.dsr());
  phone.SetDsr(true);
  phone.SetDsr(false);
  EXPECT_EQ(line.dsrChanges(), (std::vector<bool>{true, false}));
  EXPECT_FALSE(phone.dsr());
}

}  // namespace
}  // namespace quillet::phone
