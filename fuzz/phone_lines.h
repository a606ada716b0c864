#pragma once
// The bytes a phone sends, cut into lines the way the link's reader cuts
// them (a CR, an LF or both end a line) and handed to the menu protocol the
// way the monitor thread hands them: "*EAAI", "*EAMI: n", "*EAII...". Every
// other line (echoes, results, unsolicited noise) is ignored, as there.
// Fuzz inputs that end in such a stream can be seeded with what the phone
// simulator really sent in a session.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fake_player.h"
#include "link/key_report.h"
#include "link/phone_handlers.h"
#include "shell/menu_bundle.h"

namespace quillet::fuzzing {

// The fixed head of a menu fuzz input: the player's state and how many of
// the bytes after it describe other plug-ins' menus; the phone's bytes
// follow those.
struct WorldHead {
  std::int32_t playlistLength = 0;
  std::int32_t position = 0;
  std::int32_t playState = 0;
  std::int32_t pluginMenus = 0;
  bool remoteKeys = false;   // the main menu offers the key screen
  bool keysRefused = false;  // ... and the phone refuses its commands
  std::size_t noTitleFrom = 0;
  std::size_t suppliedBytes = 0;
};
constexpr std::size_t kWorldHeadSize = 12;

// Reads the head (zeros where the input is shorter); `longest` caps the
// playlist length.
WorldHead ReadWorldHead(const std::uint8_t* data, std::size_t size, std::int32_t longest);

// Where the head ends in an input of `size` bytes.
std::size_t HeadEnd(std::size_t size);

// The plug-in's menus on the fake platform, behind a fake player that has
// the head's playlist and state, with the commands they send collected.
struct MenuWorld {
  MenuWorld(const WorldHead& head, std::int32_t pluginMenus);
  MenuWorld(const MenuWorld&) = delete;
  MenuWorld& operator=(const MenuWorld&) = delete;

  fake::FakePlatform os;
  testing::FakePlayer player{os};
  Link link{os};
  MenuBundle menus;
  std::vector<std::string> sent;
  MenuProtocol protocol;
  // The key screen, for a fuzzer that puts it in the main menu; its commands
  // are collected with the others and answered as the head says.
  RemoteKeys keys;
};

// Dispatches each line; `before` runs before every code is handed over and
// `after` after it, with the line; `after` may stop the run by returning
// false. Other lines go to `other`, and "+CKEV" lines that read right to
// `keys` when there is one. At most `most` codes.
struct LineHooks {
  KeyEvents* keys = nullptr;
  std::function<void(std::string_view)> before = [](std::string_view) {};
  std::function<bool(std::string_view)> after = [](std::string_view) { return true; };
  std::function<void(std::string_view)> other = [](std::string_view) {};
};
void DispatchPhoneLines(std::string_view bytes, MenuHandlers& handlers, int most,
                        const LineHooks& hooks);

}  // namespace quillet::fuzzing
