#include "charsets.h"

#include <gtest/gtest.h>

#include "control.h"
#include "json_events.h"
#include "phone_model.h"
#include "recording_transport.h"

namespace quillet::phone {
namespace {

TEST(Charsets, ListSelectAndRefuse) {
  Settings settings;
  struct Case {
    const char* rest;
    bool ok;
    std::vector<std::string> values;
    const char* selected;  // null: none selected
  };
  const Case cases[] = {
      {"=?", true, {"+CSCS: (\"GSM\",\"IRA\",\"8859-1\",\"UTF-8\",\"UCS2\")"}, nullptr},
      {"?", true, {"+CSCS: \"GSM\""}, nullptr},
      {"=\"utf-8\"", true, {}, "UTF-8"},
      {"=\"8859-1\"", true, {}, "8859-1"},
      {"=\"8859-15\"", false, {}, nullptr},
      {"=UTF-8", false, {}, nullptr},
      {"=\"\"", false, {}, nullptr},
      {"", false, {}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rest);
    const Interpretation got = CharacterSet(c.rest, settings);
    EXPECT_EQ(got.ok, c.ok);
    EXPECT_EQ(got.values, c.values);
    EXPECT_EQ(got.charset.has_value(), c.selected != nullptr);
    if (c.selected) {
      EXPECT_EQ(*got.charset, c.selected);
    }
  }
  settings.charsets.clear();
  EXPECT_FALSE(CharacterSet("=?", settings).ok);
}

TEST(Charsets, ThePhoneShowsTextsInTheSelectedSet) {
  RecordingTransport transport;
  PhoneModel phone(transport);
  EXPECT_EQ(RunControl(phone, "charsets GSM, 8859-1").kind, ControlOutcome::Kind::Done);
  phone.Receive("AT+CSCS=\"UTF-8\"\r");  // not offered now
  EXPECT_EQ(phone.settings().charset, "");
  phone.Receive("AT+CSCS=\"8859-1\"\r");
  EXPECT_EQ(phone.settings().charset, "8859-1");
  phone.Receive("AT*EASM=\"Caf\xE9\", 1, 1, 1,\"D\xE9j\xE0\"\r");
  EXPECT_NE(json::Menu(*phone.screen().menu).find("\"shown\":{\"title\":\"Caf\\u00e9\","),
            std::string::npos);

  EXPECT_EQ(RunControl(phone, "charsets UTF-8").kind, ControlOutcome::Kind::Done);
  phone.Receive("AT+CSCS=\"UTF-8\"\r");
  phone.Receive("AT*EASM=\"\xD0\x9A\xF0\x9F\x8E\xB5\xC3\", 1, 1, 1,\"x\"\r");
  EXPECT_NE(json::Menu(*phone.screen().menu)
                .find("\"shown\":{\"title\":\"\\u041a\\ud83c\\udfb5\\ufffd\","),
            std::string::npos);
  EXPECT_EQ(RunControl(phone, "charsets none").kind, ControlOutcome::Kind::Done);
  EXPECT_TRUE(phone.settings().charsets.empty());
  EXPECT_EQ(RunControl(phone, "charsets").kind, ControlOutcome::Kind::Error);
}

}  // namespace
}  // namespace quillet::phone
