#include "answer_codes.h"

namespace quillet::phone::codes {
namespace {

std::string Answer(int type, std::int32_t value) {
  return "*EAII: " + std::to_string(type) + "," + std::to_string(value);
}

}  // namespace

std::string AccessoryOpened() {
  return "*EAAI";
}
std::string EntryChosen(std::int32_t entry) {
  return "*EAMI: " + std::to_string(entry);
}
std::string LevelSet(std::int32_t percent) {
  return Answer(4, percent);
}
std::string LevelMoved(std::int32_t percent) {
  return Answer(15, percent);
}
std::string ListChosen(std::int32_t choice) {
  return Answer(5, choice);
}
std::string OnOffSet(bool on) {
  return Answer(3, on ? 1 : 0);
}
std::string NumberEntered(std::int32_t number) {
  return Answer(7, number);
}
std::string TextEntered(std::string_view text) {
  return "*EAII: 11,\"" + std::string(text) + "\"";
}
std::string Rejected() {
  return "*EAII: 0";
}
std::string Aborted() {
  return "*EAII";
}

}  // namespace quillet::phone::codes
