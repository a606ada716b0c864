#include "link/line_reader.h"

#include <gtest/gtest.h>

#include "chunkings.h"
#include "link_fixture.h"

namespace quillet {
namespace {

using phone::testing::Chunkings;
using phone::testing::Visible;
using testing::LinkFixture;

struct ReaderFixture : ::testing::Test, LinkFixture {
  ReaderFixture() { OpenPort(); }
  // Every non-empty line ReadLine(true) yields until the port falls silent.
  std::vector<std::string> AllLines() {
    std::vector<std::string> lines;
    for (int guard = 0; guard < 100000; ++guard) {
      std::string line = ReadLine(link, true);
      if (!line.empty()) lines.push_back(line);
      if (line.empty() && link.rx.drained && phone.device().pendingBytes() == 0) break;
    }
    return lines;
  }
};

struct FramingCase {
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(LineReader, FramingHoldsInEveryChunkingAndPace) {
  const FramingCase cases[] = {
      {"OK\r\n", {"OK"}},
      {"\r\n\r\nOK\r\n", {"OK"}},
      {"\r\n*EAAI\r\n", {"*EAAI"}},
      {"A\n\rB\r\n", {"A", "B"}},
      {"A\rB\nC\r\nD\n\nE\r\r", {"A", "B", "C", "D", "E"}},
      {"*EAMI: 3\r\n*EAII: 0,12\r\nRING\r\n", {"*EAMI: 3", "*EAII: 0,12", "RING"}},
      {std::string("AB\0CD\r\n", 7), {"ABCD"}},
      {std::string("\0\0\0X\r\n", 6), {"X"}},
      {"  spaced  \tline \r\n", {"  spaced  \tline "}},
  };
  // 1 ms apart: one read takes a burst; 60 ms apart: every piece is its own read.
  for (std::uint32_t gapMs : {0u, 1u, 60u}) {
    for (const auto& c : cases) {
      for (const auto& chunked : Chunkings(c.bytes)) {
        SCOPED_TRACE(Visible(c.bytes) + " " + chunked.name + " gap " + std::to_string(gapMs));
        LinkFixture f;
        f.OpenPort();
        f.Arrive(chunked.pieces, gapMs);
        std::vector<std::string> lines;
        for (int i = 0; i < 200; ++i) {
          std::string line = ReadLine(f.link, true);
          if (!line.empty()) lines.push_back(line);
          if (line.empty() && f.link.rx.drained && f.phone.device().pendingBytes() == 0) break;
        }
        EXPECT_EQ(lines, c.lines);
      }
    }
  }
}

TEST_F(ReaderFixture, BufferedLineNeedsNoRead) {
  Arrive({"\r\nOK\r\n*EAAI\r\n"}, 0);
  EXPECT_EQ(ReadLine(link, true), "");  // the fresh text begins with a terminator
  EXPECT_FALSE(link.rx.drained);
  EXPECT_EQ(ReadLine(link, false), "OK");
  EXPECT_FALSE(link.rx.drained);
  std::uint64_t before = os.NowMs();
  EXPECT_EQ(ReadLine(link, false), "*EAAI");
  EXPECT_TRUE(link.rx.drained);
  EXPECT_EQ(os.NowMs(), before);
  EXPECT_EQ(os.overlappedMisuse, 0);
}

TEST_F(ReaderFixture, UnwaitedReadOnSilenceReturnsWithinTheGrace) {
  EXPECT_EQ(ReadLine(link, false), "");
  EXPECT_TRUE(link.rx.drained);
  EXPECT_EQ(os.NowMs(), 100u);
  // Nothing was left outstanding: the next operation on the record is clean.
  Arrive({"X\r\n"}, 0, 110);
  EXPECT_EQ(ReadLine(link, true), "X");
  EXPECT_EQ(os.overlappedMisuse, 0);
  EXPECT_EQ(Trace(), "gto:  \r\ngot:  X\r\n");
}

TEST_F(ReaderFixture, WaitingReadOnSilenceEndsAfterTheReadTimeOut) {
  EXPECT_EQ(ReadLine(link, true), "");
  EXPECT_TRUE(link.rx.drained);
  EXPECT_EQ(os.NowMs(), 500u);
}

TEST_F(ReaderFixture, PartialLineIsCompletedFromTheNextRead) {
  Arrive({"*EA", "AI\r\n"}, 100);
  EXPECT_EQ(ReadLine(link, true), "*EAAI");
  EXPECT_EQ(Trace(), "got:  *EAAI\r\n");
}

TEST_F(ReaderFixture, PartialLineAtSilenceIsReturnedAsGto) {
  Arrive({"*EA"}, 0);
  EXPECT_EQ(ReadLine(link, true), "*EA");
  EXPECT_TRUE(link.rx.drained);
  EXPECT_EQ(Trace(), "gto:  *EA\r\n");
}

TEST_F(ReaderFixture, QueuedBytesComeOutOfAnUnwaitedRead) {
  Arrive({"*EAMI: 1\r\n"}, 0, 0);
  // The bytes are there, but the read only ends 50 ms after them.
  EXPECT_EQ(ReadLine(link, false), "*EAMI: 1");
  EXPECT_EQ(os.overlappedMisuse, 0);
}

TEST_F(ReaderFixture, BytesStillComingAreCollectedWhenTheReadIsCancelled) {
  // A steady trickle never lets the interval time-out end the read.
  std::vector<std::string> trickle(20, "x");
  trickle.push_back("\r\n");
  Arrive(trickle, 30);
  std::string first = ReadLine(link, false);
  std::vector<std::string> rest = AllLines();
  std::string whole = first + (rest.empty() ? "" : rest[0]);
  EXPECT_EQ(whole, std::string(20, 'x'));
  EXPECT_EQ(os.overlappedMisuse, 0);
}

TEST_F(ReaderFixture, LineLongerThanTheBufferIsReturnedWhole) {
  std::string longLine(25000, 'x');
  for (std::size_t i = 0; i < longLine.size(); i += 997) longLine[i] = char('a' + i % 26);
  // Arrives in pieces too far apart for one read.
  std::vector<std::string> pieces;
  for (std::size_t i = 0; i < longLine.size(); i += 4000)
    pieces.push_back(longLine.substr(i, 4000));
  pieces.push_back("\r\nNEXT\r\n");
  Arrive(pieces, 80);
  EXPECT_EQ(ReadLine(link, true), longLine);
  EXPECT_EQ(ReadLine(link, true), "NEXT");
}

TEST_F(ReaderFixture, ClosedPortEndsTheReadWithoutBytes) {
  Arrive({"never read\r\n"}, 0, 100);
  ClosePort(os, link.state);
  EXPECT_EQ(ReadLine(link, true), "");
  EXPECT_TRUE(link.rx.drained);
}

}  // namespace
}  // namespace quillet
