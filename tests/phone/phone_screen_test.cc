// The screen as the plug-in's accessory commands leave it.

#include <gtest/gtest.h>

#include <functional>

#include "phone_model.h"
#include "recording_transport.h"

namespace quillet::phone {
namespace {

TEST(PhoneScreen, StartsBlank) {
  RecordingTransport line;
  PhoneModel phone(line);
  EXPECT_FALSE(phone.screen().accessory);
  EXPECT_FALSE(phone.screen().menu);
  EXPECT_FALSE(phone.screen().dialog);
}

TEST(PhoneScreen, RecordsTheRegisteredAccessoryMenu) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.Receive("\rAT*EAM=\"Winamp\"\r");
  ASSERT_TRUE(phone.screen().accessory);
  EXPECT_EQ(*phone.screen().accessory, "Winamp");
}

TEST(PhoneScreen, AMenuPageReplacesMenuAndDialog) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.Receive("\rAT*EASM=\"Winamp menu\", 1, 1, 3,\"Prev: A\",\"Next: B\",\">>\"\r");
  ASSERT_TRUE(phone.screen().menu);
  const MenuScreen& menu = *phone.screen().menu;
  EXPECT_EQ(menu.title, "Winamp menu");
  EXPECT_EQ(menu.navigation, '1');
  EXPECT_EQ(menu.selected, 1);
  EXPECT_EQ(menu.count, 3);
  EXPECT_EQ(menu.entries, (std::vector<std::string>{"Prev: A", "Next: B", ">>"}));

  phone.Receive("\rAT*EAID=7,2,\"Go to track\",\"Track number\",1,12,3\r");
  ASSERT_TRUE(phone.screen().dialog);
  EXPECT_EQ(phone.screen().dialog->type, DialogType::Number);
  EXPECT_TRUE(phone.screen().menu);

  phone.Receive("\rAT*EASM=\"Video options\", 2, 1, 2,\"Shown: Off\",\"Fullscreen\"\r");
  EXPECT_FALSE(phone.screen().dialog);
  EXPECT_EQ(phone.screen().menu->title, "Video options");
}

TEST(PhoneScreen, AMalformedPageLeavesTheOldOne) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.Receive("\rAT*EASM=\"Video options\", 2, 1, 2,\"Shown: Off\",\"Fullscreen\"\r");
  phone.Receive("\rAT*EASM=\"Broken, 2\r");
  phone.Receive("\rAT*EAID=4,2,\"Volume\",10\r");
  ASSERT_TRUE(phone.screen().menu);
  EXPECT_EQ(phone.screen().menu->title, "Video options");
  EXPECT_FALSE(phone.screen().dialog);
}

TEST(PhoneScreen, ANoticeWithoutAMenu) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.Receive("\rAT*EAID=14,0,\"Missing menu\",\"This menu is not available.\"\r");
  ASSERT_TRUE(phone.screen().dialog);
  EXPECT_EQ(phone.screen().dialog->navigation, '0');
  EXPECT_EQ(phone.screen().dialog->text, "This menu is not available.");
  EXPECT_FALSE(phone.screen().menu);
}

}  // namespace
}  // namespace quillet::phone

namespace quillet::phone {
namespace {

// A phone of the newer generation: each command's answer after its echo, and
// the screen it leaves, as "menu title/selected/count" and "dialog type/title"
// (a text input with the limit it shows).
TEST(PhoneScreen, NewerObjects) {
  struct Row {
    const char* command;
    const char* answer;
    const char* screen;
  };
  const Row rows[] = {
      {"*EAM=\"Winamp\"", "\r\nERROR\r\n", ""},
      {"*SEAM=?", "\r\nOK\r\n", ""},
      {"*SEAM=\"Winamp\",2", "\r\n*SEAM: 5\r\n\r\nOK\r\n", ""},
      {"*SELIST=\"M\",3,1,2,0,1,\"a\",\"\",0,0,0,\"b\",0,0,0,0", "\r\n*SELIST: 1\r\n\r\nOK\r\n",
       "menu M/2/2"},
      {"*SELIST=\"M\",3,0,3,0,1,\"a\",\"\",0,0,0", "\r\nERROR\r\n", "menu M/2/2"},
      {"*SEGAUGE=\"Vol\",2,1,0,5,10", "\r\n*SEGAUGE: 2\r\n\r\nOK\r\n",
       "menu M/2/2 dialog level/Vol"},
      {"*SEDEL=9", "\r\nERROR\r\n", "menu M/2/2 dialog level/Vol"},
      {"*SEDEL=2", "\r\nOK\r\n", "menu M/2/2"},
      {"*SELIST=\"C\",1,0,2,0,1,\"x\",\"\",0,1,0,\"y\",\"\",0,0,0", "\r\n*SELIST: 3\r\n\r\nOK\r\n",
       "menu M/2/2 dialog list/C"},
      {"*SEONO=\"On\",1,1", "\r\n*SEONO: 4\r\n\r\nOK\r\n", "menu M/2/2 dialog onoff/On"},
      {"*SESTRI=\"N\",\"P\",\"7\",0,2,1", "\r\n*SESTRI: 5\r\n\r\nOK\r\n",
       "menu M/2/2 dialog number/N"},
      {"*SESTRI=?", "\r\n*SESTRI: 100,(0-5),(0,1),(0,1)\r\n\r\nOK\r\n",
       "menu M/2/2 dialog number/N"},
      {"*SESTRI=\"T\",\"P\",\"x\",0,0,1", "\r\n*SESTRI: 6\r\n\r\nOK\r\n",
       "menu M/2/2 dialog text/T up to 100"},
      {"*SELERT=\"hi\",4,1,\"Note\"", "\r\n*SELERT: 7\r\n\r\nOK\r\n",
       "menu M/2/2 dialog notice/Note"},
      {"*SEYNQ=\"\",\"Q?\",1", "\r\nERROR\r\n", "menu M/2/2 dialog notice/Note"},
      {"*SEUIS=0", "\r\nOK\r\n", ""},
      {"*EASM=\"x\", 1, 1, 1,\"a\"", "\r\nERROR\r\n", ""},
  };
  RecordingTransport line;
  PhoneModel phone(line);
  phone.SetNewer(true);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    const std::size_t before = line.Bytes().size();
    phone.Receive(std::string("\rAT") + row.command + "\r");
    EXPECT_EQ(line.Bytes().substr(before), std::string("AT") + row.command + "\r" + row.answer);
    const Screen& s = phone.screen();
    std::string shown;
    if (s.menu)
      shown = "menu " + s.menu->title + "/" + std::to_string(s.menu->selected) + "/" +
              std::to_string(s.menu->count);
    if (s.dialog)
      shown += std::string(" dialog ") + DialogTypeName(s.dialog->type) + "/" + s.dialog->title;
    if (s.dialog && s.dialog->type == DialogType::Text)
      shown += " up to " + std::to_string(s.dialog->maxLength);
    EXPECT_EQ(shown, row.screen);
  }
  EXPECT_EQ(phone.screen().accessory.value_or(""), "Winamp");
}

// The user's answers name the object on the screen.
TEST(PhoneScreen, NewerAnswers) {
  RecordingTransport line;
  PhoneModel phone(line);
  phone.SetNewer(true);
  phone.Receive("\rAT*SEGAUGE=\"Vol\",2,1,0,5,10\r");
  const std::pair<std::function<void()>, const char*> answers[] = {
      {[&] { phone.OpenAccessoryMenu(); }, "*SEAAI: 5"},
      {[&] { phone.ChooseEntry(3); }, "*SEGUII: 1,5,3"},
      {[&] { phone.ChooseEntry(0); }, "*SEGUII: 1,1"},
      {[&] { phone.AnswerLevel(60); }, "*SEGUII: 1,12,6"},
      {[&] { phone.AnswerOnOff(false); }, "*SEGUII: 1,10,false"},
      {[&] { phone.AnswerNumber(42); }, "*SEGUII: 1,11,\"42\""},
      {[&] { phone.AnswerText("hi"); }, "*SEGUII: 1,11,\"hi\""},
      {[&] { phone.Cancel(); }, "*SEGUII: 1,0"},
  };
  for (const auto& [act, code] : answers) {
    const std::size_t before = line.Bytes().size();
    act();
    EXPECT_EQ(line.Bytes().substr(before), std::string("\r\n") + code + "\r\n");
  }
  const std::size_t before = line.Bytes().size();
  phone.AnswerInterimLevel(30);  // the first newer phones report only the final value
  EXPECT_EQ(line.Bytes().size(), before);
}

}  // namespace
}  // namespace quillet::phone
