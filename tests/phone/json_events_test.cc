#include "json_events.h"

#include <gtest/gtest.h>

namespace quillet::phone {
namespace {

using namespace std::string_literals;

TEST(Json, QuotesEveryByteAsAscii) {
  EXPECT_EQ(json::Quote("AT+CGMI"), R"("AT+CGMI")");
  EXPECT_EQ(json::Quote("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(json::Quote("\r\n\t"), R"("\r\n\t")");
  EXPECT_EQ(json::Quote("\0\x01\x1f\x7f"s), R"("\u0000\u0001\u001f\u007f")");
  EXPECT_EQ(json::Quote("\xe9\xff"), R"("\u00e9\u00ff")");
}

TEST(Json, ObjectsAndArrays) {
  EXPECT_EQ(json::Object().Text("ev", "rx").Number("t", 12).Bool("on", false).str(),
            R"({"ev":"rx","t":12,"on":false})");
  EXPECT_EQ(json::Array({}), "[]");
  EXPECT_EQ(json::Array({"a", "\""}), R"(["a","\""])");
}

TEST(Json, Screen) {
  Screen screen;
  EXPECT_EQ(json::ScreenObject(screen),
            R"({"accessory":null,"menu":null,"dialog":null,"calls":[]})");
  screen.accessory = "Winamp";
  MenuScreen menu;
  menu.title = "Video options";
  menu.navigation = '2';
  menu.selected = 1;
  menu.count = 2;
  menu.entries = {"Shown: Off", "Fullscreen"};
  screen.menu = menu;
  Dialog dialog;
  dialog.type = DialogType::OnOff;
  dialog.mode = 2;
  dialog.title = "Shown";
  dialog.value = 0;
  screen.dialog = dialog;
  screen.calls = {{1, CallState::Active, kVoice, "+1555"}, {2, CallState::Waiting, kVoice, "0"}};
  EXPECT_EQ(json::ScreenObject(screen),
            R"({"accessory":"Winamp","menu":{"title":"Video options","nav":"2","selected":1,)"
            R"("count":2,"entries":["Shown: Off","Fullscreen"],"countMatches":true},)"
            R"("dialog":{"type":3,"kind":"onoff","mode":2,"title":"Shown","value":0},)"
            R"("calls":[{"id":1,"state":"active","type":1,"number":"+1555"},)"
            R"({"id":2,"state":"waiting","type":1,"number":"0"}]})");
}

TEST(Json, EveryDialogKind) {
  Dialog d;
  d.type = DialogType::Notice;
  d.navigation = '0';
  d.title = "Missing menu";
  d.text = "gone";
  EXPECT_EQ(json::DialogObject(d),
            R"({"type":14,"kind":"notice","nav":"0","title":"Missing menu","text":"gone"})");
  d = Dialog{};
  d.type = DialogType::Level;
  d.mode = 2;
  d.title = "Volume";
  d.steps = 10;
  d.value = 5;
  EXPECT_EQ(json::DialogObject(d),
            R"({"type":4,"kind":"level","mode":2,"title":"Volume","steps":10,"value":5})");
  d = Dialog{};
  d.type = DialogType::List;
  d.mode = 2;
  d.title = "Mode";
  d.value = 1;
  d.count = 2;
  d.labels = {"a"};
  EXPECT_EQ(json::DialogObject(d), R"({"type":5,"kind":"list","mode":2,"title":"Mode","value":1,)"
                                   R"("count":2,"labels":["a"],"countMatches":false})");
  d = Dialog{};
  d.type = DialogType::Number;
  d.mode = 2;
  d.title = "Go";
  d.prompt = "Track";
  d.minimum = 1;
  d.maximum = 9;
  d.value = 3;
  EXPECT_EQ(json::DialogObject(d), R"({"type":7,"kind":"number","mode":2,"title":"Go",)"
                                   R"("prompt":"Track","min":1,"max":9,"value":3})");
  d = Dialog{};
  d.type = DialogType::Text;
  d.mode = 2;
  d.title = "Name";
  d.prompt = "P";
  d.maxLength = 20;
  d.text = "abc";
  EXPECT_EQ(json::DialogObject(d), R"({"type":11,"kind":"text","mode":2,"title":"Name",)"
                                   R"("prompt":"P","maxLength":20,"text":"abc"})");
}

}  // namespace
}  // namespace quillet::phone
