#pragma once
// Everything the menus need, built together once the host's window and the
// menu messages are known: the built-in records (at stable addresses for as
// long as the bundle lives), the player's window, the player's menus, the
// menu router and the protocol the monitor thread calls; beside them, the
// call tracker that the phone's call reports reach, and the remote keys that
// its key reports reach.

#include <cstdint>
#include <string>

#include "link/at_transaction.h"
#include "link/link.h"
#include "menus/built_in_menus.h"
#include "menus/menu_protocol.h"
#include "player/call_tracker.h"
#include "player/host_window.h"
#include "player/menu_messages.h"
#include "player/menu_router.h"
#include "player/player_menus.h"
#include "player/remote_keys.h"

namespace quillet {

struct MenuBundle {
  MenuBundle(Link& link, Handle hostWindow, const MenuMessageIds& messages,
             std::int32_t pluginMenus, bool remoteKeys = false)
      : host(link.os, hostWindow),
        player(menus, host),
        router(host, player, messages, pluginMenus),
        protocol(router, [&link](const std::string& command) { SendCommand(link, command); }),
        calls(host),
        keys(link.os, host, menus.remoteKeysItem(),
             [&link](const std::string& command) { return SendCommand(link, command); }) {
    if (remoteKeys) {
      menus.AddRemoteKeys();
      protocol.SetKeyScreen(&keys);
    }
  }
  MenuBundle(const MenuBundle&) = delete;
  MenuBundle& operator=(const MenuBundle&) = delete;

  BuiltInMenus menus;
  HostWindow host;
  PlayerMenus player;
  MenuRouter router;
  MenuProtocol protocol;
  CallTracker calls;
  RemoteKeys keys;
};

}  // namespace quillet
