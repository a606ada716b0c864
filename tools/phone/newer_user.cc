// The phone of the later generation: its objects, the screen drawn from
// them, and its user's answers.
#include <algorithm>

#include "phone_model.h"

namespace quillet::phone {

void PhoneModel::PrepareNewer(Interpretation* meaning) const {
  NewerChange& change = *meaning->newer;
  switch (change.kind) {
    case NewerChange::Kind::Register:
      meaning->values.push_back(change.replyCode + ": " + std::to_string(kNewerItem));
      break;
    case NewerChange::Kind::Create:
      change.object.id = nextObject_;
      meaning->values.push_back(change.replyCode + ": " + std::to_string(nextObject_));
      break;
    case NewerChange::Kind::Delete:
      if (std::none_of(objects_.begin(), objects_.end(),
                       [&](const NewerObject& o) { return o.id == change.id; })) {
        meaning->ok = false;
        meaning->error = "no object " + std::to_string(change.id);
      }
      break;
    case NewerChange::Kind::Question:
      // The string input's size, its input modes, show values and forms.
      if (change.replyCode == "*SESTRI")
        meaning->values.push_back("*SESTRI: " + std::to_string(settings_.textLimit) +
                                  ",(0-5),(0,1),(0,1)");
      break;
    case NewerChange::Kind::Session:
      break;
  }
}

void PhoneModel::ApplyNewer(const NewerChange& change) {
  switch (change.kind) {
    case NewerChange::Kind::Register:
      screen_.accessory = change.title;
      Notify(ScreenChange::Accessory);
      return;
    case NewerChange::Kind::Create:
      objects_.push_back(change.object);
      if (objects_.back().menu) objects_.back().menu->charset = settings_.charset;
      if (objects_.back().dialog) {
        Dialog& d = *objects_.back().dialog;
        d.charset = settings_.charset;
        // A string input takes what the phone's own limit allows.
        if (d.type == DialogType::Text) d.maxLength = settings_.textLimit;
      }
      ++nextObject_;
      break;
    case NewerChange::Kind::Delete:
      objects_.erase(std::remove_if(objects_.begin(), objects_.end(),
                                    [&](const NewerObject& o) { return o.id == change.id; }),
                     objects_.end());
      break;
    case NewerChange::Kind::Session:
      // A new session starts empty; the end of one takes its objects along.
      objects_.clear();
      break;
    case NewerChange::Kind::Question:
      return;
  }
  Redraw();
}

void PhoneModel::Redraw() {
  const std::int32_t top = objects_.empty() ? 0 : objects_.back().id;
  if (top == drawnObject_) return;
  drawnObject_ = top;
  if (objects_.empty()) {
    const bool shown = screen_.menu || screen_.dialog;
    screen_.menu.reset();
    screen_.dialog.reset();
    if (shown) Notify(ScreenChange::MenuLeft);
    return;
  }
  const NewerObject& shown = objects_.back();
  if (shown.menu) {
    screen_.menu = shown.menu;
    screen_.dialog.reset();
    Notify(ScreenChange::Menu);
    return;
  }
  // A dialog over the latest list beneath it, if any.
  screen_.menu.reset();
  for (const NewerObject& o : objects_)
    if (o.menu) screen_.menu = o.menu;
  screen_.dialog = shown.dialog;
  Notify(ScreenChange::Dialog);
}

void PhoneModel::AnswerNewer(std::int32_t action, const std::string& info) {
  // Nothing of the accessory's on the screen: nothing to answer.
  if (objects_.empty()) return;
  SendUnsolicited(newer_codes::Answer(objects_.back().id, action, info));
}

void PhoneModel::Cancel() {
  if (settings_.newer) return AnswerNewer(0);
  if (screen_.dialog) return AbortDialog();
  ChooseEntry(0);
}

}  // namespace quillet::phone
