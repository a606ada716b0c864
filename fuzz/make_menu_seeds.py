#!/usr/bin/env python3
"""Captures the seeds of the menu fuzzers from real sessions: the real DLL in
the stand-in player under Wine, the phone simulator on a pty, a user walking
the menus. What the phone sent (its codes, echoes and results, byte for byte)
becomes the line part of a seed, behind the 12-byte head that gives the
fuzzer's player the session's playlist length and state (phone_lines.h).

    python3 fuzz/make_menu_seeds.py     (after the native and win32 builds)
"""

import struct
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools" / "rig"))
from session import SAMPLE_MENU, SETUP_COMMANDS, Session  # noqa: E402


def head(length, position=0, state=0, plugin_menus=0, supplied=0):
    return struct.pack("<II", length, position) + bytes([state, plugin_menus, 0, supplied])


def capture(actions, **session):
    """Runs the phone commands; the bytes the phone sent meanwhile."""
    with Session(**session) as s:
        if not s.wait_connected(30) or len(s.wait_received(len(SETUP_COMMANDS))) < 5:
            raise RuntimeError("the plug-in did not connect")
        start = len(s.phone_events.snapshot())
        for action in actions:
            before = len(s.received())
            s.phone_cmd(action)
            if not action.startswith("interim"):
                s.wait_received(before + 1, 10)
        s.wait_received(len(s.received()), 1)
        sent = [e["bytes"] for e in s.phone_events.snapshot()[start:] if e.get("ev") == "tx"]
        return "".join(sent).encode("latin-1")


def main():
    out = ROOT / "fuzz" / "corpus"
    walks = {
        "main_menu_loop": (head(10, 3, 1), dict(entries=10, host_args=["--position", "3",
                                                                        "--state", "playing"]),
                           ["open", "choose 2", "choose 9", "interim 40", "level 70", "choose 7",
                            "number 8", "choose 6", "reject", "choose 10", "choose 1",
                            "switch on", "back", "back"]),
        "playlist_walk": (head(5000, 0, 0, 1), dict(entries=5000),
                          ["open", "choose 8", "choose 5", "choose 4", "choose 3", "choose 12",
                           "choose 5", "back", "back", "back", "back"]),
        # Into the last, shorter group with an offset the group cannot hold.
        "playlist_short_group": (head(1234, 0, 1, 1), dict(entries=1234),
                                 ["open", "choose 8", "choose 2", "choose 2", "choose 11",
                                  "back", "back", "choose 4", "choose 2"]),
        "sample_menus": (head(10, 0, 0, 0, 0), dict(companions=[SAMPLE_MENU]),
                         ["open", "choose 5", "list 3", "choose 7", "number 42", "choose 8",
                          "text Hello", "choose 2", "choose 3", "back", "choose 1"]),
    }
    for name, (world, session, actions) in walks.items():
        phone = capture(actions, **session)
        for corpus in ("choice", "playlist"):
            (out / corpus).mkdir(parents=True, exist_ok=True)
            (out / corpus / ("captured_" + name)).write_bytes(world + phone)
        print("%s: %d bytes from the phone" % (name, len(phone)))


if __name__ == "__main__":
    main()
