#include "modem_lines.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace quillet::phone {
namespace {

TEST(ModemLines, BitsOfAPhoneThatIsThere) {
  EXPECT_EQ(ModemBits(true), 0x100u | 0x020u | 0x040u);
  EXPECT_EQ(ModemBits(false), 0u);
}

TEST(ModemLines, FileNamesFollowThePty) {
  EXPECT_EQ(ModemFileName("/dev/pts/5"), "pts-5");
  EXPECT_EQ(ModemFileName("/dev/pts/12"), "pts-12");
  EXPECT_EQ(ModemFileName("/dev/ttyS0"), "ttyS0");
  EXPECT_EQ(ModemFileName("/dev/a/b"), "a-b");
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ModemLines, WritesTheNumberAndReplacesIt) {
  char dir[] = "/tmp/quillet-modem-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  ModemLinesFile file(dir, "/dev/pts/7");
  EXPECT_EQ(file.path(), std::string(dir) + "/pts-7");
  std::string error;
  ASSERT_TRUE(file.Write(ModemBits(true), &error)) << error;
  EXPECT_EQ(Read(file.path()), "352");
  ASSERT_TRUE(file.Write(ModemBits(false), &error)) << error;
  EXPECT_EQ(Read(file.path()), "0");
  EXPECT_NE(access((std::string(dir) + "/.pts-7.tmp").c_str(), F_OK), 0);
  unlink(file.path().c_str());
  rmdir(dir);
}

TEST(ModemLines, ReportsAMissingDirectory) {
  ModemLinesFile file("/nonexistent/quillet", "/dev/pts/7");
  std::string error;
  EXPECT_FALSE(file.Write(352, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace quillet::phone
