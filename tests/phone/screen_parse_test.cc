// Reading *EAM, *EASM and *EAID argument lists, from well-formed to hostile.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "chunkings.h"
#include "phone_model.h"
#include "recording_transport.h"
#include "screen.h"

namespace quillet::phone {
namespace {

using testing::Visible;
using namespace std::string_literals;

// --- *EASM ---

struct MenuCase {
  std::string args;
  std::string title;
  char navigation;
  std::int32_t selected;
  std::int32_t count;
  std::vector<std::string> entries;
};

const MenuCase kMenus[] = {
    {R"("Video options", 2, 1, 2,"Shown: Off","Fullscreen")",
     "Video options",
     '2',
     1,
     2,
     {"Shown: Off", "Fullscreen"}},
    {R"("Now playing", 1, 1, 0)", "Now playing", '1', 1, 0, {}},
    {R"("Playlist", 2, 4, 11,"<<","a","b","c","d","e","f","g","h","i",">>")",
     "Playlist",
     '2',
     4,
     11,
     {"<<", "a", "b", "c", "d", "e", "f", "g", "h", "i", ">>"}},
    // Commas and quotes inside texts: nothing is escaped.
    {R"("a, "b", 1, 3, 2,"x, y","say "hi"")", R"(a, "b)", '1', 3, 2, {"x, y", R"(say "hi")"}},
    {R"("Track",1,1,1,"Prev: Rock, Paper")", "Track", '1', 1, 1, {"Prev: Rock, Paper"}},
    {R"("",1,1,1,"")", "", '1', 1, 1, {""}},
    // Blanks around the separators are tolerated.
    {R"(  "T" ,  2 , 1 , 1 , "e"  )", "T", '2', 1, 1, {"e"}},
    // Odd numbers are reported as they come.
    {R"("T", 2, -5, 2147483647,"e")", "T", '2', -5, 2147483647, {"e"}},
    // An announced count that the entries do not match is kept as announced.
    {R"("T", 1, 1, 5,"only")", "T", '1', 1, 5, {"only"}},
    // The navigation field is one byte, whatever it is.
    {"\"T\", \0, 1, 1,\"e\""s, "T", '\0', 1, 1, {"e"}},
    {"\"T\0U\", 1, 1, 1,\"e\0f\""s, "T\0U"s, '1', 1, 1, {"e\0f"s}},
};

TEST(ParseMenu, ReadsPages) {
  for (const MenuCase& c : kMenus) {
    Parsed<MenuScreen> parsed = ParseMenu(c.args);
    ASSERT_TRUE(parsed.value) << Visible(c.args) << ": " << parsed.error;
    const MenuScreen& m = *parsed.value;
    EXPECT_EQ(m.title, c.title) << Visible(c.args);
    EXPECT_EQ(m.navigation, c.navigation) << Visible(c.args);
    EXPECT_EQ(m.selected, c.selected) << Visible(c.args);
    EXPECT_EQ(m.count, c.count) << Visible(c.args);
    EXPECT_EQ(m.entries, c.entries) << Visible(c.args);
    EXPECT_EQ(m.CountMatches(), static_cast<std::size_t>(c.count) == c.entries.size());
  }
}

const char* const kBadMenus[] = {
    "",
    "\"",
    "\"\"",
    "\"T\"",
    "\"T\", 1",
    "\"T\", 1, 1",
    "Title, 1, 1, 0",
    "\"T\", 1, x, 0",
    "\"T\", 1, 1, 0x",
    "\"T\", 12, 1, 0",
    "\"T\", 1, 1, 2147483648",
    "\"T\", 1, 1, -2147483649",
    "\"T\", 1, 1, 99999999999999999999999",
    "\"T\", 1, 1, 1,e",
    "\"T\", 1, 1, 1,\"e",
    "\"T\", 1, 1, 1 \"e\"",
    "\"T\" 1, 1, 1",
    "\"T\", 1, 1, 1,",
};

TEST(ParseMenu, RefusesWhatFitsNoReading) {
  for (const char* args : kBadMenus) {
    Parsed<MenuScreen> parsed = ParseMenu(args);
    EXPECT_FALSE(parsed.value) << Visible(args);
    EXPECT_FALSE(parsed.error.empty()) << Visible(args);
  }
}

// --- *EAID ---

TEST(ParseDialog, Notice) {
  auto d = ParseDialog(R"x(14,2,"Now playing","1. Artist - Song, "live" (3:05)")x");
  ASSERT_TRUE(d.value) << d.error;
  EXPECT_EQ(d.value->type, DialogType::Notice);
  EXPECT_EQ(d.value->navigation, '2');
  EXPECT_EQ(d.value->title, "Now playing");
  EXPECT_EQ(d.value->text, R"x(1. Artist - Song, "live" (3:05))x");
}

TEST(ParseDialog, Level) {
  auto d = ParseDialog(R"(4,2,"Volume",10,5)");
  ASSERT_TRUE(d.value) << d.error;
  EXPECT_EQ(d.value->type, DialogType::Level);
  EXPECT_EQ(d.value->mode, 2);
  EXPECT_EQ(d.value->title, "Volume");
  EXPECT_EQ(d.value->steps, 10);
  EXPECT_EQ(d.value->value, 5);
}

TEST(ParseDialog, List) {
  auto d = ParseDialog(R"(5,2,"Mode",1,3,"Low","Mid, or so","High")");
  ASSERT_TRUE(d.value) << d.error;
  EXPECT_EQ(d.value->type, DialogType::List);
  EXPECT_EQ(d.value->title, "Mode");
  EXPECT_EQ(d.value->value, 1);
  EXPECT_EQ(d.value->count, 3);
  EXPECT_EQ(d.value->labels, (std::vector<std::string>{"Low", "Mid, or so", "High"}));
  EXPECT_TRUE(d.value->CountMatches());
}

TEST(ParseDialog, ListWithoutLabels) {
  auto d = ParseDialog(R"(5,2,"Mode: ",1,0)");
  ASSERT_TRUE(d.value) << d.error;
  EXPECT_TRUE(d.value->labels.empty());
  EXPECT_TRUE(d.value->CountMatches());
}

TEST(ParseDialog, OnOff) {
  auto d = ParseDialog(R"(3,2,"Shown",1)");
  ASSERT_TRUE(d.value) << d.error;
  EXPECT_EQ(d.value->type, DialogType::OnOff);
  EXPECT_EQ(d.value->title, "Shown");
  EXPECT_EQ(d.value->value, 1);
}

TEST(ParseDialog, Number) {
  auto d = ParseDialog(R"(7,2,"Go to track","Track number",1,12,3)");
  ASSERT_TRUE(d.value) << d.error;
  EXPECT_EQ(d.value->type, DialogType::Number);
  EXPECT_EQ(d.value->title, "Go to track");
  EXPECT_EQ(d.value->prompt, "Track number");
  EXPECT_EQ(d.value->minimum, 1);
  EXPECT_EQ(d.value->maximum, 12);
  EXPECT_EQ(d.value->value, 3);
}

TEST(ParseDialog, Text) {
  auto d = ParseDialog(R"(11,2,"Name","Enter, "name"",20,"ab"c, d")");
  ASSERT_TRUE(d.value) << d.error;
  EXPECT_EQ(d.value->type, DialogType::Text);
  EXPECT_EQ(d.value->title, "Name");
  EXPECT_EQ(d.value->prompt, R"(Enter, "name")");
  EXPECT_EQ(d.value->maxLength, 20);
  EXPECT_EQ(d.value->text, R"(ab"c, d)");
}

TEST(ParseDialog, AmbiguousTextsAreCutAtTheFirstQuoteThatFits) {
  // The name really was x","y; without escaping the first fitting cut wins.
  auto d = ParseDialog(R"(11,2,"x","y","Prompt",5,"t")");
  ASSERT_TRUE(d.value) << d.error;
  EXPECT_EQ(d.value->title, "x");
  EXPECT_EQ(d.value->prompt, R"(y","Prompt)");
  EXPECT_EQ(d.value->text, "t");
}

const char* const kBadDialogs[] = {
    "",
    ",",
    "x,2,\"a\",1",
    "99,2,\"a\",1",
    "4",
    "4,2",
    "4,2,\"Volume\",10",
    "4,2,\"Volume\",10,5,6",
    "4,2,Volume,10,5",
    "3,2,\"Shown\",on",
    "14,1,\"Title\"",
    "14,1,\"Title\",text",
    "14,10,\"T\",\"x\"",
    "5,2,\"Mode\",1,3,Low",
    "7,2,\"Go\",\"Track\",1,12",
    "11,2,\"Name\",\"Prompt\",20,abc",
    "11,2,\"Name\",\"Prompt\",20,\"abc",
    "4,2,\"V\",10,99999999999",
};

TEST(ParseDialog, RefusesWhatFitsNoReading) {
  for (const char* args : kBadDialogs) {
    Parsed<Dialog> parsed = ParseDialog(args);
    EXPECT_FALSE(parsed.value) << Visible(args);
    EXPECT_FALSE(parsed.error.empty()) << Visible(args);
  }
}

// --- *EAM ---

TEST(ParseAccessoryMenu, TakesTheQuotedTitle) {
  EXPECT_EQ(ParseAccessoryMenu("\"Winamp\"").value.value_or("?"), "Winamp");
  EXPECT_EQ(ParseAccessoryMenu("\"A, \"B\"\"").value.value_or("?"), "A, \"B\"");
  EXPECT_EQ(ParseAccessoryMenu("\"\"").value.value_or("?"), "");
  EXPECT_FALSE(ParseAccessoryMenu("Winamp").value);
  EXPECT_FALSE(ParseAccessoryMenu("\"Winamp").value);
  EXPECT_FALSE(ParseAccessoryMenu("\"Winamp\",1").value);
}

// --- Garbage ---

std::string RandomArgs(std::mt19937& random) {
  static const char kAlphabet[] = "\"\", ,,0123456789-+ 145EAID\x01\xff";
  std::uniform_int_distribution<int> length(0, 60);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 1);
  std::string s;
  for (int n = length(random); n > 0; --n) s += kAlphabet[pick(random)];
  return s;
}

TEST(ParseGarbage, NeverFaultsAndAlwaysExplainsARefusal) {
  std::mt19937 random(20240601);
  const char* const kHeads[] = {"", "14,", "4,", "5,", "3,", "7,", "11,", "\"T\", 1, 1, "};
  for (int i = 0; i < 20000; ++i) {
    std::string args = kHeads[i % 8] + RandomArgs(random);
    auto menu = ParseMenu(args);
    auto dialog = ParseDialog(args);
    auto accessory = ParseAccessoryMenu(args);
    EXPECT_EQ(menu.value.has_value(), menu.error.empty()) << Visible(args);
    EXPECT_EQ(dialog.value.has_value(), dialog.error.empty()) << Visible(args);
    EXPECT_EQ(accessory.value.has_value(), accessory.error.empty()) << Visible(args);
  }
}

TEST(ParseGarbage, HugeHostileLinesAreHandled) {
  std::string quotes(200000, '"');
  std::string blanks = "\"" + std::string(100000, ' ') + "\"";
  std::string pattern;
  for (int i = 0; i < 20000; ++i) pattern += "\", 1, 2, 3x";
  for (const std::string& args : {quotes, blanks, pattern, "\"" + pattern}) {
    EXPECT_FALSE(ParseMenu(args).value);
    EXPECT_FALSE(ParseDialog("11,2," + args).value);
  }
  std::string longTitle = "\"" + std::string(100000, 'x') + "\", 1, 1, 0";
  auto parsed = ParseMenu(longTitle);
  ASSERT_TRUE(parsed.value);
  EXPECT_EQ(parsed.value->title.size(), 100000u);
}

TEST(ParseGarbage, ThePhoneAnswersEveryGarbageCommand) {
  std::mt19937 random(7);
  RecordingTransport line;
  PhoneModel phone(line);
  const char* const kCommands[] = {"AT*EASM=", "AT*EAID=", "AT*EAM=", "AT"};
  for (int i = 0; i < 5000; ++i) {
    std::string args = RandomArgs(random);
    std::string command = kCommands[i % 4] + args;
    line.Clear();
    phone.Receive("\r" + command + "\r");
    std::string answer = line.Bytes();
    auto endsWith = [&answer](const std::string& tail) {
      return answer.size() >= tail.size() &&
             answer.compare(answer.size() - tail.size(), tail.size(), tail) == 0;
    };
    EXPECT_TRUE(endsWith("\r\nOK\r\n") || endsWith("\r\nERROR\r\n"))
        << Visible(command) << " -> " << Visible(answer);
    EXPECT_EQ(std::count(answer.begin(), answer.end(), '\n'), 2) << Visible(command);
  }
}

}  // namespace
}  // namespace quillet::phone
