// The fake port is what every link test stands on: check that it keeps the
// serial time-outs and comm-event rules in virtual time.
#include <gtest/gtest.h>

#include "link/phone_link.h"
#include "platform/fake/fake_platform.h"

namespace quillet {
namespace {

struct FakePortFixture : ::testing::Test {
  FakePortFixture() : device(os.AddDevice("COM1")) {
    port = os.OpenPort("COM1");
    os.SetPortTimeouts(port, kPortTimeouts);
    ov.event = os.CreateEvent(nullptr);
  }
  std::string Read(bool wait, IoResult* out = nullptr) {
    char buffer[64];
    EXPECT_TRUE(os.StartRead(port, ov, buffer, sizeof buffer));
    IoResult r = os.GetResult(port, ov, wait);
    if (out) *out = r;
    return std::string(buffer, r.completed() ? r.bytes : 0);
  }
  fake::FakePlatform os;
  fake::FakeSerialDevice& device;
  Handle port;
  Overlapped ov;
};

TEST_F(FakePortFixture, ReadEndsFiftyMsAfterTheLastByte) {
  device.Deliver("AB", 10);
  device.Deliver("CD", 40);
  device.Deliver("EF", 200);
  EXPECT_EQ(Read(true), "ABCD");
  EXPECT_EQ(os.NowMs(), 90u);
  EXPECT_EQ(Read(true), "EF");
  EXPECT_EQ(os.NowMs(), 250u);
}

TEST_F(FakePortFixture, SilentReadEndsAfterFiveHundredMs) {
  IoResult r;
  EXPECT_EQ(Read(true, &r), "");
  EXPECT_TRUE(r.completed());
  EXPECT_EQ(os.NowMs(), 500u);
}

TEST_F(FakePortFixture, UnwaitedReadIsPendingUntilCancelled) {
  char buffer[8];
  ASSERT_TRUE(os.StartRead(port, ov, buffer, sizeof buffer));
  EXPECT_EQ(os.GetResult(port, ov, false).state, IoResult::State::Pending);
  device.Deliver("xy", 0);
  os.CancelIo(port);
  IoResult r = os.GetResult(port, ov, true);
  EXPECT_EQ(r.state, IoResult::State::Failed);
  EXPECT_EQ(r.bytes, 2u);
  EXPECT_EQ(std::string(buffer, 2), "xy");
  EXPECT_EQ(os.overlappedMisuse, 0);
}

TEST_F(FakePortFixture, CommWaitReportsCharactersAndDsr) {
  os.SetCommMask(port, kEvRxChar | kEvDsr);
  std::uint32_t mask = 0;
  device.SetDsr(true, 300);
  ASSERT_TRUE(os.StartCommWait(port, ov, &mask));
  EXPECT_EQ(os.WaitForEvents(&ov.event, 1, 10000), 0);
  EXPECT_EQ(mask, kEvDsr);
  EXPECT_EQ(os.NowMs(), 300u);
  device.Deliver("x", 400);
  device.SetDsr(false, 400);
  ASSERT_TRUE(os.StartCommWait(port, ov, &mask));
  EXPECT_EQ(os.WaitForEvents(&ov.event, 1, 10000), 0);
  EXPECT_EQ(mask, kEvRxChar | kEvDsr);
  ASSERT_TRUE(os.StartCommWait(port, ov, &mask));
  EXPECT_EQ(os.WaitForEvents(&ov.event, 1, 10000), kWaitTimedOut);
  EXPECT_EQ(os.NowMs(), 10400u);
}

TEST_F(FakePortFixture, WineQuirksAreReproduced) {
  os.wineQuirks = true;
  IoResult r;
  EXPECT_EQ(Read(true, &r), "");
  EXPECT_EQ(r.state, IoResult::State::Failed);
  EXPECT_EQ(r.error, kErrorTimeout);

  os.SetCommMask(port, kEvRxChar);
  std::uint32_t mask = 99;
  ASSERT_TRUE(os.StartCommWait(port, ov, &mask));
  ASSERT_TRUE(os.StartWrite(port, ov, "AT", 2));  // same record: wakes the waiter
  EXPECT_EQ(mask, 0u);
  EXPECT_EQ(os.overlappedMisuse, 0);

  Overlapped wait;
  wait.event = os.CreateEvent(nullptr);
  ASSERT_TRUE(os.StartCommWait(port, wait, &mask));
  os.SetCommMask(port, 0);
  r = os.GetResult(port, wait, true);
  EXPECT_EQ(r.error, kErrorOperationAborted);
}

TEST_F(FakePortFixture, SecondOperationOnAPendingRecordIsCounted) {
  os.SetCommMask(port, kEvRxChar);
  std::uint32_t mask = 0;
  ASSERT_TRUE(os.StartCommWait(port, ov, &mask));
  char buffer[4];
  os.StartRead(port, ov, buffer, sizeof buffer);
  EXPECT_EQ(os.overlappedMisuse, 1);
}

TEST_F(FakePortFixture, ExclusiveOpenAndVanishedDevice) {
  EXPECT_EQ(os.OpenPort("COM1"), kNoHandle);
  EXPECT_EQ(os.OpenPort("COM9"), kNoHandle);
  device.Unplug();
  std::uint32_t status;
  EXPECT_FALSE(os.GetModemStatus(port, &status));
  EXPECT_FALSE(os.StartWrite(port, ov, "x", 1));
}

}  // namespace
}  // namespace quillet
