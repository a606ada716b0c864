#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "menus/menu_items.h"
#include "menus/menu_protocol.h"
#include "menus/newer_dialect.h"

namespace quillet {
namespace {

// Menus by id, and a log of what the protocol asked of its sources.
class RecordingSource : public MenuSource {
 public:
  std::map<std::int32_t, Menu*> menus;
  Menu* current = nullptr;
  std::vector<std::string> log;

  Menu* CurrentMenu() override { return current; }
  void OpenMenu(std::int32_t id) override {
    log.push_back("open " + std::to_string(id));
    auto found = menus.find(id);
    current = found == menus.end() ? nullptr : found->second;
  }
  void CloseMenu() override {
    if (current) log.push_back("close");
    current = nullptr;
  }
  void ReopenMenu() override { log.push_back("reopen"); }
  std::int32_t GlobalId(std::int32_t id) const override { return id < 1000 ? id : id - 1000; }
  void ApplyValue(std::int32_t id, std::int32_t value) override {
    log.push_back("apply " + std::to_string(id) + " " + std::to_string(value));
  }
  void PostCommand(std::int32_t window, std::int32_t id) override {
    log.push_back("post " + std::to_string(window) + " " + std::to_string(id));
  }
};

MenuItem Item(const char* name, std::int32_t kind, std::int32_t id = 0, std::int32_t value = 0) {
  MenuItem item{};
  SetFieldText(item.name, name);
  item.kind = kind;
  item.id = id;
  item.value = value;
  return item;
}

struct Dialogs : ::testing::Test {
  RecordingSource source;
  std::vector<std::string> sent;
  bool refuse = false;  // the phone refuses what it is sent
  MenuProtocol protocol{source, [this](const std::string& c) {
                          sent.push_back(c);
                          return !refuse;
                        }};
  std::vector<MenuItem> items;
  Menu menu{};
  Menu parent{};

  void Serve(std::vector<MenuItem> list, std::int32_t selection = 0) {
    items = std::move(list);
    menu.items = items.data();
    menu.count = static_cast<std::int32_t>(items.size());
    menu.selection = selection;
    menu.id = 20;
    menu.parent = 10;
    SetFieldText(menu.title, "M");
    parent.id = 10;
    SetFieldText(parent.title, "To\x7Fp");  // DEL goes out as a blank
    parent.count = 0;
    source.menus = {{20, &menu}, {10, &parent}};
    source.current = &menu;
    protocol.ShowMenu();
    sent.clear();
    source.log.clear();
  }
  std::string Last() { return sent.empty() ? "(nothing)" : sent.back(); }
};

TEST_F(Dialogs, PagingEntriesOfThirtyItems) {
  std::vector<MenuItem> list;
  for (int i = 0; i < 30; ++i) list.push_back(Item("Entry ____________", kCommand, 100 + i, 3));
  struct Case {
    int entry;
    std::int32_t selection;
    std::string sentHead, action;
    bool refused = false;
  };
  const Case cases[] = {
      {1, 17, "*EASM=\"M\", 2, 10, 11,", ""},  // "<<": the second page, item 17
      {11, 27, "*EASM=\"M\", 2, 2, 4,", ""},   // ">>": the last page
      {4, 20, "(nothing)", "post 0 120"},      // item 20 runs
      // Refused, the page shown stays: its selection and its entries.
      {1, 20, "*EASM=\"M\", 2, 10, 11,", "", true},
      {11, 20, "*EASM=\"M\", 2, 2, 4,", "", true},
  };
  for (const Case& c : cases) {
    Serve(list, 20);
    ASSERT_EQ(protocol.pageBase(), 16);
    refuse = c.refused;
    protocol.ChooseEntry(c.entry);
    refuse = false;
    EXPECT_EQ(menu.selection, c.selection) << c.entry;
    EXPECT_EQ(Last().substr(0, c.sentHead.size()), c.sentHead) << c.entry;
    EXPECT_EQ(source.log.empty() ? "" : source.log[0], c.action);
    if (!c.refused) continue;
    EXPECT_EQ(protocol.pageBase(), 16);
    protocol.ChooseEntry(4);
    EXPECT_EQ(source.log, std::vector<std::string>{"post 0 120"}) << c.entry;
  }
}

TEST_F(Dialogs, FirstPageOfOnlyItemZeroIsReachedBack) {
  std::vector<MenuItem> list = {Item("big", kText), Item("b", kCommand, 7, 3)};
  std::string text(195, 't');
  list[0].labels = text.data();
  list[0].maximum = 195;
  Serve(list, 1);
  ASSERT_EQ(protocol.pageBase(), -1);
  protocol.ChooseEntry(1);
  EXPECT_EQ(menu.selection, 0);
  EXPECT_EQ(Last().substr(0, 20), "*EASM=\"M\", 2, 1, 2,\"");
  EXPECT_TRUE(source.log.empty()) << "item 0 was not run";
}

TEST_F(Dialogs, CommandAfterActions) {
  const std::vector<std::pair<std::int32_t, std::vector<std::string>>> cases = {
      {0, {"post 0 40048"}},
      {1, {"post 0 40048", "reopen"}},
      {3, {"post 0 40048"}},
      {2, {"post 0 40048", "close", "open 10"}},
  };
  for (const auto& [after, log] : cases) {
    Serve({Item("Next", kCommand, 40048, after)});
    protocol.ChooseEntry(1);
    EXPECT_EQ(source.log, log) << after;
    EXPECT_EQ(sent.size(), after == 3 ? 0u : 1u) << after;
  }
  Serve({Item("Elsewhere", kCommand, 5, 3)});
  items[0].minimum = 0x5150;
  protocol.ChooseEntry(1);
  EXPECT_EQ(source.log, std::vector<std::string>{"post 20816 5"});
}

TEST_F(Dialogs, SubmenusAndGoingBack) {
  Serve({Item("Sub", kSubmenu, 1010), Item("Gone", kSubmenu, 12)});
  protocol.ChooseEntry(1);
  EXPECT_EQ(source.log, (std::vector<std::string>{"close", "open 10"})) << "translated id";
  EXPECT_EQ(Last(), "*EAID=14,1,\"To p\",\"\"");
  Serve({Item("Sub", kSubmenu, 1010), Item("Gone", kSubmenu, 12)});
  protocol.ChooseEntry(2);
  EXPECT_EQ(Last(), "*EAID=14,0,\"Missing menu\",\"This menu is not available.\"");
  // Back from a top-level menu closes it and sends nothing.
  Serve({Item("x", kCommand)});
  menu.parent = 0;
  protocol.ChooseEntry(0);
  EXPECT_EQ(source.log, std::vector<std::string>{"close"});
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(source.current, nullptr);
}

TEST_F(Dialogs, DialogFormats) {
  char labels[] = "Low\0Mid\0H\"i\0";
  char text[] = "abc";
  char hostile[] = "a\"b\rc";
  std::string many, offered = "*EAID=5,2,\"Many\",1,100";
  for (int i = 0; i < 150; ++i) many += std::string(i < 100 ? "L" : "X") + '\0';
  for (int i = 0; i < 100; ++i) offered += ",\"L\"";
  struct Case {
    MenuItem item;
    std::string dialog;
  };
  std::vector<Case> cases = {
      {Item("Vol", kLevel, 101, 128), "*EAID=4,2,\"Vol\",10,5"},
      {Item("Few", kLevel, 9, 3), "*EAID=4,2,\"Few\",5,3"},
      {Item("C", kChoice, 9, 0), "*EAID=5,2,\"C\",1,3,\"Low\",\"Mid\",\"H'i\""},
      {Item("None", kChoice, 9, 0), "*EAID=5,2,\"None\",1,0"},
      {Item("On", kSwitch, 9, 1), "*EAID=3,2,\"On\",1"},
      {Item("Go to track", kNumber, 102, 4), "*EAID=7,2,\"Go to track\",\"Track number\",1,9,4"},
      {Item("T", kText, 9), "*EAID=11,2,\"T\",\"Name?\",8,\"abc\""},
      {Item("Many", kChoice, 9, 0), offered},
      {Item("T", kText, 9), "*EAID=11,2,\"T\",\"\",5,\"a'b c\""},
  };
  cases[0].item.maximum = 255;
  cases[1].item.maximum = 5;
  cases[2].item.labels = labels;
  cases[2].item.maximum = 3;
  SetFieldText(cases[5].item.prompt, "Track number");
  cases[5].item.minimum = 1;
  cases[5].item.maximum = 9;
  SetFieldText(cases[6].item.prompt, "Name?");
  cases[6].item.labels = text;
  cases[6].item.maximum = 8;
  cases[7].item.labels = many.data();
  cases[7].item.maximum = 150;
  cases[8].item.labels = hostile;
  cases[8].item.maximum = 5;
  for (const Case& c : cases) {
    Serve({c.item});
    protocol.ChooseEntry(1);
    EXPECT_EQ(Last(), c.dialog);
    EXPECT_TRUE(source.log.empty());
  }
}

TEST_F(Dialogs, EntryNumbersOutsideTheListAreIgnored) {
  Serve({Item("a", kCommand, 1), Item("b", kCommand, 2)}, 1);
  for (const int entry : {3, -1, 1000}) {
    protocol.ChooseEntry(entry);
    EXPECT_TRUE(sent.empty()) << entry;
    EXPECT_EQ(menu.selection, 1);
  }
  // After a notice there is no list to choose from.
  menu.count = 0;
  protocol.ShowMenu();
  menu.count = 2;
  sent.clear();
  protocol.ChooseEntry(1);
  EXPECT_TRUE(sent.empty());
  EXPECT_TRUE(source.log.empty());
  // A record that lost items since its page was sent.
  Serve({Item("a", kCommand, 1), Item("b", kCommand, 2)}, 1);
  menu.count = 1;
  protocol.ChooseEntry(2);
  EXPECT_EQ(menu.selection, 0);
  EXPECT_TRUE(source.log.empty());
  EXPECT_EQ(Last(), "*EASM=\"M\", 2, 1, 1,\"a\"");
}

TEST_F(Dialogs, Answers) {
  char buffer[6] = "old";
  char labels[] = "Low\0Mid\0High\0";
  struct Step {
    std::string answer;
    std::vector<std::string> log;
    bool shown;
  };
  struct Case {
    MenuItem item;
    std::vector<Step> steps;
    std::int32_t value;
  };
  std::vector<Case> cases = {
      {Item("Vol", kLevel, 101, 100),
       {{": 15,50", {"apply 101 127"}, false}, {": 0", {"apply 101 100"}, true}},
       100},
      {Item("Vol", kLevel, 101, 100), {{": 4,50", {"apply 101 127"}, true}}, 127},
      {Item("Vol", kLevel, 101, 100), {{": 4", {"apply 101 100"}, true}}, 100},
      {Item("C", kChoice, 500, 0), {{": 5,2", {"apply 500 1"}, true}}, 1},
      {Item("S", kSwitch, 103, 1), {{": 0,0", {"apply 103 0"}, true}}, 0},
      {Item("S", kSwitch, 103, 1), {{":0", {}, true}}, 1},
      {Item("N", kNumber, 102, 1), {{": 7, -12", {"apply 102 -12"}, true}}, -12},
      {Item("N", kNumber, 102, 1), {{": 7 x", {}, true}, {"", {}, true}}, 1},
  };
  cases[0].item.maximum = cases[1].item.maximum = cases[2].item.maximum = 255;
  cases[3].item.labels = labels;
  cases[3].item.maximum = 3;
  for (const Case& c : cases) {
    Serve({c.item});
    for (const Step& step : c.steps) {
      sent.clear();
      source.log.clear();
      protocol.HandleAnswer(step.answer);
      EXPECT_EQ(source.log, step.log) << step.answer;
      EXPECT_EQ(sent.size(), step.shown ? 1u : 0u) << step.answer;
    }
    EXPECT_EQ(items[0].value, c.value);
  }
  Serve({Item("C", kChoice, 500, 0)});
  items[0].labels = labels;
  protocol.HandleAnswer(": 5,2");
  EXPECT_EQ(Last(), "*EASM=\"M\", 2, 1, 1,\"C: Mid\"");

  struct TextCase {
    std::string answer, stored;
    std::size_t applied;
  };
  for (const TextCase& c : std::vector<TextCase>{{": 11,\"abcdefg\"", "abcde", 1},
                                                 {": 11,\"\"", "", 1},
                                                 {": 11,\"ab\"cd\"", "ab", 1},
                                                 {": 11,\"xy", "xy", 1},
                                                 {": 11,", "", 1},
                                                 {": 0", "old", 0}}) {
    std::memcpy(buffer, "old\0\0", 6);
    Serve({Item("T", kText, 600)});
    items[0].labels = buffer;
    items[0].maximum = 5;
    protocol.HandleAnswer(c.answer);
    EXPECT_EQ(std::string(buffer), c.stored) << c.answer;
    EXPECT_EQ(source.log.size(), c.applied) << c.answer;
    EXPECT_EQ(sent.size(), 1u) << c.answer;
  }
}

TEST_F(Dialogs, NoticesAndStrayAnswersGoNowhereOdd) {
  Serve({Item("x", kCommand)});
  menu.count = 0;
  protocol.HandleAnswer(": 1,1");
  EXPECT_EQ(source.log, (std::vector<std::string>{"close", "open 10"}));
  // A selection beyond the record's items: the answer is dropped.
  Serve({Item("L", kLevel, 101, 3)});
  menu.selection = 4;
  protocol.HandleAnswer(": 4,50");
  EXPECT_TRUE(source.log.empty());
  EXPECT_EQ(menu.selection, 0);
  EXPECT_EQ(items[0].value, 3);
  source.current = nullptr;
  protocol.HandleAnswer(": 4,50");
  EXPECT_TRUE(source.log.empty());
}

// The same protocol on the newer commands: a phone that gives each object
// the next id, refuses the commands that hold `refused` and gives no id to
// those that hold `quiet`.
struct NewerDialogs : Dialogs {
  MenuRegistration registration{MenuCommandSet::kNewer, 5, 1};
  std::string refused = "\x01";
  std::string quiet = "\x01";
  std::int32_t nextObject = 1;
  NewerDialect newer{[this](const std::string& command, const char* code, std::string* reply) {
                       sent.push_back(command);
                       if (command.find(refused) != std::string::npos) return false;
                       if (*code != '\0' && command.find(quiet) == std::string::npos)
                         *reply = std::string(code) + ": " + std::to_string(nextObject++);
                       return true;
                     },
                     [](const std::string&) {}, registration};
  char buffer[6] = "abc";
  char labels[14] = "Low\0Mid\0High";

  void ServeAll(bool thirty) {
    newer.Tell(&protocol);
    protocol.UseDialects([this] { return &newer; });
    std::vector<MenuItem> list = {Item("Vol", kLevel, 101, 128),  Item("Mode", kChoice, 500, 1),
                                  Item("Shown", kSwitch, 103, 1), Item("Track", kNumber, 102, 7),
                                  Item("Name", kText, 600),       Item("Go", kCommand, 40048),
                                  Item("U\x7Fp", kSubmenu, 10),   Item("Gone", kSubmenu, 99)};
    list[0].maximum = 255;
    list[1].labels = labels;
    list[1].maximum = 3;
    SetFieldText(list[3].prompt, "No.");
    list[3].minimum = 1;
    list[3].maximum = 99;
    SetFieldText(list[4].prompt, "Say");
    list[4].labels = buffer;
    list[4].maximum = 5;
    if (thirty) list.assign(30, Item("Entry ____________", kCommand, 7, 3));
    Serve(list);
    source.menus[kMainMenuRequestId] = &menu;
  }
};

// A page of the standard menu with `focus`, its first entry and its images.
std::string Page(int focus, const char* first = "Vol: 5", const char* image = "\"\"") {
  return "^*SELIST=\"M\",3," + std::to_string(focus) + ",8,0,1,\"" + first + "\"," + image +
         ",0,0,0";
}

TEST_F(NewerDialogs, WireForms) {
  struct Row {
    const char* name;
    std::vector<std::string> lines;  // from the phone, the page up as object 1
    std::vector<std::string> sent;   // "^" first: the start of the command
    std::vector<std::string> log;    // "apply 600 text": the text buffer's address
    const char* refused = "\x01";
    bool thirty = false;
    const char* quiet = "\x01";
  };
  const std::string page =
      "*SELIST=\"M\",3,0,8,0,1,\"Vol: 5\",\"\",0,0,0,\"Mode: Mid\",\"\",0,0,0,"
      "\"Shown: On\",\"\",0,0,0,\"Track: 7\",\"\",0,0,0,\"Name: abc\",\"\",0,0,0,"
      "\"Go\",\"\",0,0,0,\"U p\",\"\",0,0,0,\"Gone\",\"\",0,0,0";
  const Row rows[] = {
      {"opened", {"*SEAAI: 5"}, {"*SEUIS=1", page, "*SEDEL=1"}, {"open 1000"}},
      {"opened, no blank", {"*SEAAI:5"}, {"*SEUIS=1", Page(0), "*SEDEL=1"}, {"open 1000"}},
      {"opened, bare", {"*SEAAI"}, {"*SEUIS=1", Page(0), "*SEDEL=1"}, {"open 1000"}},
      {"another item", {"*SEAAI: 6", "*SEAAIx"}, {}, {}},
      {"focus", {"*SESFI: 1,0"}, {}, {}},
      {"level",
       {"*SEGUII: 1,5,1", "*SEGUII: 2,12,6"},
       {"*SEGAUGE=\"Vol\",2,1,0,5,10", "*SEDEL=1", Page(0, "Vol: 6"), "*SEDEL=2"},
       {"apply 101 153"}},
      {"choice",
       {"*SEGUII: 1,5,2", "*SEGUII: 2,5,3"},
       {"*SELIST=\"Mode\",1,1,3,0,1,\"Low\",\"\",0,0,0,\"Mid\",\"\",0,1,0,\"High\",\"\",0,0,0",
        "*SEDEL=1", Page(1), "*SEDEL=2"},
       {"apply 500 2"}},
      {"switch off",
       {"*SEGUII: 1,5,3", "*SEGUII: 2,10,FALSE"},
       {"*SEONO=\"Shown\",1,1", "*SEDEL=1", Page(2), "*SEDEL=2"},
       {"apply 103 0"}},
      {"switch on",
       {"*SEGUII: 1,5,3", "*SEGUII: 2,10,\"true\""},
       {"^*SEONO", "*SEDEL=1", Page(2), "*SEDEL=2"},
       {"apply 103 1"}},
      {"number",
       {"*SEGUII: 1,5,4", "*SEGUII: 2,11,\"42\""},
       {"*SESTRI=\"Track\",\"No.\",\"7\",0,2,1", "*SEDEL=1", Page(3), "*SEDEL=2"},
       {"apply 102 42"}},
      {"number unquoted",
       {"*SEGUII: 1,5,4", "*SEGUII: 2,11,42"},
       {"^*SESTRI", "*SEDEL=1", Page(3), "*SEDEL=2"},
       {"apply 102 42"}},
      {"number not a number",
       {"*SEGUII: 1,5,4", "*SEGUII: 2,11,4x"},
       {"^*SESTRI", "*SEDEL=1", Page(3), "*SEDEL=2"},
       {}},
      {"text cut to its maximum",
       {"*SEGUII: 1,5,5", "*SEGUII: 2,11,\"abcdefg\""},
       {"*SESTRI=\"Name\",\"Say\",\"abc\",0,0,1", "*SEDEL=1", Page(4), "*SEDEL=2"},
       {"apply 600 abcde"}},
      {"dialog back",
       {"*SEGUII: 1,5,1", "*SEGUII: 2,1"},
       {"^*SEGAUGE", "*SEDEL=1", Page(0), "*SEDEL=2"},
       {"apply 101 128"}},
      {"dialog cancel",
       {"*SEGUII: 1,5,3", "*SEGUII: 2,0"},
       {"^*SEONO", "*SEDEL=1", Page(2), "*SEDEL=2"},
       {}},
      {"dialog, another action",
       {"*SEGUII: 1,5,2", "*SEGUII: 2,12,1"},
       {"^*SELIST=\"Mode\"", "*SEDEL=1"},
       {}},
      {"command", {"*SEGUII: 1,5,6"}, {Page(5), "*SEDEL=1"}, {"post 0 40048"}},
      {"back to the parent's notice",
       {"*SEGUII: 1,1"},
       {"*SELERT=\"\",4,1,\"To p\"", "*SEDEL=1"},
       {"close", "open 10"}},
      {"notice answered at the top",
       {"*SEGUII: 1,5,7", "*SEGUII: 2,4"},
       {"^*SELERT", "*SEDEL=1", "*SEDEL=2", "*SEUIS=0"},
       {"close", "open 10", "close"}},
      {"cancel", {"*SEGUII: 1,0"}, {"*SEDEL=1", "*SEUIS=0"}, {"close"}},
      {"a missing menu's notice answered",
       {"*SEGUII: 1,5,8", "*SEGUII: 2,4"},
       {"*SELERT=\"This menu is not available.\",4,1,\"Missing menu\"", "*SEDEL=1", "*SEDEL=2",
        "*SEUIS=0"},
       {"close", "open 99"}},
      {"stray object", {"*SEGUII: 9,5,1", "*SEGUII: 0,0"}, {}, {}},
      {"unknown action", {"*SEGUII: 1,7,1", "*SEGUII: 1,13,2"}, {}, {}},
      {"entry outside the list",
       {"*SEGUII: 1,5,9", "*SEGUII: 1,5,0", "*SEGUII: 1,5", "*SEGUII: 1"},
       {},
       {}},
      {"images refused as \"\"",
       {"*SEGUII: 1,5,6", "*SEGUII: 2,5,6"},
       {Page(5), Page(5, "Vol: 5", "0"), "*SEDEL=1", Page(5, "Vol: 5", "0"), "*SEDEL=2"},
       {"post 0 40048", "post 0 40048"},
       ",\"\","},
      {"list refused even so",
       {"*SEGUII: 1,5,6", "*SEGUII: 1,5,6"},
       {Page(5), Page(5, "Vol: 5", "0"), Page(5), Page(5, "Vol: 5", "0")},
       {"post 0 40048", "post 0 40048"},
       "*SELIST"},
      {"pages",
       {"*SEGUII: 1,5,10", "*SEGUII: 2,5,1"},
       {"^*SELIST=\"M\",3,1,11,0,1,\"<<\",\"\",0,0,0,\"Entry ____________\",\"\",0,0,0,",
        "*SEDEL=1", "^*SELIST=\"M\",3,8,10,0,1,\"Entry ____________\",\"\",0,0,0,", "*SEDEL=2"},
       {},
       "\x01",
       true},
      {"next page refused: an entry means the page shown",
       {"*SEGUII: 1,5,10", "*SEGUII: 1,5,1"},
       {"^*SELIST=\"M\",3,1,11,0,1,\"<<\",\"\",0,0,0,",
        "^*SELIST=\"M\",3,1,11,0,1,\"<<\",0,0,0,0,"},
       {"post 0 7"},
       "*SELIST",
       true},
      {"list taken without an id",
       {"*SEGUII: 1,5,6", "*SEGUII: 1,5,6"},
       {Page(5), Page(5)},
       {"post 0 40048", "post 0 40048"},
       "\x01",
       false,
       "*SELIST"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    nextObject = 1;
    ++registration.connection;  // each row on a connection of its own
    refused = "\x01";
    quiet = "\x01";
    std::memcpy(buffer, "abc", 4);
    ServeAll(row.thirty);
    refused = row.refused;
    quiet = row.quiet;
    for (const std::string& line : row.lines) newer.Line(line);
    ASSERT_EQ(sent.size(), row.sent.size()) << ::testing::PrintToString(sent);
    for (std::size_t i = 0; i < sent.size(); ++i) {
      const std::string& want = row.sent[i];
      if (want[0] == '^')
        EXPECT_EQ(sent[i].substr(0, want.size() - 1), want.substr(1));
      else
        EXPECT_EQ(sent[i], want);
    }
    std::vector<std::string> log = row.log;
    for (std::string& entry : log)
      if (entry.rfind("apply 600 ", 0) == 0) {
        EXPECT_EQ(std::string(buffer), entry.substr(10));
        entry = "apply 600 " +
                std::to_string(static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(buffer)));
      }
    EXPECT_EQ(source.log, log);
  }
}

TEST(DialogNumbers, ReadTwoNumbers) {
  struct Case {
    const char* text;
    bool ok;
    std::int32_t first, second;
  };
  const Case cases[] = {{": 4,50", true, 4, 50},
                        {":4,50", true, 4, 50},
                        {":  -3, +7xyz", true, -3, 7},
                        {": 0,0", true, 0, 0},
                        {": 4 ,50", false, 0, 0},
                        {": 4", false, 0, 0},
                        {"4,50", false, 0, 0},
                        {": 4,", false, 0, 0},
                        {": 99999999999,-99999999999", true, INT32_MAX, INT32_MIN}};
  for (const Case& c : cases) {
    std::int32_t first = 0, second = 0;
    EXPECT_EQ(ReadTwoNumbers(c.text, &first, &second), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(std::make_pair(first, second), std::make_pair(c.first, c.second)) << c.text;
    }
  }
}

}  // namespace
}  // namespace quillet
