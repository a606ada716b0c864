// The screen as the plug-in's accessory commands leave it.

#include <gtest/gtest.h>

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
