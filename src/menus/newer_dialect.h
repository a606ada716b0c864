#pragma once
// The newer accessory commands ("*SE..."): a session opened with the menu,
// each page, notice and dialog an object of the phone's, and the answers
// "*SEGUII" lines naming the object they come from. At most one object of
// ours is on the phone, but for the moment between a new one and the
// deletion of the one it replaces.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/menu_set.h"
#include "menus/menu_dialect.h"

namespace quillet {

class NewerDialect : public MenuDialect, public NewerMenuLines {
 public:
  // Sends one command; true on "OK", with `reply` the line of its answer
  // that begins with `code`.
  using Transact =
      std::function<bool(const std::string& command, const char* code, std::string* reply)>;
  using Trace = std::function<void(const std::string& text)>;

  // `registration` is the connection's: its item and its count of set-ups.
  NewerDialect(Transact transact, Trace trace, const MenuRegistration& registration)
      : transact_(std::move(transact)), trace_(std::move(trace)), registration_(registration) {}
  void Tell(MenuEvents* events) { events_ = events; }

  void Opened() override;
  bool ShowList(const MenuPage& page) override;
  void ShowNotice(char navigation, const std::string& title, const std::string& text) override;
  void OpenDialog(const DialogRequest& dialog) override;
  bool ShowKeyScreen(const std::string& title) override;
  void Left() override;

  // "*SEAAI", "*SEGUII" and "*SESFI".
  void Line(const std::string& line) override;
  std::vector<std::string> TakeScreenOff() override;
  void ForgetPhone() override;

  // The object on the phone, -1 for none.
  std::int32_t object() const { return object_; }

 private:
  enum class Shown { kNothing, kList, kNotice, kDialog };

  // A connection set up since starts with nothing of ours on the phone; an
  // object still up then was left there by a blink.
  void Follow();
  // Neither an object nor a session of ours is on the phone.
  void NothingUp();
  // An answer for an object a blink left up: it goes, and so does the
  // session, so the phone is back on its own screens. False for an object
  // that was never left behind.
  bool ClearLeftBehind(std::int32_t object);
  // Puts a new object up; once the phone has it, the old one goes.
  // `refused`: the phone answered the command with an error.
  bool Replace(const std::string& command, const char* code, bool* refused = nullptr);
  // A list; the images as "" first, and as 0 once the phone refused that.
  bool PutList(const std::string& title, int type, int focus,
               const std::vector<std::string>& entries, int selected);
  void Answer(std::int32_t action, const std::string& info);
  void DialogAnswered(std::int32_t action, const std::string& info);
  void Send(const std::string& command);

  Transact transact_;
  Trace trace_;
  const MenuRegistration& registration_;
  MenuEvents* events_ = nullptr;
  std::uint32_t connection_ = 0;
  std::int32_t object_ = -1;
  // The last "*SEUIS=1" was taken and no "*SEUIS=0" has followed.
  bool sessionOpen_ = false;
  // Objects of ours that earlier connections left on the phone, newest last.
  std::vector<std::int32_t> leftBehind_;
  Shown shown_ = Shown::kNothing;
  std::int32_t dialogKind_ = 0;  // of the dialog shown
  std::int32_t steps_ = 0;       // of the level shown
  bool imagesAsZero_ = false;
};

}  // namespace quillet
