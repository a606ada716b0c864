#!/usr/bin/env python3
"""The main job: the real gen_quillet.dll in the stand-in player under Wine,
with the simulated phone on a pty, shown as a short scripted tour of what the
phone shows and what the player does.

    tour.py               the scripted tour
    tour.py --interactive drive the phone yourself: digits choose an entry,
                          o opens the accessory menu, b goes back, d toggles
                          DSR, q quits
"""

from __future__ import annotations

import argparse
import collections
import re
import select
import sys
import termios
import time
import tty

from session import Session


def say(text: str) -> None:
    print(text, flush=True)


def visible(text: str) -> str:
    return text.replace("\r", "<CR>").replace("\n", "<LF>")


class Tour:
    def __init__(self, session: Session):
        self.s = session
        self.shown_rx = 0
        self.shown_host = 0

    def phone_screen(self) -> str:
        events = [e for e in self.s.phone_events.snapshot()
                  if e.get("ev") in ("accessory", "menu", "dialog", "dialog-closed", "menu-left")]
        accessory = None
        menu = None
        dialog = None
        for e in events:
            if e["ev"] == "accessory":
                accessory = e["title"]
            elif e["ev"] == "menu":
                menu, dialog = e["menu"], None
            elif e["ev"] == "dialog":
                dialog = e["dialog"]
            else:
                screen = e.get("screen") or {}
                menu, dialog = screen.get("menu"), screen.get("dialog")
        lines = ["+--------------------------------+"]
        lines.append("| accessory menu: %-15s |" % (accessory or "(none)")[:15])
        if menu:
            lines.append("| %-30s |" % menu["title"][:30])
            for i, entry in enumerate(menu["entries"], 1):
                mark = ">" if i == menu["selected"] else " "
                lines.append("| %s%2d %-27s |" % (mark, i, entry[:27]))
        if dialog:
            lines.append("| [%s] %-24s |" % (dialog["kind"], dialog.get("title", "")[:24]))
        lines.append("+--------------------------------+")
        return "\n".join(lines)

    def news(self, show=say) -> None:
        """What the phone received and what the player did since last time."""
        rx = self.s.received()
        for command in rx[self.shown_rx:]:
            show("  phone received  %s" % command)
        self.shown_rx = len(rx)
        host = self.s.host_lines.snapshot()
        for line in host[self.shown_host:]:
            if re.match(r"^(player |msg .*msg=WM_COMMAND)", line):
                show("  player          %s" % re.sub(r" t=\d+$", "", line))
        self.shown_host = len(host)

    def settle(self, seconds: float = 1.0) -> None:
        time.sleep(seconds)
        self.news()


def scripted(s: Session) -> int:
    tour = Tour(s)
    say("== The player loads gen_quillet.dll")
    for line in s.host_log().splitlines():
        if re.match(r"^(record|init|msg .*name=register)", line):
            say("  host            %s" % re.sub(r" t=\d+$", "", line))
    say("== The phone is attached (DSR on); the plug-in sets it up")
    s.phone_cmd("dsr on")
    if not s.wait_connected(30):
        say("!! the plug-in did not connect; trace:\n" + s.trace())
        return 1
    tour.settle(0.5)
    say(tour.phone_screen())
    say("== The user opens the Winamp accessory menu")
    s.phone_cmd("open")
    tour.settle(1.5)
    say(tour.phone_screen())
    say("== The phone goes away and comes back")
    reconnections = s.trace().count("info: got connection")
    s.phone_cmd("dsr off")
    s.wait_trace("info: lost connection", 10)
    say("  plug-in         lost connection, standing by")
    s.phone_cmd("dsr on")
    s.wait_trace("info: got connection", 10, count=reconnections + 1)
    say("  plug-in         connected again")
    tour.settle(0.5)
    say("== The player quits")
    s.quit_plugin()
    for line in s.host_log().splitlines():
        if re.match(r"^(quit|unloaded)", line):
            say("  host            %s" % re.sub(r" t=\d+$", "", line))
    say("  plugin.ini      %s" % " | ".join(s.settings().split()))
    say("== Trace of the phone link (QUILLET_TRACE)")
    for line in s.trace().split("\r\n")[:40]:
        if line:
            say("  " + visible(line))
    return 0


def interactive(s: Session) -> int:
    tour = Tour(s)
    say("digits: choose entry, o: open accessory menu, b: back, d: toggle DSR, q: quit")
    dsr = True
    s.phone_cmd("dsr on")
    recent = collections.deque(maxlen=12)
    fd = sys.stdin.fileno()
    old = termios.tcgetattr(fd)
    try:
        tty.setcbreak(fd)
        while True:
            tour.news(recent.append)
            sys.stdout.write("\x1b[2J\x1b[H" + tour.phone_screen() + "\n" +
                             "\n".join(recent) + "\n> ")
            sys.stdout.flush()
            ready, _, _ = select.select([sys.stdin], [], [], 0.5)
            if not ready:
                continue
            key = sys.stdin.read(1)
            if key == "q":
                break
            if key == "o":
                s.phone_cmd("open")
            elif key == "b" or key == "\x7f":
                s.phone_cmd("back")
            elif key == "d":
                dsr = not dsr
                s.phone_cmd("dsr on" if dsr else "dsr off")
            elif key.isdigit():
                s.phone_cmd("choose %s" % key)
            time.sleep(0.3)
    finally:
        termios.tcsetattr(fd, termios.TCSADRAIN, old)
    s.quit_plugin()
    return 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--interactive", action="store_true")
    parser.add_argument("--entries", type=int, default=1234)
    options = parser.parse_args()
    with Session(dsr=False, entries=options.entries) as s:
        if options.interactive and sys.stdin.isatty():
            return interactive(s)
        return scripted(s)


if __name__ == "__main__":
    sys.exit(main())
