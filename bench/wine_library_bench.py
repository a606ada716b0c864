#!/usr/bin/env python3
"""The media library's pages under Wine: the real DLL in the stand-in player
with a generated library (100,000 tracks by 5,000 artists by default), the
simulated phone on a pty, Library=1. From the phone's clock: the time from
choosing "Artists" to the whole first page at the phone, from choosing an
artist to its page, and from the search's text to the page of matches,
each beside the stand-in's own query of the same items in the same run (its
log's ms), and the longest a message posted to the player's window waited
meanwhile. Prints; asserts nothing.

Usage: wine_library_bench.py [--tracks N] [--json PATH]"""

import argparse
import json
import re
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools" / "rig"))
from session import SETUP_COMMANDS, Session  # noqa: E402

PROBE_MS = 5


def host_fields(line: str) -> dict:
    return dict(re.findall(r"(\w+)=(\S+)", line))


def step(s: Session, action: str, sent: str, page: str) -> float:
    """ms from the phone's line `sent` for `action` to the page titled `page`."""
    events = len(s.phone_events.snapshot())
    s.phone_cmd(action)
    tx = s.phone_events.wait(lambda e: e.get("ev") == "tx" and sent in e.get("bytes", ""), 10,
                             events)
    rx = s.phone_events.wait(
        lambda e: e.get("ev") == "rx" and e["cmd"].startswith('AT*EASM="' + page), 120, events)
    if not tx or not rx:
        raise RuntimeError("no page %r came after %r" % (page, action))
    return rx["t"] - tx["t"]


def measured(s: Session, action: str, sent: str, page: str) -> dict:
    mark = len(s.host_lines.snapshot())
    s.host_cmd("latency")
    ms = step(s, action, sent, page)
    queries = [host_fields(line) for line in s.settle_host()[mark:]
               if line.startswith("library query ")]
    s.host_cmd("latency")
    latency = host_fields(s.wait_host(r"^latency ", 10, mark + 1))
    return {"ms": ms, "query_ms": sum(int(q.get("ms", 0)) for q in queries),
            "found": sum(int(q.get("found", 0)) for q in queries),
            "longest_wait_ms": int(latency["longest_us"]) / 1000}


def run(tracks: int) -> dict:
    with Session(entries=10, ini_lines=["Library=1"],
                 host_args=["--generate-library", str(tracks), "--no-message-log",
                            "--probe-ms", str(PROBE_MS)], host_timeout=900) as s:
        if not s.wait_connected(60) or len(s.wait_received(len(SETUP_COMMANDS))) < len(SETUP_COMMANDS):
            raise RuntimeError("the plug-in did not connect")
        time.sleep(0.5)
        step(s, "open", "*EAAI", "Winamp menu")
        entries = s.screen()["menu"]["entries"]
        step(s, "choose %d" % (entries.index("Library") + 1), "*EAMI", "Library")
        rows = {"artists": measured(s, "choose 1", "*EAMI: 1", "Artists")}
        # Down the first ranges to the first artist.
        for _ in range(6):
            entries = s.screen()["menu"]["entries"]
            pick = 2 if entries[0] == "<<<" else 1
            if " - " not in entries[pick - 1]:
                artist = entries[pick - 1]
                rows["artist"] = measured(s, "choose %d" % pick, "*EAMI: %d" % pick, "")
                break
            step(s, "choose %d" % pick, "*EAMI: %d" % pick, "Artists")
        for _ in range(8):
            if s.screen()["menu"].get("title") == "Library":
                break
            step(s, "back", "*EAMI: 0", "")
        events = len(s.phone_events.snapshot())
        s.phone_cmd("choose 3")
        if not s.phone_events.wait(
                lambda e: e.get("ev") == "rx" and e["cmd"].startswith("AT*EAID=11,"), 10, events):
            raise RuntimeError("no search dialog")
        # A user types for longer than the dialog's command takes to end.
        time.sleep(0.5)
        word = artist.split()[0]
        rows["search"] = measured(s, "text " + word, "*EAII", "")
        rows["search"]["text"] = word
    return rows


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tracks", type=int, default=100000)
    parser.add_argument("--json", metavar="PATH", help="also write the figures to PATH")
    args = parser.parse_args()
    rows = run(args.tracks)
    for name, row in rows.items():
        print("Wine: library of %d tracks, %s: %.0f ms to the page at the phone; the stand-in's "
              "own queries %d ms (%d records); longest wait of the player's window %.1f ms"
              % (args.tracks, name, row["ms"], row["query_ms"], row["found"],
                 row["longest_wait_ms"]))
    if args.json:
        Path(args.json).write_text(json.dumps({"rows": rows}, indent=1) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
