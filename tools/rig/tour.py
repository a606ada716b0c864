#!/usr/bin/env python3
"""The main job: the real gen_quillet.dll in the stand-in player under Wine,
with the simulated phone on a pty, shown as a scripted tour of the whole menu
loop: what the user does on the phone, the AT commands the phone receives,
the phone's screen and the player's state beside it.

    tour.py                the scripted tour (exit code 1 if a step fails)
    tour.py --interactive  drive the phone yourself, one command per line
    tour.py --interactive --sample
                           ... with the sample menu plug-in loaded beside it
    tour.py --charset auto
                           ... with Charset=auto: a playlist with titles in
                           other scripts, sent in the set agreed with the phone
    tour.py --pause-on-call
                           ... with PauseOnCall=1: the scripted tour ends with a
                           call that pauses the music (interactive: calls
                           pause it as they ring)
    tour.py --remote-keys  ... with RemoteKeys=1: the scripted tour ends on the
                           "Remote keys" screen, skipping a track and turning
                           the volume down with the phone's keys
    tour.py --phone newer  ... on a phone that speaks only the newer accessory
                           commands: every page and dialog one of its objects
    tour.py --find         ... with FindTrack=1: the scripted tour ends by
                           finding a title with an accent by typing it plain,
                           and playing it (interactive: "Find track" takes
                           the text typed with t TEXT)
    tour.py --play-modes   ... with PlayModes=1: the scripted tour ends by
                           turning shuffle on and rating the playing track
                           from the main menu
    tour.py --library      ... with Library=1 and the stand-in's sample
                           library: the scripted tour ends by putting an
                           album next from "Artists", then searching
                           "rumours" and playing a track now (interactive:
                           "Library" in the main menu, the search typed
                           with t TEXT)
    tour.py --follow       ... with FollowTrack=1: the scripted tour ends with
                           the player changing track from its own side while
                           the main menu is up, and the phone's menu following
    tour.py --away         ... with PauseWhenAway=1: the scripted tour ends with
                           the phone taken out of reach while the music plays
                           (it pauses) and coming back (it plays on)

Interactive commands (type one, then Enter; works from a pipe as well):

    N          choose entry N of the menu on the screen (e.g. 12; pick N too)
    o          open the accessory menu       b          back
    cancel     leave the menu at once (the newer phone's cancel key)
    l P        level answer, P in 0..100     i P        interim level (still moving)
    n N        number answer                 c N        list choice N (from 1)
    s on|off   on/off answer (or 1|0)        t TEXT     text answer (any script)
    r          reject (close the dialog)     a          abort the dialog
    d          phone away / back (DSR)       ! LINE     any phone control command
    ring       a call rings                  answer     the call is answered
    hangup     the calls end
    k KEY      press a key (e.g. k >, k 6, k :J)   hold KEY MS   hold it down MS ms
    away S     the phone goes out of reach for S seconds (silent, its port
               still open, as a Bluetooth phone carried off); return  back now
  the player's side (its own buttons, as its user presses them):
    next       next track                    prev       previous track
    play N     play track N (from 1)         end        the playing track ends
    shuffle    toggle shuffle                repeat     toggle repeat
    (empty)    show the screen again         h          this help
    q          quit (end of input quits too)

After every command the phone's screen is shown with the player's state
(from the stand-in player's `status`) beside it. A text is typed in UTF-8 and
the phone sends it in the character set it agreed with the plug-in (a
character that set lacks as "?"); a command that goes wrong says so in one
line.
"""

from __future__ import annotations

import argparse
import json
import re
import sys
import textwrap
import time
import unicodedata
from pathlib import Path
from typing import Dict, List, Optional, Sequence

from session import NEWER_SETUP_COMMANDS, SAMPLE_MENU, SETUP_COMMANDS, Session, win_path

WIDTH = 36  # inside the phone's box
STEP_TIMEOUT = 5.0  # what the phone or the player must do, per action


class TourFailed(Exception):
    pass


def say(text: str = "") -> None:
    print(text, flush=True)


def visible(text: str) -> str:
    return text.replace("\r", "<CR>").replace("\n", "<LF>")


def without_time(line: str) -> str:
    return re.sub(r" t=\d+$", "", line)


LOG_FIELD = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|\S+)|(\S+)')


def log_fields(line: str) -> Dict[str, str]:
    """The KEY=VALUE fields of a host log line, quoted texts unescaped."""
    fields = {}
    for key, value, _ in LOG_FIELD.findall(line):
        if not key:
            continue
        if value.startswith('"'):
            value = re.sub(r'\\x([0-9A-Fa-f]{2})|\\(.)',
                           lambda m: chr(int(m.group(1), 16)) if m.group(1) else m.group(2),
                           value[1:-1])
        fields[key] = value
    return fields


def host_event(line: str) -> Optional[str]:
    """The part of a host log line worth showing beside the phone: what the
    player was told to do and what changed, and what a supplier of menus saw."""
    line = without_time(line)
    if line.startswith("player "):
        return "player          " + line[len("player "):]
    if line.startswith("plugin sample ") and not line.startswith("plugin sample layout"):
        return "sample plug-in  " + line[len("plugin sample "):]
    if line.startswith("advance "):
        f = log_fields(line)
        return "player          %s: next entry %s (by %s; asked, answered %s)" % (
            f.get("cause"), f.get("entry"), f.get("by"), f.get("answer"))
    if line.startswith("msg ") and "msg=WM_COMMAND" in line:
        f = log_fields(line)
        return "player          WM_COMMAND %s (%s, %s)" % (f.get("name", "?"), f.get("wparam"),
                                                          f.get("kind"))
    return None


def cells(text: str) -> int:
    """The terminal columns `text` takes: wide characters (Japanese) two."""
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


class Tour:
    """One session of the player and the phone, shown as the user sees it."""

    # With a Charset setting: titles reach the phone in Unicode, while the
    # player's status shows its ANSI title.
    unicode = False
    # The phone speaks only the newer accessory commands (--phone newer).
    newer = False

    @staticmethod
    def generation() -> str:
        return "newer" if Tour.newer else "older"

    def __init__(self, session: Session):
        self.s = session
        self.shown_rx = 0
        self.shown_events = 0
        self.shown_host = 0
        self.status: Dict[str, str] = {}
        self.dsr = True  # the phone is there once attached; "d" takes it away and back

    # --- what the phone and the player show ---
    def screen(self) -> dict:
        start = len(self.s.phone_events.snapshot())
        self.s.phone_cmd("screen")
        for e in reversed(self.s.phone_events.snapshot()[start:]):
            if e.get("ev") == "screen":
                return e["screen"]
        raise TourFailed("the phone did not report its screen")

    def menu(self) -> dict:
        menu = self.screen().get("menu")
        if not menu:
            raise TourFailed("no menu on the phone's screen")
        return as_shown(menu)

    def player(self) -> Dict[str, str]:
        """The stand-in player's state. Its log is in order, so every line an
        earlier action caused is in before the status line is."""
        mark = len(self.s.host_lines.snapshot())
        self.s.host_cmd("status")
        line = self.s.wait_host(r"^status ", STEP_TIMEOUT, mark)
        if line is None:
            raise TourFailed("the player did not report its state")
        self.status = log_fields(line)
        return self.status

    def news(self) -> List[str]:
        """What the phone sent, the player did and the phone received since
        the last call, one line each."""
        lines = []
        events = self.s.phone_events.snapshot()
        for e in events[self.shown_events:]:
            if e.get("ev") == "away":
                lines.append("phone           " + ("out of reach" if e.get("on") else
                                                   "within reach again"))
            if e.get("ev") == "tx" and e["bytes"].strip().startswith(
                    ("*EA", "*SEAAI", "*SEGUII", "*ECAV", "+CKEV")):
                sent = e["bytes"].strip()
                lines.append("phone sends     " + visible(wire_text(sent) if self.unicode else sent))
        self.shown_events = len(events)
        host = self.s.host_lines.snapshot()
        for line in host[self.shown_host:]:
            shown = host_event(line)
            if shown:
                lines.append(shown)
        self.shown_host = len(host)
        rx = self.s.received()
        for command in rx[self.shown_rx:]:
            lines.append("phone received  " + (wire_text(command) if self.unicode else command))
        self.shown_rx = len(rx)
        return lines

    def show_news(self) -> None:
        for line in self.news():
            say("  " + line)

    def phone_box(self, screen: dict) -> List[str]:
        lines = ["+" + "-" * (WIDTH + 2) + "+"]

        def row(text: str, indent: int = 0) -> None:
            room = WIDTH - indent
            if cells(text) > room:
                while cells(text) > room - 1:
                    text = text[:-1]
                text += "~"
            lines.append("| " + " " * indent + text + " " * (room - cells(text)) + " |")

        row("accessory menu: %s" % (screen.get("accessory") or "(none)"))
        # Once a character set is selected, the texts as the phone shows them.
        menu, dialog = as_shown(screen.get("menu")), as_shown(screen.get("dialog"))
        if not menu and not dialog:
            row("(no menu on the screen)")
        if menu:
            row("")
            if dialog:
                row(menu["title"])
                row("(its entries, under the dialog)", 1)
            else:
                row("%s  (%d/%d)" % (menu["title"], menu["selected"], menu["count"]))
                for i, entry in enumerate(menu["entries"], 1):
                    row("%s%2d %s" % (">" if i == menu["selected"] else " ", i, entry))
                if not menu.get("countMatches", True):
                    row("(announced %d entries)" % menu["count"])
        if dialog:
            inner = WIDTH - 4
            lines.append("|  +" + "-" * inner + "+  |")
            for text in self.dialog_rows(dialog, inner - 2):
                row("| " + text.ljust(inner - 2)[:inner - 2] + " |", 1)
            lines.append("|  +" + "-" * inner + "+  |")
        for call in screen.get("calls") or []:
            row("")
            row("call %d: %s %s" % (call["id"], call["state"], call["number"]))
        lines.append("+" + "-" * (WIDTH + 2) + "+")
        return lines

    @staticmethod
    def dialog_rows(d: dict, width: int) -> List[str]:
        kind = d.get("kind", "?")
        rows = ["%s: %s" % (kind, d.get("title", ""))]
        if kind == "notice":
            rows += textwrap.wrap(d.get("text", ""), width) or [""]
        elif kind == "level":
            steps, value = int(d.get("steps", 0)), int(d.get("value", 0))
            rows.append("[%s%s] %d of %d" % ("#" * value, "-" * max(0, steps - value), value, steps))
        elif kind == "list":
            for i, label in enumerate(d.get("labels", []), 1):
                rows.append("%s %d %s" % ("(*)" if i == d.get("value") else "( )", i, label))
        elif kind == "onoff":
            on = bool(d.get("value"))
            rows.append("%s Off   %s On" % ("( )" if on else "(*)", "(*)" if on else "( )"))
        elif kind == "number":
            rows.append("%s (%s-%s)" % (d.get("prompt", ""), d.get("min"), d.get("max")))
            rows.append("[%s]" % d.get("value"))
        elif kind == "text":
            rows.append("%s (up to %s)" % (d.get("prompt", ""), d.get("maxLength")))
            rows.append("[%s]" % d.get("text", ""))
        elif kind == "hold":
            rows.append("(blank: the keys drive the player)")
        return [r if len(r) <= width else r[:width - 1] + "~" for r in rows]

    def player_panel(self) -> List[str]:
        st = self.status
        entries = int(st.get("entries", 0))
        lines = ["the player (status)"]
        if entries:
            lines.append("  track   %d of %d" % (int(st.get("position", 0)) + 1, entries))
            # The player's ANSI title, as the host's log carries its bytes.
            title = st.get("title", "").encode("latin-1", "replace").decode("cp1252", "replace")
            lines.append('          "%s"' % title)
        else:
            lines.append("  track   (empty playlist)")
        lines.append("  volume  %s of 255" % st.get("volume", "?"))
        lines.append("  state   %s" % st.get("state", "?"))
        lines.append("  video   %s" % st.get("video", "?"))
        lines.append("  modes   shuffle %s, repeat %s" % (st.get("shuffle", "?"),
                                                        st.get("repeat", "?")))
        lines.append("  rating  %s" % st.get("rating", "?"))
        return lines

    def show(self) -> None:
        """The phone's screen with the player's state beside it."""
        self.player()
        self.show_news()
        box, panel = self.phone_box(self.screen()), self.player_panel()
        for i in range(max(len(box), len(panel) + 1)):
            left = box[i] if i < len(box) else ""
            right = panel[i - 1] if 0 < i <= len(panel) else ""
            say((left + " " * (WIDTH + 4 - cells(left)) + "   " + right).rstrip())

    # --- the user's actions ---
    def act(self, command: str, what: str, expect_rx: int = 1,
            host: Sequence[str] = (), show: bool = True) -> List[str]:
        """The user does `command` on the phone; waits for the commands the
        plug-in sends for it (expect_rx) and host lines matching `host`.
        show: the screen and the player after it, or only what happened."""
        self.show_news()  # anything that happened before the user acts comes first
        say("  user            %s" % what)
        rx_before = len(self.s.received())
        host_mark = len(self.s.host_lines.snapshot())
        self.s.phone_cmd(command)
        if Tour.newer:
            got = self.newer_commands(rx_before, expect_rx)
        else:
            got = self.s.wait_received(rx_before + expect_rx, STEP_TIMEOUT)[rx_before:]
        if len(got) < expect_rx:
            self.show_news()
            raise TourFailed("after %r the phone received %d command(s), not %d"
                             % (command, len(got), expect_rx))
        for pattern in host:
            if self.s.wait_host(pattern, STEP_TIMEOUT, host_mark) is None:
                self.show_news()
                raise TourFailed("after %r the player log has no line like %r"
                                 % (command, pattern))
        if show:
            self.show()
        else:
            self.player()
            self.show_news()
        return got

    def newer_commands(self, rx_before: int, count: int) -> List[str]:
        """On the newer phone: the commands the action brought, deletions and
        sessions not counted, once the object each new one replaces is gone."""
        deadline = time.monotonic() + STEP_TIMEOUT
        got: List[str] = []
        while time.monotonic() < deadline:
            got = [c for c in self.s.received()[rx_before:] if not NEWER_HOUSEKEEPING.match(c)]
            if len(got) >= count and self.s.objects() <= 1:
                break
            time.sleep(0.05)
        return got

    def choose(self, prefix: str, what: str = "", **kw) -> str:
        """Chooses the first entry on the screen whose label starts with
        `prefix`; returns the label."""
        entries = self.menu()["entries"]
        for i, label in enumerate(entries, 1):
            if label.startswith(prefix):
                self.act("choose %d" % i, 'chooses %d "%s"%s' % (i, label, what), **kw)
                return label
        raise TourFailed("no entry %r on the page %r" % (prefix, entries))

    def dialog(self, kind: str) -> dict:
        dialog = self.screen().get("dialog")
        if not dialog or dialog.get("kind") != kind:
            raise TourFailed("expected a %s dialog on the phone, found %r" % (kind, dialog))
        return dialog

    def expect(self, condition: bool, what: str) -> None:
        if not condition:
            raise TourFailed(what)

    # --- start and end ---
    def attach(self) -> None:
        """DSR on: the plug-in finds the phone and sets it up."""
        self.s.phone_cmd("dsr on")
        if not self.s.wait_connected(30):
            raise TourFailed("the plug-in did not connect")
        got = self.s.wait_received(len(setup_commands()), STEP_TIMEOUT)
        self.expect(len(got) >= len(setup_commands()), "the set-up did not reach the phone")
        self.show()

    def show_host(self, pattern: str) -> None:
        """The host's lines so far that match, as they are."""
        host = self.s.host_lines.snapshot()
        for line in host:
            if re.match(pattern, line):
                say("  host            %s" % without_time(line))
        self.shown_host = len(host)

    def quit_player(self) -> None:
        if self.s.quit_plugin() is None:
            raise TourFailed("the plug-in was not unloaded")
        self.show_host(r"^(quit|unloaded)(?! companion)")


# What the newer set sends besides the objects themselves.
NEWER_HOUSEKEEPING = re.compile(r"^AT\*SE(DEL|UIS)=")


def setup_commands() -> List[str]:
    return NEWER_SETUP_COMMANDS if Tour.newer else SETUP_COMMANDS


def heading(text: str) -> None:
    say()
    say("== " + text)


def built_in_menu(s: Session, track: int, target: int) -> None:
    """Quillet on its own: the built-in menu walked from end to end."""
    tour = Tour(s)
    heading("1. The player loads gen_quillet.dll")
    tour.show_host(r"^(record|init|msg .*name=register )")
    say("  * The phone is attached (DSR on); the plug-in sets it up:")
    tour.attach()

    heading("2. The user opens the Winamp accessory menu")
    tour.act("open", "opens the accessory menu")
    labels = tour.menu()["entries"]
    for prefix in ("Prev: ", "Next: ", "Go to track: ", "Volume: "):
        tour.expect(any(l.startswith(prefix) for l in labels), "no %r entry" % prefix)

    heading("3. Next track, then Play")
    before = tour.status["position"]
    label = tour.choose("Next: ", host=[r"^player position="])
    title = label[len("Next: "):]
    tour.expect(tour.status["position"] != before and
                (tour.status["title"] == title or Tour.unicode),
                "the player is not at %r" % title)
    tour.choose("Play", host=[r"^player state=playing"])

    heading("4. Volume: a level dialog; the player's volume follows the slider")
    tour.choose("Volume: ")
    volume = tour.dialog("level")
    if Tour.newer:
        say("  * The newer phone reports only where the slider is left.")
        interim = tour.status["volume"]
    else:
        tour.act("interim 30", "moves the slider to 30% and holds it (interim 30)",
                 expect_rx=0, host=[r"^player volume="], show=False)
        say("  the player      volume %s of 255; the phone's dialog is %s" % (
            tour.status["volume"], "still open" if tour.screen().get("dialog") else "closed"))
        interim = tour.status["volume"]
    tour.act("level 60", "lets go at 60% (level 60)", host=[r"^player volume="])
    tour.expect(tour.status["volume"] != interim, "the final level did not reach the player")
    tour.expect(not tour.screen().get("dialog"), "the %s dialog stayed open" % volume["title"])

    heading("5. Go to track: a number dialog")
    tour.choose("Go to track: ")
    number = tour.dialog("number")
    # The newer set's number input has no range: the player keeps to its own.
    tour.expect(Tour.newer or int(number["min"]) <= track <= int(number["max"]),
                "track %d is outside the dialog's range" % track)
    tour.act("number %d" % track, "enters %d (number %d)" % (track, track),
             host=[r"^player position=%d\b" % (track - 1)])
    tour.expect(int(tour.status["position"]) == track - 1, "the player is not at track %d" % track)

    heading("6. The playlist: %s entries, walked by decimal groups to entry %d"
            % (tour.status["entries"], target))
    tour.choose("Playlist")
    wanted = "%d. " % target
    for _ in range(12):  # a few levels and a few pages at most
        entries = tour.menu()["entries"]
        chosen = next((e for e in entries if e.startswith(wanted)), None)
        if chosen:
            tour.choose(wanted, host=[r"^player position=%d\b" % (target - 1)])
            break
        group = next((e for e in entries if re.fullmatch(r"(\d+)-(\d+)", e)
                      and int(e.split("-")[0]) <= target <= int(e.split("-")[1])), None)
        if group:
            tour.choose(group, " (holds %d)" % target, show=False)
        elif ">>" in entries:
            tour.choose(">>", " (the next page)", show=False)
        else:
            raise TourFailed("entry %d is not reachable from %r" % (target, entries))
    else:
        raise TourFailed("the walk to entry %d did not end" % target)
    tour.expect(int(tour.status["position"]) == target - 1, "the player is not at %d" % target)

    heading("7. Now playing: the Track info notice")
    for _ in range(6):  # up the playlist's levels to the main menu
        if tour.menu()["title"] != "Playlist":
            break
        tour.act("back", "goes back", show=False)
    tour.show()
    tour.choose("Track info")
    tour.dialog("notice")
    tour.act("reject", "closes the notice (reject)")

    heading("8. The video window: an on/off dialog")
    tour.choose("Video window")
    tour.choose("Shown: ")
    tour.dialog("onoff")
    tour.act("switch on", "switches it on (switch on)", host=[r"^player video=on"])
    tour.expect(tour.status["video"] == "on", "the video window is not shown")

    heading("The player quits")
    tour.quit_player()


def supplied_menu(s: Session) -> None:
    """Beside another plug-in that supplies its menus through Quillet."""
    tour = Tour(s)
    heading("9. Another plug-in's menus: the player loads the sample menu plug-in, then Quillet")
    tour.show_host(r"^(record|init (companion )?returned|plugin sample registered)")
    say("  * The phone is attached again:")
    tour.attach()
    tour.act("open", "opens the accessory menu: the sample's main menu comes first")

    say("  * A list answer reaches the sample:")
    tour.choose("Colour: ")
    tour.dialog("list")
    tour.act("list 3", "picks the third colour (list 3)",
             host=[r"^plugin sample value_changed id=\d+ value=2\b"])
    say("  * A number answer:")
    tour.choose("Count: ")
    tour.dialog("number")
    tour.act("number 42", "enters 42 (number 42)",
             host=[r"^plugin sample value_changed id=\d+ value=42\b"])
    say("  * A text answer (the sample reads it from its buffer when its menu closes):")
    text = "Hello from the phone"
    tour.choose("Name: ")
    tour.dialog("text")
    tour.act("text " + text, 'types "%s" (text %s)' % (text, text),
             host=[r"^plugin sample value_changed id=\d+ "])
    say('  * Its "Player menu" entry leads to the built-in menu:')
    tour.choose("Player menu", host=[r'^plugin sample menu_closed menu=main .*text="%s"' % text])
    tour.expect(tour.menu()["title"] == "Winamp menu", "the built-in menu did not open")

    heading("10. The phone goes away and comes back")
    trace = s.trace()
    lost, got = trace.count("info: lost connection"), trace.count("info: got connection")
    rx_before = len(s.received())
    s.phone_cmd("dsr off")
    if not s.wait_trace("info: lost connection", 10, count=lost + 1):
        raise TourFailed("the plug-in did not notice the phone going away")
    say("  plug-in         lost connection, standing by")
    s.phone_cmd("dsr on")
    if not s.wait_trace("info: got connection", 10, count=got + 1):
        raise TourFailed("the plug-in did not connect again")
    say("  plug-in         connected again, sets the phone up again:")
    s.wait_received(rx_before + len(setup_commands()), STEP_TIMEOUT)
    tour.show_news()

    heading("The player quits")
    tour.quit_player()
    say("  plugin.ini      %s" % " | ".join(s.settings().split()))
    heading("Trace of the phone link (QUILLET_TRACE), its start")
    for line in s.trace().split("\r\n")[:40]:
        if line:
            say("  " + visible(line))


PAUSE_ON_CALL = ["PauseOnCall=1"]

# Titles in other scripts, for a tour with a Charset setting.
WORLD_TITLES = ["Caf\u00e9 \u2013 D\u00e9j\u00e0 Vu", "\u041a\u0438\u043d\u043e",
                "\u591c\u306e\u6b4c", "\u00dcber den Wolken",
                "\u0395\u03bb\u03bb\u03ac\u03b4\u03b1 \u2026"]


def wire_text(command: str) -> str:
    """A command as the rig read it (bytes as Latin-1), shown as UTF-8 where
    it is that."""
    try:
        return command.encode("latin-1").decode("utf-8")
    except UnicodeError:
        return command


def as_shown(part: Optional[dict]) -> Optional[dict]:
    """A menu or dialog of the screen with its texts as the phone shows them
    in the character set selected when it arrived."""
    if not part or "shown" not in part:
        return part
    return dict(part, **part["shown"])


def load_world_titles(s: Session, entries: int, around: Sequence[int]) -> None:
    """Gives the player `entries` titles in UTF-8 (the host runs with
    --utf8-titles), "Track N" but for titles in other scripts on the first
    entries and around each of `around` (1-based)."""
    titles = ["Track %d" % n for n in range(1, entries + 1)]
    spots = [n for centre in [1] + list(around) for n in range(centre - 2, centre + 3)]
    for i, n in enumerate(n for n in spots if 1 <= n <= entries):
        titles[n - 1] = WORLD_TITLES[i % len(WORLD_TITLES)]
    playlist = s.dir / "world.txt"
    playlist.write_bytes("\n".join(titles).encode("utf-8") + b"\n")
    mark = len(s.host_lines.snapshot())
    s.host_cmd("playlist " + win_path(playlist))
    if s.wait_host(r"^player entries=%d" % entries, STEP_TIMEOUT, mark) is None:
        raise TourFailed("the player did not load the playlist")


def calls_pause_the_music(s: Session, screen_json: Optional[str]) -> None:
    """With PauseOnCall=1 in plugin.ini: a ringing call pauses the player, and
    hanging up resumes it."""
    tour = Tour(s)
    heading("11. Calls pause the music: PauseOnCall=1 in plugin.ini")
    say("  * The phone is attached; after the set-up the plug-in asks it to report calls,")
    say("    and which calls are going on:")
    tour.attach()
    # On a newer phone the character set, auto there, comes after them.
    got = s.wait_received(len(setup_commands()) + 2, STEP_TIMEOUT)
    tour.expect("AT*ECAM=1" in got and got[got.index("AT*ECAM=1") + 1:][:1] == ["AT+CLCC"],
                "the plug-in did not ask for call reports")
    tour.show_news()
    tour.act("open", "opens the accessory menu")
    tour.choose("Play", host=[r"^player state=playing"])
    tour.act("call ring", "gets a call: the phone rings", expect_rx=0,
             host=[r"^player state=paused"])
    tour.expect(tour.status["state"] == "paused", "the ringing call did not pause the player")
    if screen_json:
        with open(screen_json, "w") as f:
            json.dump(tour.screen(), f, indent=1)
    tour.act("call answer", "answers it", expect_rx=0, show=False)
    tour.act("call hangup", "hangs up", expect_rx=0, host=[r"^player state=playing"])
    tour.expect(tour.status["state"] == "playing", "the end of the call did not resume")

    heading("The player quits")
    tour.quit_player()
    say("  plugin.ini      %s" % " | ".join(s.settings().split()))


REMOTE_KEYS = ["RemoteKeys=1"]


def remote_keys(s: Session) -> None:
    """With RemoteKeys=1 in plugin.ini: the main menu's last entry puts the
    key screen up; a key skips a track, a held key turns the volume down
    step by step, and NO brings the menu back."""
    tour = Tour(s)
    heading("12. The phone's keys as a remote: RemoteKeys=1 in plugin.ini")
    tour.attach()
    tour.act("open", "opens the accessory menu")
    got = tour.choose("Remote keys", " (the hold dialog, then key reports on)", expect_rx=2)
    # On the newer phone the screen is an alert, and the menu's page goes.
    screen = ('AT*SELERT="Keys drive the player.",4,1,"Remote keys"' if Tour.newer
              else 'AT*EAID=13,2,"Remote keys"')
    tour.expect(got == "Remote keys" and s.received()[-1] == "AT+CMER=3,2,0,0,0" and
                screen in s.received()[-3:], "the key screen did not open as it should")
    tour.dialog("notice" if Tour.newer else "hold")
    position = int(tour.status["position"])
    tour.act("k >", "presses right: next track", expect_rx=0,
             host=[r"^player position=%d\b" % (position + 1)])
    volume = int(tour.status["volume"])
    tour.act("hold v 1125", "holds down for about a second: softer, step by step",
             expect_rx=0, host=[r"^player volume=102\b"] if volume == 200 else [])
    tour.expect(int(tour.status["volume"]) < volume, "the held key did not turn the volume down")
    tour.act("reject", "presses NO: key reports off, the menu again", expect_rx=2)
    # The newer phone's alert is deleted after the page that replaces it.
    tour.expect(s.received()[-3 if Tour.newer else -2] == "AT+CMER=0,0,0,0,0",
                "the key reports were not turned off")

    heading("The player quits")
    tour.quit_player()
    say("  plugin.ini      %s" % " | ".join(s.settings().split()))


FIND_TRACK = ["FindTrack=1"]


def find_track(s: Session, entries: int) -> None:
    """With FindTrack=1 in plugin.ini: "Find track" takes a text typed plain,
    the page of matches shows the title with its accents, and choosing it
    plays it."""
    tour = Tour(s)
    heading("13. Find a track by name: FindTrack=1 in plugin.ini")
    spot = entries * 2 // 3 + 1
    titles = ["Track %d" % n for n in range(1, entries + 1)]
    titles[spot - 1] = WORLD_TITLES[0]
    playlist = s.dir / "find.txt"
    playlist.write_bytes("\n".join(titles).encode("utf-8") + b"\n")
    s.host_cmd("playlist " + win_path(playlist))
    tour.expect(s.wait_host(r"^player entries=%d" % entries, STEP_TIMEOUT) is not None,
                "the player did not load the playlist")
    say("  * Entry %d of %d is \"%s\"; the user types it without accents:"
        % (spot, entries, WORLD_TITLES[0]))
    tour.attach()
    tour.act("open", "opens the accessory menu")
    tour.choose("Find track")
    tour.dialog("text")
    tour.act("text deja vu", 'types "deja vu" and OK')
    label = "%d. %s" % (spot, WORLD_TITLES[0])
    tour.expect(tour.menu()["entries"] == [label], "the match is not on the page")
    tour.choose("%d. " % spot, host=[r"^player position=%d\b" % (spot - 1), r"^player state=playing"])
    tour.expect(tour.status["state"] == "playing", "the match does not play")

    heading("The player quits")
    tour.quit_player()
    say("  plugin.ini      %s" % " | ".join(s.settings().split()))


PLAY_MODES = ["PlayModes=1"]


def play_modes(s: Session) -> None:
    """With PlayModes=1 in plugin.ini: the main menu shows the player's
    shuffle, repeat and the current track's rating, read at every opening;
    the user turns shuffle on and gives the track four stars."""
    tour = Tour(s)
    heading("14. Shuffle, repeat and rating: PlayModes=1 in plugin.ini")
    tour.attach()
    tour.act("open", "opens the accessory menu")
    tour.choose("Shuffle: Off")
    tour.dialog("onoff")
    tour.act("switch on", "switches it on (switch on)", host=[r"^player shuffle=on"])
    tour.choose("Rating: ")
    tour.dialog("list")
    tour.act("list 5", 'chooses "4 stars" (list 5)', host=[r"^player rating=4"])
    tour.act("open", "opens it again: the entries are read from the player")
    entries = tour.menu()["entries"]
    tour.expect("Shuffle: On" in entries and "Rating: 4 stars" in entries,
                "the player did not keep shuffle or the rating: %r" % entries)

    heading("The player quits")
    tour.quit_player()
    say("  plugin.ini      %s" % " | ".join(s.settings().split()))


LIBRARY = ["Library=1"]
SAMPLE_LIBRARY = Path(__file__).resolve().parents[2] / "tools" / "host" / "sample_library.txt"


def media_library(s: Session) -> None:
    """With Library=1 in plugin.ini: the user walks the player's media
    library from its artists to an album and puts the album next, then
    searches the library and plays a track now."""
    tour = Tour(s)
    heading("15. The media library: Library=1 in plugin.ini")
    tour.attach()
    tour.act("open", "opens the accessory menu")
    tour.choose("Library")
    tour.choose("Artists")
    tour.choose("Fleetwood Mac")
    tour.choose("Rumours")
    tour.choose("Play next", host=[r"^playlist insert index=1 "])
    tour.expect(tour.screen().get("dialog", {}).get("text", "").startswith("Next: Rumours"),
                "no notice of the album put next")
    tour.act("reject", "closes the notice")
    for page in ("the artist", "the artists", "the library's page"):
        tour.act("back", "goes back to " + page)
    tour.choose("Search library")
    tour.dialog("text")
    tour.act("text rumours", 'types "rumours" and OK')
    tour.choose("Fleetwood Mac - The Chain")
    tour.choose("Play now", host=[r"^player state=playing"])
    tour.expect(tour.status["state"] == "playing", "the track does not play")

    heading("The player quits")
    tour.quit_player()
    say("  plugin.ini      %s" % " | ".join(s.settings().split()))


FOLLOW_TRACK = ["FollowTrack=1"]


def follow_track(s: Session) -> None:
    """With FollowTrack=1 in plugin.ini: the player's own user skips a track
    while the main menu is on the phone, and the menu follows without the
    phone asking."""
    tour = Tour(s)
    heading("16. The menu follows the playing track: FollowTrack=1 in plugin.ini")
    tour.attach()
    tour.act("open", "opens the accessory menu")
    shown = tour.menu()["entries"]
    say("  * The player's own user presses Next; the phone says nothing:")
    rx_before = len(s.received())
    s.host_cmd("next")
    if Tour.newer:
        got = tour.newer_commands(rx_before, 1)
    else:
        got = s.wait_received(rx_before + 1, STEP_TIMEOUT)[rx_before:]
    tour.expect(len(got) >= 1, "the main menu was not sent again")
    tour.show()
    following = tour.menu()["entries"]
    tour.expect(following[:2] != shown[:2] and following[1].startswith("Next: "),
                "the phone's main menu did not follow the track")


PAUSE_WHEN_AWAY = ["PauseWhenAway=1"]
AWAY_S = 25


def phone_walks_away(s: Session) -> None:
    """With PauseWhenAway=1 in plugin.ini: the phone goes out of reach with
    its port still open; unanswered twice, it is gone and the playing player
    pauses; back and set up again, the music plays on."""
    tour = Tour(s)
    heading("17. Pause when the phone goes away: PauseWhenAway=1 in plugin.ini")
    tour.attach()
    tour.act("open", "opens the accessory menu")
    tour.choose("Play", host=[r"^player state=playing"])
    tour.show_news()
    say("  user            walks off with the phone for %d s (the port stays open, DSR on)"
        % AWAY_S)
    mark = len(s.host_lines.snapshot())
    s.phone_away(AWAY_S)
    tour.expect(s.wait_host(r"^player state=paused", 40, mark) is not None,
                "the player did not pause while the phone was away")
    tour.show_news()
    say("  plug-in         asked \"AT\" after 10 s of silence and again 10 s later, "
        "unanswered: the phone is gone")
    tour.show()
    tour.expect(s.wait_phone_back(AWAY_S + 10), "the phone did not come back")
    tour.expect(s.wait_host(r"^player state=playing", 30, mark) is not None,
                "the music did not play on once the phone was back")
    tour.show_news()
    say("  plug-in         its next \"AT\" answered: the phone set up again, the music on")
    tour.show()

    heading("The player quits")
    tour.quit_player()
    say("  plugin.ini      %s" % " | ".join(s.settings().split()))


def scripted(entries: int, pause_on_call: bool = False,
             screen_json: Optional[str] = None, charset: Optional[str] = None,
             keys: bool = False, find: bool = False, modes: bool = False,
             follow: bool = False,
             away: bool = False, library: bool = False) -> int:
    target = 3217 if entries >= 3217 else max(1, entries * 3 // 4)
    track = min(42, entries)
    began = time.monotonic()
    ini_lines = ["Charset=" + charset] if charset else []
    Tour.unicode = bool(charset)
    host_args = ["--utf8-titles"] if charset else []
    try:
        with Session(generation=Tour.generation(), dsr=False, entries=entries,
                     ini_lines=ini_lines, host_args=host_args) as s:
            try:
                if charset:
                    load_world_titles(s, entries, [track, target])
                built_in_menu(s, track, target)
            except (TourFailed, RuntimeError) as e:
                return failed(s, e)
        with Session(generation=Tour.generation(), dsr=False, companions=[SAMPLE_MENU]) as s:
            try:
                supplied_menu(s)
            except (TourFailed, RuntimeError) as e:
                return failed(s, e)
        if pause_on_call:
            with Session(generation=Tour.generation(), dsr=False, ini_lines=PAUSE_ON_CALL) as s:
                try:
                    calls_pause_the_music(s, screen_json)
                except (TourFailed, RuntimeError) as e:
                    return failed(s, e)
        if keys:
            with Session(generation=Tour.generation(), dsr=False, ini_lines=REMOTE_KEYS,
                         host_args=["--state", "playing", "--volume", "200"]) as s:
                try:
                    remote_keys(s)
                except (TourFailed, RuntimeError) as e:
                    return failed(s, e)
        if find:
            Tour.unicode = True
            with Session(generation=Tour.generation(), dsr=False, entries=entries,
                         ini_lines=FIND_TRACK + ["Charset=auto"],
                         host_args=["--utf8-titles"]) as s:
                try:
                    find_track(s, entries)
                except (TourFailed, RuntimeError) as e:
                    return failed(s, e)
        if library:
            with Session(generation=Tour.generation(), dsr=False, entries=10,
                         ini_lines=LIBRARY,
                         host_args=["--library", win_path(SAMPLE_LIBRARY)]) as s:
                try:
                    media_library(s)
                except (TourFailed, RuntimeError) as e:
                    return failed(s, e)
        # The scenes of the boxes that need nothing but their line in
        # plugin.ini and a player in a given state.
        scenes = [
            (modes, PLAY_MODES, ["--state", "playing"], play_modes),
            (follow, FOLLOW_TRACK, ["--state", "playing"], follow_track),
            (away, PAUSE_WHEN_AWAY, [], phone_walks_away),
        ]
        for wanted, scene_ini, scene_args, scene in scenes:
            if not wanted:
                continue
            with Session(generation=Tour.generation(), dsr=False, ini_lines=scene_ini,
                         host_args=scene_args) as s:
                try:
                    scene(s)
                except (TourFailed, RuntimeError) as e:
                    return failed(s, e)
    except RuntimeError as e:  # a session that did not start
        say("!! %s" % e)
        return 1
    say()
    say("== The tour took %.1f s" % (time.monotonic() - began))
    return 0


def failed(s: Session, error: Exception) -> int:
    say("!! %s" % error)
    say("!! the end of the plug-in's trace:")
    for line in s.trace().split("\r\n")[-30:]:
        if line:
            say("!!   " + visible(line))
    return 1


HELP = __doc__[__doc__.index("    N "):__doc__.index("After every")].rstrip()

ANSWERS = {"l": "level", "i": "interim", "n": "number", "c": "list", "s": "switch", "t": "text"}
SIMPLE = {"o": "open", "b": "back", "r": "reject", "a": "abort"}


def interactive(s: Session) -> int:
    # Typed bytes that are not UTF-8 get a message of their own (run_line),
    # not an error from input().
    if hasattr(sys.stdin, "reconfigure"):
        sys.stdin.reconfigure(errors="surrogateescape")
    tour = Tour(s)
    say("Commands, one per line:\n" + HELP)
    try:
        tour.attach()
    except TourFailed as e:
        return failed(s, e)
    while True:
        try:
            line = input("> ")
        except (EOFError, KeyboardInterrupt):
            say()
            break
        if not sys.stdin.isatty():
            say(readable(line))  # echo what came from a pipe, so the output reads as a session
        try:
            if not run_line(s, tour, line):
                break
        except Exception as e:  # whatever a typed line brings: one line, and on
            say("?? %s: %s" % (shown_line(line), one_line(e)))
    try:
        tour.quit_player()
    except TourFailed as e:
        say("!! %s" % e)
        return 1
    return 0


def readable(line: str) -> str:
    """A typed line with the bytes that were not UTF-8 (read as lone
    surrogates) in hex."""
    return line.encode("utf-8", "surrogateescape").decode("utf-8", "backslashreplace")


def shown_line(line: str) -> str:
    """A typed line as the messages quote it."""
    return repr(readable(line))


def one_line(error: Exception) -> str:
    text = " ".join(str(error).split()) or type(error).__name__
    return text if len(text) <= 200 else text[:199] + "~"


def phone_command(word: str, rest: str, tour: Tour) -> Optional[str]:
    """The phone's control command for a typed one; "" for none (the screen
    again), None when it is not one of the commands."""
    if word == "":
        return ""
    if word.isdigit() and not rest:
        return "choose " + word
    if word == "pick" and rest.isdigit():
        return "pick " + rest
    if word == "cancel" and not rest:
        return "cancel"
    if word in SIMPLE and not rest:
        return SIMPLE[word]
    if word in ANSWERS and rest:
        return "%s %s" % (ANSWERS[word], rest)
    if word == "!" and rest:
        return rest
    if word.startswith("!") and len(word) > 1:
        return (word[1:] + " " + rest).strip()
    if word == "d" and not rest:
        tour.dsr = not tour.dsr
        return "dsr on" if tour.dsr else "dsr off"
    if word in ("ring", "answer", "hangup") and not rest:
        return "call " + word
    if word in ("k", "key", "hold") and rest:
        return "%s %s" % (word, rest)
    return None


# The player's side: the typed word and the stand-in player's command.
PLAYER = {"next": "next", "prev": "previous", "end": "end", "shuffle": "shuffle",
          "repeat": "repeat"}


def player_command(word: str, rest: str) -> Optional[str]:
    """The stand-in player's command for a typed one, or None."""
    if word in PLAYER and not rest:
        return PLAYER[word]
    if word == "play" and rest.isdigit() and int(rest) >= 1:
        return "play %d" % (int(rest) - 1)
    return None


def run_player(s: Session, line: str, command: str) -> None:
    """The player's user does `command`; says so if the player refused it."""
    mark = len(s.host_lines.snapshot())
    s.host_cmd(command)
    settled = s.settle_host()[mark:]
    refusal = next((l for l in settled if l.startswith("error ")), None)
    if refusal:
        say("?? %s: %s" % (shown_line(line), log_fields(refusal).get("reason", refusal)))


def run_away(s: Session, line: str, rest: str) -> None:
    try:
        seconds = float(rest)
    except ValueError:
        seconds = 0
    if not 0 < seconds <= 3600:
        say("?? %s: away takes seconds, up to 3600" % shown_line(line))
        return
    s.phone_away(seconds)
    say("  phone           out of reach for %g s: it hears nothing and says nothing, "
        "its port still open" % seconds)


def run_line(s: Session, tour: Tour, line: str) -> bool:
    """Carries out one typed line; false once the user quits."""
    if any("\udc80" <= c <= "\udcff" for c in line):
        say("?? %s: not UTF-8 text" % shown_line(line))
        return True
    word, _, rest = line.strip().partition(" ")
    rest = rest.strip()
    if word == "q":
        return False
    if word in ("h", "?"):
        say(HELP)
        return True
    player = player_command(word, rest)
    if player is not None or word in ("away", "return"):
        if player is not None:
            run_player(s, line, player)
        elif word == "away":
            run_away(s, line, rest)
        else:
            s.phone_return()
        time.sleep(0.3)  # what the plug-in does about it
        try:
            tour.show()
        except (TourFailed, RuntimeError) as e:
            say("?? %s" % one_line(e))
        return True
    command = phone_command(word, rest, tour)
    if command is None:
        say("?? %s: type h for the commands" % shown_line(line))
        return True
    if command:
        rx_before = len(s.received())
        events_before = len(s.phone_events.snapshot())
        connections = s.trace().count("info: got connection")
        losses = s.trace().count("info: lost connection")
        try:
            s.phone_cmd(command)
        except RuntimeError as e:
            # The phone's own word for a command it refused, else the rig's.
            refusal = s.phone_events.wait(lambda e: e.get("ev") == "error", 0, events_before)
            say("?? %s: %s" % (shown_line(line), refusal["msg"] if refusal else one_line(e)))
            return True
        if command == "dsr on":
            back = s.wait_trace("info: got connection", 10, count=connections + 1)
            say("  plug-in         %s" % ("connected again" if back else
                                          "not connected yet (it looks again later)"))
        elif command == "dsr off":
            gone = s.wait_trace("info: lost connection", 10, count=losses + 1)
            say("  plug-in         %s" % ("lost connection, standing by" if gone else
                                          "has not noticed yet"))
        # A reply comes within a few tenths; some answers (interim levels,
        # leaving the top menu) bring none.
        deadline = time.monotonic() + 1.5
        while time.monotonic() < deadline and len(s.received()) == rx_before:
            time.sleep(0.05)
        time.sleep(0.2)
    try:
        tour.show()
    except (TourFailed, RuntimeError) as e:
        say("?? %s" % one_line(e))
    return True


def main() -> int:
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        epilog=__doc__[__doc__.index("Interactive commands"):],
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--interactive", action="store_true",
                        help="drive the phone yourself, one command per line")
    parser.add_argument("--entries", type=int, default=4321,
                        help="entries in the player's playlist (default 4321)")
    parser.add_argument("--sample", action="store_true",
                        help="interactive: load the sample menu plug-in beside it")
    parser.add_argument("--pause-on-call", action="store_true",
                        help="PauseOnCall=1: calls pause the music (scripted: a call scene)")
    parser.add_argument("--charset", metavar="SET",
                        help="Charset=SET in plugin.ini (auto, UTF-8 or 8859-1) and a "
                             "playlist with titles in other scripts")
    parser.add_argument("--remote-keys", action="store_true",
                        help="RemoteKeys=1: the phone's keys as a remote (scripted: a key scene)")
    parser.add_argument("--phone", choices=("older", "newer"), default="older",
                        help="the phone's accessory commands: older (*EA, default) or newer "
                             "(*SE objects only, the menu under Entertainment)")
    parser.add_argument("--find", action="store_true",
                        help="FindTrack=1: find tracks by name (scripted: a title with accents)")
    parser.add_argument("--play-modes", action="store_true",
                        help="PlayModes=1: shuffle, repeat and rating in the main menu "
                             "(scripted: shuffle on and a rating)")
    parser.add_argument("--library", action="store_true",
                        help="Library=1 and the sample media library (scripted: an album put "
                             "next, a found track played now)")
    parser.add_argument("--follow", action="store_true",
                        help="FollowTrack=1: the main menu follows the playing track "
                             "(scripted: the player skips a track while the menu is up)")
    parser.add_argument("--away", action="store_true",
                        help="PauseWhenAway=1: a phone gone silent pauses the music (scripted: "
                             "the phone out of reach and back)")
    parser.add_argument("--screen-json", metavar="PATH",
                        help="with --pause-on-call: keep the phone's screen while it rings")
    options = parser.parse_args()
    # Titles and typed texts in any script, whatever the terminal can show.
    if hasattr(sys.stdout, "reconfigure"):
        sys.stdout.reconfigure(errors="backslashreplace")
    Tour.newer = options.phone == "newer"
    if options.entries < 1:
        parser.error("--entries must be at least 1")
    if not options.interactive:
        return scripted(options.entries, options.pause_on_call, options.screen_json,
                        options.charset, options.remote_keys, options.find,
                        options.play_modes, options.follow, options.away,
                        options.library)
    companions = [SAMPLE_MENU] if options.sample else []
    ini_lines = (PAUSE_ON_CALL if options.pause_on_call else []) + (
        REMOTE_KEYS if options.remote_keys else []) + (FIND_TRACK if options.find else []) + (
        PLAY_MODES if options.play_modes else []) + (
        FOLLOW_TRACK if options.follow else []) + (
        PAUSE_WHEN_AWAY if options.away else []) + (
        LIBRARY if options.library else [])
    host_args = ["--utf8-titles"] if options.charset else []
    if options.library:
        host_args += ["--library", win_path(SAMPLE_LIBRARY)]
    if options.charset:
        ini_lines = ini_lines + ["Charset=" + options.charset]
        Tour.unicode = True
    with Session(generation=Tour.generation(), dsr=False, entries=options.entries,
                 companions=companions,
                 ini_lines=ini_lines, host_args=host_args) as s:
        if options.charset:
            load_world_titles(s, options.entries, [1])
        return interactive(s)


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        # Ctrl-C ends the tour as "q" does; the session has closed by now.
        print()
        sys.exit(130)
