#include "line_framer.h"

#include <gtest/gtest.h>

#include "chunkings.h"

namespace quillet::phone {
namespace {

using testing::Chunkings;
using testing::Visible;

struct FramingCase {
  std::string input;
  std::vector<std::string> lines;
  std::string pending;
};

const FramingCase kCases[] = {
    {"\rAT+CGMI\r", {"AT+CGMI"}, ""},
    {"\rAT*EAM=\"Winamp\"\r", {"AT*EAM=\"Winamp\""}, ""},
    {"\r\r\r", {}, ""},
    {"AT\r\nAT+CMEE=1\r\n", {"AT", "AT+CMEE=1"}, ""},
    {"A\nT\r", {"AT"}, ""},
    {"\rAT+CNMI=3,1\r\rAT+CGMM", {"AT+CNMI=3,1"}, "AT+CGMM"},
    {std::string("x\0y\r", 4), {std::string("x\0y", 3)}, ""},
    {"\n\n", {}, ""},
    {"abc", {}, "abc"},
};

TEST(LineFramer, CutsLinesAtCrInEveryChunking) {
  for (const FramingCase& c : kCases) {
    for (const auto& chunked : Chunkings(c.input)) {
      LineFramer framer;
      std::vector<std::string> lines;
      for (const std::string& piece : chunked.pieces) {
        for (std::string& line : framer.Feed(piece)) lines.push_back(line);
      }
      EXPECT_EQ(lines, c.lines) << Visible(c.input) << " " << chunked.name;
      EXPECT_EQ(framer.pending(), c.pending) << Visible(c.input) << " " << chunked.name;
    }
  }
}

TEST(LineFramer, KeepsAPartialLineAcrossFeeds) {
  LineFramer framer;
  EXPECT_TRUE(framer.Feed("\rAT+CG").empty());
  EXPECT_EQ(framer.pending(), "AT+CG");
  EXPECT_EQ(framer.Feed("MI\r"), std::vector<std::string>{"AT+CGMI"});
  EXPECT_EQ(framer.pending(), "");
}

}  // namespace
}  // namespace quillet::phone
