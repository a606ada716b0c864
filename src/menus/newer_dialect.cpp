#include "menus/newer_dialect.h"

#include <algorithm>

#include "link/menu_registration.h"
#include "menus/accessory_commands.h"
#include "menus/at_text.h"
#include "menus/menu_record.h"

namespace quillet {
namespace {

constexpr int kOneOfMany = 1;
constexpr int kMenuList = 3;
// Blinks in a row that each left an object up: older ones are forgotten.
constexpr std::size_t kMostLeftBehind = 4;

}  // namespace

void NewerDialect::Follow() {
  if (connection_ == registration_.connection) return;
  connection_ = registration_.connection;
  if (object_ >= 0) {
    if (leftBehind_.size() == kMostLeftBehind) leftBehind_.erase(leftBehind_.begin());
    leftBehind_.push_back(object_);
  }
  NothingUp();
  imagesAsZero_ = false;
}

void NewerDialect::NothingUp() {
  object_ = -1;
  sessionOpen_ = false;
  shown_ = Shown::kNothing;
}

std::vector<std::string> NewerDialect::TakeScreenOff() {
  Follow();
  std::vector<std::string> commands;
  if (object_ >= 0) commands.push_back(Format(phone::newer::kDelete, static_cast<int>(object_)));
  if (sessionOpen_) commands.emplace_back(phone::newer::kSessionEnd);
  NothingUp();
  return commands;
}

void NewerDialect::ForgetPhone() {
  // Whatever follows Follow()'s next look belongs to another phone.
  connection_ = registration_.connection;
  NothingUp();
  leftBehind_.clear();
}

bool NewerDialect::ClearLeftBehind(std::int32_t object) {
  auto left = std::find(leftBehind_.begin(), leftBehind_.end(), object);
  if (left == leftBehind_.end()) return false;
  leftBehind_.erase(left);
  trace_("answer for an object an earlier connection left up: taken off");
  Send(Format(phone::newer::kDelete, static_cast<int>(object)));
  Send(phone::newer::kSessionEnd);
  sessionOpen_ = false;
  return true;
}

void NewerDialect::Send(const std::string& command) {
  std::string reply;
  transact_(command, "", &reply);
}

bool NewerDialect::Replace(const std::string& command, const char* code, bool* refused) {
  std::string reply;
  const bool accepted = transact_(command, code, &reply);
  if (refused != nullptr) *refused = !accepted;
  if (!accepted) return false;
  std::int32_t id = -1;
  if (!ParseObjectReply(reply, code, &id)) {
    // Shown, perhaps, but out of reach: what was there stays ours.
    trace_("no object id in the answer to " + std::string(code));
    return false;
  }
  const std::int32_t old = object_;
  object_ = id;
  // The phone gave the id again: it is no longer one left behind.
  leftBehind_.erase(std::remove(leftBehind_.begin(), leftBehind_.end(), id), leftBehind_.end());
  if (old >= 0 && old != id) Send(Format(phone::newer::kDelete, static_cast<int>(old)));
  return true;
}

bool NewerDialect::PutList(const std::string& title, int type, int focus,
                           const std::vector<std::string>& entries, int selected) {
  const auto command = [&](const char* image) {
    std::string list;
    for (std::size_t i = 0; i < entries.size(); ++i)
      list += Format(phone::newer::kListEntry, entries[i].c_str(), image,
                     static_cast<int>(i) == selected ? 1 : 0);
    return Format(phone::newer::kList, title.c_str(), type, focus, static_cast<int>(entries.size()),
                  list.c_str());
  };
  if (!imagesAsZero_) {
    bool refused = false;
    if (Replace(command("\"\""), phone::newer::kListReply, &refused)) return true;
    // A list taken without an id is up already: sent again it would be twice.
    if (!refused) return false;
    trace_("list refused with \"\" as images: once more with 0");
  }
  if (!Replace(command("0"), phone::newer::kListReply)) return false;
  imagesAsZero_ = true;
  return true;
}

void NewerDialect::Opened() {
  Follow();
  // Whether the phone ends a session by itself is not known: one is begun
  // on every opening, and a refusal changes nothing.
  std::string reply;
  sessionOpen_ = transact_(phone::newer::kSessionStart, "", &reply);
  if (!sessionOpen_) trace_("session start refused");
}

bool NewerDialect::ShowList(const MenuPage& page) {
  Follow();
  if (!PutList(page.title, kMenuList, page.focus - 1, page.entries, -1)) return false;
  shown_ = Shown::kList;
  return true;
}

void NewerDialect::ShowNotice(char /*navigation*/, const std::string& title,
                              const std::string& text) {
  Follow();
  if (Replace(Format(phone::newer::kAlert, text.c_str(), title.c_str()), phone::newer::kAlertReply))
    shown_ = Shown::kNotice;
}

bool NewerDialect::ShowKeyScreen(const std::string& title) {
  Follow();
  if (!Replace(Format(phone::newer::kAlert, phone::newer::kKeyScreenText, title.c_str()),
               phone::newer::kAlertReply))
    return false;
  shown_ = Shown::kNotice;
  return true;
}

void NewerDialect::OpenDialog(const DialogRequest& d) {
  Follow();
  const char* name = d.name.c_str();
  bool shown = false;
  switch (d.kind) {
    case kLevel:
      shown =
          Replace(Format(phone::newer::kGauge, name, d.value, d.count), phone::newer::kGaugeReply);
      steps_ = d.count;
      break;
    case kChoice:
      shown = PutList(d.name, kOneOfMany, d.value, d.labels, d.value);
      break;
    case kSwitch:
      shown = Replace(Format(phone::newer::kOnOff, name, d.value != 0 ? 1 : 0),
                      phone::newer::kOnOffReply);
      break;
    case kNumber:
      shown = Replace(Format(phone::newer::kNumberInput, name, d.prompt.c_str(), d.value),
                      phone::newer::kInputReply);
      break;
    default:
      shown = Replace(Format(phone::newer::kTextInput, name, d.prompt.c_str(), d.text.c_str()),
                      phone::newer::kInputReply);
      break;
  }
  // Refused, the list stays up and its entries still count.
  if (!shown) return;
  shown_ = Shown::kDialog;
  dialogKind_ = d.kind;
}

void NewerDialect::Left() {
  Follow();
  if (object_ >= 0) Send(Format(phone::newer::kDelete, static_cast<int>(object_)));
  Send(phone::newer::kSessionEnd);
  NothingUp();
}

}  // namespace quillet
