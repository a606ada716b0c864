// Answers the WM_USER requests a plug-in sends to the player's window,
// against the player model and the registry of message names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "message_registry.h"
#include "player_model.h"
#include "title_answers.h"

namespace host {

class PlayerRequests {
 public:
  // Reads the NUL-terminated text at an address a plug-in passed; false when
  // the address cannot be read.
  using TextReader = std::function<bool(intptr_t address, std::string* text)>;

  // Sends a WM_COMMAND to the player's window, through every subclass.
  using CommandSender = std::function<void(int id)>;

  PlayerRequests(PlayerModel& model, MessageRegistry& registry, TextReader reader)
      : model_(model), registry_(registry), read_text_(std::move(reader)) {}

  // The set requests for shuffle and repeat flip them the player's one way:
  // the toggle command, sent only when the state changes.
  void SetCommandSender(CommandSender sender) { send_command_ = std::move(sender); }

  // The player's answer to WM_USER(wparam, lparam). Unknown requests, and
  // registered names nobody else answered, yield 0.
  intptr_t Answer(intptr_t wparam, intptr_t lparam);

  // What the title request answers instead of titles, when chosen.
  TitleAnswers& title_answers() { return title_answers_; }

 private:
  intptr_t SetSwitch(bool current, intptr_t wanted, int toggle);

  PlayerModel& model_;
  std::wstring file_answer_;
  MessageRegistry& registry_;
  TextReader read_text_;
  CommandSender send_command_;
  TitleAnswers title_answers_;
};

}  // namespace host
