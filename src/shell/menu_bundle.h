#pragma once
// Everything the menus need, built together once the host's window and the
// menu messages are known: the built-in records (at stable addresses for as
// long as the bundle lives), the player's window, the player's menus, the
// menu router and the protocol the monitor thread calls; beside them, the
// player's one pause, the call tracker that the phone's call reports reach,
// what the phone going away does, the remote keys that its key reports
// reach, and the watch and follower through which the main menu on the
// phone follows the player's own changes.

#include <algorithm>
#include <cstdint>
#include <string>

#include "link/at_transaction.h"
#include "link/command_reply.h"
#include "link/link.h"
#include "menus/built_in_menus.h"
#include "menus/menu_protocol.h"
#include "menus/newer_dialect.h"
#include "player/away_pause.h"
#include "player/call_tracker.h"
#include "player/host_window.h"
#include "player/library_pages.h"
#include "player/menu_messages.h"
#include "player/menu_router.h"
#include "player/player_menus.h"
#include "player/player_watch.h"
#include "player/remote_keys.h"
#include "player/track_finder.h"
#include "player/track_follower.h"

namespace quillet {

struct MenuBundle {
  MenuBundle(Link& link, Handle hostWindow, const MenuMessageIds& messages,
             std::int32_t pluginMenus, bool remoteKeys = false,
             LibraryCalls* libraryCalls = nullptr)
      : texts(link.os, [&link] { return link.charset; }),
        host(link.os, hostWindow),
        player(menus, host, Unicode(link)),
        finder(link.os, menus, host, Unicode(link)),
        library(link.os, menus, host, libraryCalls, Unicode(link),
                [&link](const std::string& line) { link.trace.WriteTrace(line, kTraceInfo); }),
        router(host, player, messages, pluginMenus),
        protocol(
            router, [&link](const std::string& command) { return SendCommand(link, command); },
            Unicode(link)),
        newer(
            [&link](const std::string& command, const char* code, std::string* reply) {
              return SendCommandForReply(link, command, code, reply);
            },
            [&link](const std::string& text) { link.trace.WriteTrace(text, kTraceInfo); },
            link.menus),
        pause(host),
        calls(pause),
        away(pause),
        keys(
            link.os, host, menus,
            [&link](const std::string& command) { return SendCommand(link, command); },
            [this] { return calls.InCall(); }),
        watch(link.os, link.wakeEvent),
        follower(link, watch, protocol, menus.mainMenu, calls),
        link_(link) {
    textsInUse_ = Unicode(link);
    router.UseFinder(&finder);
    router.UseLibrary(&library);
    calls.OnCallGoingOn([this] { protocol.EndKeyScreen(); });
    UseRemoteKeys(link, remoteKeys);
    // The newer commands on a connection that registered the menu there.
    newer.Tell(&protocol);
    protocol.UseDialects([this, &link]() -> MenuDialect* {
      return link.menus.set == MenuCommandSet::kNewer ? &newer : nullptr;
    });
    link.newerMenus = &newer;
    link.clocked.push_back(&follower);
    watch.ReadFilesWith(
        [this](std::int32_t entry, std::u16string* file) { return host.EntryFile(entry, file); });
    library.AnswerNextWith([this](std::int32_t entry, std::u16string file) {
      watch.AnswerNextOnce(entry, std::move(file));
    });
  }
  ~MenuBundle() {
    auto& clocked = link_.clocked;
    clocked.erase(std::remove(clocked.begin(), clocked.end(), &follower), clocked.end());
  }
  MenuBundle(const MenuBundle&) = delete;
  MenuBundle& operator=(const MenuBundle&) = delete;

  // The texts in the phone's set, used only with a Charset setting.
  MenuTexts* Unicode(const Link& link) {
    return WantsCharset(link.charsetWish, link.menus.set == MenuCommandSet::kNewer) ? &texts
                                                                                    : nullptr;
  }
  // A Charset applied from the dialog takes effect at the next set-up. Texts
  // held before a switch may no longer be the fields' (one title shown,
  // another played), so a switch drops them all.
  void UseTexts(const Link& link) {
    MenuTexts* now = Unicode(link);
    if (now != textsInUse_) texts.ReleaseAll();
    textsInUse_ = now;
    player.UseTexts(now);
    finder.UseTexts(now);
    library.UseTexts(now);
    protocol.UseTexts(now);
  }
  // The remote-keys entry, its screen and the key reports, on or off.
  void UseRemoteKeys(Link& link, bool on) {
    player.Want(MainEntry::kRemoteKeys, on);
    protocol.SetKeyScreen(on ? &keys : nullptr);
    link.keyEvents = on ? &keys : nullptr;
  }

  BuiltInMenus menus;
  MenuTexts texts;
  HostWindow host;
  PlayerMenus player;
  TrackFinder finder;
  LibraryPages library;
  MenuRouter router;
  MenuProtocol protocol;
  NewerDialect newer;
  PlayerPause pause;
  CallTracker calls;
  AwayPause away;
  RemoteKeys keys;
  // What the player's window is told, once watched, and the main menu on
  // the phone following it.
  PlayerWatch watch;
  TrackFollower follower;

 private:
  MenuTexts* textsInUse_ = nullptr;
  Link& link_;
};

}  // namespace quillet
