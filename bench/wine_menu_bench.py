#!/usr/bin/env python3
"""Opening menus under Wine: the real DLL in the stand-in player, the
simulated phone on a pty. From the phone's clock: the time from sending
"*EAAI" (opening the accessory menu) or "*EAMI" (choosing the video window
sub-menu) to receiving the whole page command that answers it, against the
floor of the 50 ms read interval that ends the read holding the code (a pty
has no wire time); the messages the plug-in's thread sent to the player
for each opening and each choice; and, with RemoteKeys=1 and the key screen
up, a key press ("+CKEV: 6,1") to the player's WM_COMMAND 40048, from the
control line written to the phone to the host's line about the message,
both read on this machine's clock. The same on a phone of the newer
commands: "*SEAAI" to the whole main list, against the read interval and the
"*SEUIS=1" transaction that goes before it, and the video window's entry
("*SEGUII") to its list. Prints; asserts nothing.

Usage: wine_menu_bench.py [OPENINGS] [--json PATH]   (OPENINGS: 10)"""

import argparse
import json
import re
import statistics
import sys
import time
from collections import Counter
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools" / "rig"))
from session import NEWER_SETUP_COMMANDS, SETUP_COMMANDS, Session  # noqa: E402
from set_up import CALL_COMMANDS  # noqa: E402

READ_INTERVAL_MS = 50
# A transaction's pauses, after the command and after its answer.
TRANSACTION_PAUSES_MS = 200
# Long enough for the last page's transaction to end its pauses and for the
# host's lines about it to have come out.
SETTLE_S = 0.5
SENT_BY_PLUGIN = re.compile(r"^msg kind=sent thread=monitor .*?\bname=(\S+)")


def timed(s: Session, command: str, code: str, page_start: str) -> float:
    """The phone's time from sending `code` to receiving the page."""
    events = len(s.phone_events.snapshot())
    s.phone_cmd(command)
    sent = s.phone_events.wait(
        lambda e: e.get("ev") == "tx" and code in e.get("bytes", ""), 5, events)
    page = s.phone_events.wait(
        lambda e: e.get("ev") == "rx" and e["cmd"].startswith(page_start), 10, events)
    if not sent or not page:
        raise RuntimeError("no page came for " + command)
    s.phone_events.wait(lambda e: e.get("ev") == "tx", 5,
                        s.phone_events.snapshot().index(page) + 1)
    return page["t"] - sent["t"]


def sent_messages(s: Session, start: int) -> list:
    """The names of the messages the plug-in's thread sent to the player
    since host line `start`, after letting its lines come out."""
    time.sleep(SETTLE_S)
    lines = s.host_lines.snapshot()[start:]
    return [m.group(1) for m in map(SENT_BY_PLUGIN.match, lines) if m]


def key_presses(presses: int) -> list:
    """Milliseconds from each "k 6" written to the phone to the host's line
    about the WM_COMMAND 40048 it brought."""
    samples = []
    with Session(entries=1000, ini_lines=["RemoteKeys=1"]) as s:
        # RemoteKeys=1 asks for call reports too.
        setup = SETUP_COMMANDS + CALL_COMMANDS
        if not s.wait_connected(30) or len(s.wait_received(len(setup))) < len(setup):
            raise RuntimeError("the plug-in did not connect")
        time.sleep(SETTLE_S)
        s.phone_cmd("open")
        s.wait_received(len(setup) + 1)
        s.phone_cmd("choose 11")
        if s.wait_received(len(setup) + 3)[-1:] != ["AT+CMER=3,2,0,0,0"]:
            raise RuntimeError("the key screen did not open")
        time.sleep(SETTLE_S)
        for _ in range(presses):
            mark = len(s.host_lines.snapshot())
            began = time.monotonic()
            s.phone.stdin.write(b"k 6\n")
            s.phone.stdin.flush()
            if s.wait_host(r"^msg kind=sent thread=monitor .*wparam=40048 ", 5, mark) is None:
                raise RuntimeError("no WM_COMMAND 40048 came for a key press")
            samples.append((time.monotonic() - began) * 1000.0)
            time.sleep(SETTLE_S)
    return samples


def follow_changes(changes: int) -> list:
    """With FollowTrack=1: milliseconds from the player's own Next (written
    to the stand-in player) to the main menu again at the phone, its new
    "Next:" label on it."""
    samples = []
    with Session(entries=1000, ini_lines=["FollowTrack=1"], host_args=["--state", "playing"]) as s:
        if not s.wait_connected(30) or len(s.wait_received(len(SETUP_COMMANDS))) < len(SETUP_COMMANDS):
            raise RuntimeError("the plug-in did not connect")
        time.sleep(SETTLE_S)
        s.phone_cmd("open")
        s.wait_received(len(SETUP_COMMANDS) + 1)
        for change in range(changes):
            # Past the once-a-second limit of the page before.
            time.sleep(1.2)
            events = len(s.phone_events.snapshot())
            label = '"Next: Track %d"' % (change + 3)
            began = time.monotonic()
            s.host_cmd("next")
            page = s.phone_events.wait(
                lambda e: e.get("ev") == "rx" and label in e.get("cmd", ""), 10, events)
            if not page:
                raise RuntimeError("the main menu did not follow the player")
            samples.append((time.monotonic() - began) * 1000.0)
    return samples


def summary(samples: list, floor_ms: float = READ_INTERVAL_MS) -> dict:
    median = statistics.median(samples)
    return {"median_ms": median, "min_ms": min(samples), "max_ms": max(samples),
            "samples_ms": samples, "floor_ms": floor_ms, "ratio": median / floor_ms}


def newer_lists(openings: int) -> tuple:
    """On the newer phone: milliseconds from "*SEAAI" to the whole main list,
    and from choosing the video window to its list."""
    opened, chosen = [], []
    with Session(entries=1000, generation="newer") as s:
        if (not s.wait_connected(30) or
                len(s.wait_received(len(NEWER_SETUP_COMMANDS))) < len(NEWER_SETUP_COMMANDS)):
            raise RuntimeError("the plug-in did not connect")
        time.sleep(SETTLE_S)
        for _ in range(openings):
            opened.append(timed(s, "open", "*SEAAI", 'AT*SELIST="Winamp menu"'))
            time.sleep(SETTLE_S)
            chosen.append(timed(s, "pick 10", "*SEGUII", 'AT*SELIST="Video options"'))
            time.sleep(SETTLE_S)
    return (summary(opened, READ_INTERVAL_MS + TRANSACTION_PAUSES_MS),
            summary(chosen, READ_INTERVAL_MS))


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("openings", nargs="?", type=int, default=10)
    parser.add_argument("--json", metavar="PATH", help="also write the figures to PATH")
    args = parser.parse_args()

    latencies, choices = [], []
    opening_messages, choice_messages = [], []
    with Session(entries=1000) as s:
        if not s.wait_connected(30) or len(s.wait_received(len(SETUP_COMMANDS))) < len(SETUP_COMMANDS):
            print("the plug-in did not connect", file=sys.stderr)
            return 1
        time.sleep(SETTLE_S)
        for _ in range(args.openings):
            start = len(s.host_lines.snapshot())
            latencies.append(timed(s, "open", "*EAAI", "AT*EASM"))
            opening_messages.append(sent_messages(s, start))
            start = len(s.host_lines.snapshot())
            choices.append(timed(s, "choose 10", "*EAMI", 'AT*EASM="Video options"'))
            choice_messages.append(sent_messages(s, start))

    try:
        keys = summary(key_presses(args.openings))
    except RuntimeError as error:
        print("Wine: key presses: %s" % error, file=sys.stderr)
        keys = None

    try:
        follow = follow_changes(args.openings)
    except RuntimeError as error:
        print("Wine: following the player: %s" % error, file=sys.stderr)
        follow = None

    try:
        newer = newer_lists(args.openings)
    except RuntimeError as error:
        print("Wine: the newer phone: %s" % error, file=sys.stderr)
        newer = None

    opening = summary(latencies)
    choice = summary(choices)
    print('Wine: "*EAAI" to the whole page at the phone: median %.0f ms (min %.0f, max %.0f, '
          '%d openings), floor %d ms read interval, ratio %.2f'
          % (opening["median_ms"], opening["min_ms"], opening["max_ms"], args.openings,
             READ_INTERVAL_MS, opening["ratio"]))
    print('Wine: "*EAMI" (a sub-menu chosen) to the whole page at the phone: median %.0f ms '
          '(min %.0f, max %.0f), floor %d ms read interval, ratio %.2f'
          % (choice["median_ms"], choice["min_ms"], choice["max_ms"], READ_INTERVAL_MS,
             choice["ratio"]))

    if follow:
        # The floor: one opening's own cost, the *EAAI figure without its
        # read interval; a pty has no wire time.
        follow = summary(follow, max(1.0, opening["median_ms"] - READ_INTERVAL_MS))
        print("Wine: the player's own Next to the main menu again at the phone: median %.0f ms "
              "(min %.0f, max %.0f), floor %.0f ms (one opening's own cost), ratio %.2f"
              % (follow["median_ms"], follow["min_ms"], follow["max_ms"], follow["floor_ms"],
                 follow["ratio"]))
    if newer:
        for code, f in zip(("*SEAAI", "*SEGUII"), newer):
            print('Wine: "%s" to the whole list at the newer phone: median %.0f ms (min %.0f, '
                  'max %.0f), floor %d ms, ratio %.2f'
                  % (code, f["median_ms"], f["min_ms"], f["max_ms"], f["floor_ms"], f["ratio"]))
    if keys:
        print('Wine: "+CKEV: 6,1" (next) to WM_COMMAND 40048 at the player: median %.0f ms '
              '(min %.0f, max %.0f), floor %d ms read interval, ratio %.2f'
              % (keys["median_ms"], keys["min_ms"], keys["max_ms"], READ_INTERVAL_MS,
                 keys["ratio"]))

    def counts(messages: list) -> dict:
        sizes = [len(m) for m in messages]
        names = Counter(name for m in messages for name in m)
        per_opening = {name: n / len(messages) for name, n in sorted(names.items())}
        return {"counts": sizes, "median": statistics.median(sizes), "by_name": per_opening}

    opened, chosen = counts(opening_messages), counts(choice_messages)
    for label, c in (("main-menu opening", opened), ("video window choice", chosen)):
        print("Wine: messages from the plug-in's thread to the player per %s: %s (%s)"
              % (label, sorted(set(c["counts"])),
                 ", ".join("%s %g" % item for item in c["by_name"].items())))
    if args.json:
        figures = {"openings": args.openings, "eaai_whole_page": opening,
                   "eami_whole_page": choice, "opening_messages": opened,
                   "choice_messages": chosen}
        if keys:
            figures["key_press"] = keys
        if follow:
            figures["follow_whole_page"] = follow
        if newer:
            figures["seaai_whole_list"], figures["seguii_whole_list"] = newer
        Path(args.json).write_text(json.dumps(figures, indent=1) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
