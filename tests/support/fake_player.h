#pragma once
// The player and other plug-ins behind the host window, for tests on the fake
// platform: answers the player's requests from a small model, answers
// LoadMenu from a table of supplied records, and keeps what it was told.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "menus/menu_record.h"
#include "platform/fake/fake_platform.h"
#include "player/menu_messages.h"

namespace quillet::testing {

class FakePlayer {
 public:
  // Installs itself as the platform's host handler.
  explicit FakePlayer(fake::FakePlatform& os);

  // The model.
  std::int32_t volume = 200;
  std::int32_t position = 0;
  std::int32_t state = 0;  // 0 stopped, 1 playing, 3 paused
  bool video = false;
  bool shuffle = false;
  bool repeat = false;
  std::int32_t rating = 0;          // the current entry's, one for the whole playlist
  bool keepsRatings = true;         // false: a rating set is not kept
  std::vector<std::string> titles;  // the playlist
  void Entries(int n);              // "Track 1" .. "Track n"
  // A playlist of n entries whose titles are made as they are asked for, for
  // lengths that would be costly to hold; replaced by Entries.
  void Generate(int n);
  std::size_t noTitleFrom = SIZE_MAX;        // entries from here on have no title
  std::optional<std::intptr_t> titleAnswer;  // answered to every title request instead
  // Answers to the UTF-16 title request, by entry; 0 past the end (a player
  // that does not answer it).
  std::vector<std::u16string> unicodeTitles;
  std::optional<std::intptr_t> unicodeTitleAnswer;  // answered to every such request instead
  int unicodeRequests = 0;

  // Other plug-ins: the record answered for a menu id, or a raw result.
  std::map<std::int32_t, Menu*> supplied;
  std::map<std::int32_t, std::intptr_t> rawAnswers;

  // What reached them.
  std::vector<std::pair<Menu*, std::int32_t>> closed;  // record, its id as received
  std::vector<ValueChange> changes;
  std::vector<std::uintptr_t> commands;  // WM_COMMANDs sent (not posted)
  int requests = 0;                      // player requests (not registered messages)
  std::vector<std::intptr_t> asked;      // each player request's lParam, in order
  // Called before each player request is answered: a slow player, or one
  // that changes under the requests.
  std::function<void()> beforeRequest;

  MenuMessageIds messages;  // registered ids, once RegisterMenuMessages ran

  // The player's own changes, told to its window as the player tells them
  // (through a watch of the window, if any).
  Handle window = 0x1234;
  // Entry `entry` starts: the playing-file notice, then the title's.
  void PlayFromPlayer(std::int32_t entry);
  // A notice to the window: WM_USER with this id and argument.
  void Notify(std::intptr_t id, std::uintptr_t wParam = 0);
  // A command to the window (WM_COMMAND, or WM_SYSCOMMAND with `system`).
  void Command(std::uintptr_t wParam, bool system = false);

 private:
  fake::FakePlatform& os_;
  std::intptr_t Answer(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::intptr_t Registered(std::uintptr_t wParam, std::intptr_t lParam);

  std::map<std::string, std::intptr_t> names_;
  int generated_ = -1;
  std::string made_[16];  // a title stays valid for the next 15 requests
  std::u16string file_;   // the last entry's file asked for, as its title
  std::size_t nextMade_ = 0;
};

}  // namespace quillet::testing
