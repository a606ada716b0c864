#include "phone_lines.h"

#include <string>

#include "link/monitor.h"
#include "link/phone_commands.h"

namespace quillet::fuzzing {

WorldHead ReadWorldHead(const std::uint8_t* data, std::size_t size, std::int32_t longest) {
  std::uint8_t head[kWorldHeadSize] = {};
  for (std::size_t i = 0; i < kWorldHeadSize && i < size; ++i) head[i] = data[i];
  const auto u32 = [&](std::size_t at) {
    return std::uint32_t{head[at]} | std::uint32_t{head[at + 1]} << 8 |
           std::uint32_t{head[at + 2]} << 16 | std::uint32_t{head[at + 3]} << 24;
  };
  WorldHead world;
  world.playlistLength = static_cast<std::int32_t>(u32(0) % (std::uint32_t(longest) + 1));
  const std::uint32_t span = std::uint32_t(world.playlistLength) + 1;
  world.position = static_cast<std::int32_t>(u32(4) % span);
  world.playState = head[8] % 5;  // 0, 1 and 3 are the player's; 2 and 4 are not
  // 2 opens on the "Menus" page when a plug-in supplies a main menu.
  world.pluginMenus = head[9] % 3;
  world.remoteKeys = (head[9] & 8) != 0;
  world.keysRefused = (head[9] & 16) != 0;
  world.noTitleFrom = head[10] == 0 ? std::size_t(-1) : head[10];
  world.suppliedBytes = std::size_t{head[11]} * 16;
  return world;
}

std::size_t HeadEnd(std::size_t size) {
  return size < kWorldHeadSize ? size : kWorldHeadSize;
}

namespace {
constexpr Handle kHostWindow = 0x4242;
}  // namespace

MenuWorld::MenuWorld(const WorldHead& head, std::int32_t pluginMenus)
    : menus(link, kHostWindow, RegisterMenuMessages(os, kHostWindow), pluginMenus),
      protocol(menus.router, [this](const std::string& c) { sent.push_back(c); }),
      keys(os, menus.host, menus.menus, [this, refused = head.keysRefused](const std::string& c) {
        sent.push_back(c);
        return !refused;
      }) {
  player.Generate(head.playlistLength);
  player.position = head.position;
  player.state = head.playState;
  player.noTitleFrom = head.noTitleFrom;
}

void DispatchPhoneLines(std::string_view bytes, MenuHandlers& handlers, int most,
                        const LineHooks& hooks) {
  int codes = 0;
  std::size_t at = 0;
  while (at < bytes.size() && codes < most) {
    std::size_t end = bytes.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string line(bytes.substr(at, end - at));
    at = end + 1;
    if (line.size() <= 1) continue;
    if (hooks.keys != nullptr && IsKeyReport(line)) {
      KeyReport key;
      if (ParseKeyReport(line, &key)) hooks.keys->KeyChanged(key);
      continue;
    }
    const bool code = line == phone::kMenuActivated ||
                      line.compare(0, phone::kCodeLength, phone::kMenuChoice) == 0 ||
                      line.compare(0, phone::kCodeLength, phone::kDialogAnswer) == 0;
    if (!code) {
      hooks.other(line);
      continue;
    }
    hooks.before(line);
    if (line == phone::kMenuActivated) {
      handlers.MenuActivated();
    } else if (line.compare(0, phone::kCodeLength, phone::kMenuChoice) == 0) {
      int entry = 0;
      if (ScanMenuChoice(line, &entry) != 1) continue;
      handlers.ChooseEntry(entry);
    } else if (line.compare(0, phone::kCodeLength, phone::kDialogAnswer) == 0) {
      handlers.HandleAnswer(line.substr(phone::kCodeLength));
    }
    ++codes;
    if (!hooks.after(line)) return;
  }
}

}  // namespace quillet::fuzzing
