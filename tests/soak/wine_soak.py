#!/usr/bin/env python3
"""The soak under Wine: the real gen_quillet.dll in the stand-in host, with
the sample menu plug-in beside it and the simulated phone on COM1, for ten
minutes of real time (--minutes, or QUILLET_SOAK_MINUTES). A seeded random
user opens the menu, chooses entries (some that do not exist) and answers
dialogs, while faults come and go: DSR drops, a silent phone, junk on the
line, port changes through the configuration dialog, and the player
changing under the menus (host commands). With PauseOnCall=1 calls ring,
are dialled, answered, missed and hung up, now and then with the phone away
and back during one or refusing +CLCC; the run's Charset (absent, auto or a
named set) meets a phone offering some sets, and every third title of a short
playlist is in another script.

After every step the player's state (the host's `status` line), the commands
posted to it and the values the sample plug-in was told must be what the
user's commands imply; after every fault the link must come back within a
bound. The host process's threads and open file descriptors (and its
wineserver's) are counted whenever all is quiet and must stay at their
values from the start, within a small tolerance. Every wait is bounded. A call's effect on
the player is predicted as the call rules say; where the tracker's view of
the calls cannot be known (the phone refused +CLCC after coming back during
calls), only what is always true is checked: Quillet resumes no pause but its
own, and once every call has ended a pause of its own left alone is resumed.

    python3 tests/soak/wine_soak.py [--minutes M] [--seed N]
"""

from __future__ import annotations

import argparse
import collections
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Callable, Dict, List, Optional, Tuple

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "rig"))
import session as rig  # noqa: E402
from session import CONTROL_IDS as ID  # noqa: E402
from session import SAMPLE_MENU, Session  # noqa: E402

CONNECTED = "Ready and connected to SimPhone QX-1."
FIELD = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|\S+)|(\S+)')
KEYS_ON = "AT+CMER=3,2,0,0,0"
KEYS_OFF = "AT+CMER=0,0,0,0,0"
POSTED = re.compile(r"^msg kind=posted .*msg=WM_COMMAND wparam=(-?\d+)")
TOLD = re.compile(r"^plugin sample value_changed id=(-?\d+) value=(-?\d+)")

PREVIOUS, PLAY, PAUSE, STOP, NEXT, FULLSCREEN = 40044, 40045, 40046, 40047, 40048, 40337
STATES = {"stopped": 0, "playing": 1, "paused": 3}
STATE_NAMES = {v: k for k, v in STATES.items()}
PREFIX = {0: "Stopped, ", 1: "Playing ", 3: "Paused, "}

# Titles in other scripts: as UTF-8 carries them, in 8859-1, and with the
# set on but none agreed (ASCII).
FOREIGN = [("Caf\u00e9 \u2013 D\u00e9j\u00e0 Vu", "Caf\u00e9 - D\u00e9j\u00e0 Vu",
            "Cafe - Deja Vu"),
           ("\u041a\u0438\u043d\u043e", "????", "????"),
           ("\u591c\u306e\u6b4c", "???", "???"),
           ("\u00dcber den Wolken", "\u00dcber den Wolken", "Uber den Wolken"),
           ("\u201cHey\u201d \u2026 it\u2019s", "'Hey' ... it's", "'Hey' ... it's"),
           ("\U0001F3B5 Song", "? Song", "? Song")]  # a surrogate pair in UTF-16
SHORT_PLAYLIST = 120  # longer ones are generated "Track N"

# Bounds, in seconds of real time.
ANSWER_BOUND = 8.0      # a page or dialog after the user acts
SETTLE = 0.4            # then anything more it would send
SILENCE = 1.0           # watched for an action that sends nothing
RECONNECT_BOUND = 30.0  # fault removed: connected again
QUIET = 1.5             # no command for this long: the link is quiet
QUIET_BOUND = 30.0
REOPEN_BOUND = 10.0     # then a menu opening answered
# Counts of threads, descriptors and handles are of what lasts: see lasting().
LOOK_APART = 12.0  # longer than one comm-event wait of the plug-in's (10 s)
SETTLE_BOUND = 20.0
# What may have grown, once quiet, since the start. The wineserver serves the
# slot's own services too, whose descriptors come and go.
TOLERANCE = {"threads": 0, "host fds": 2, "windows handles": 3, "wineserver fds": 4}


class SoakFailure(Exception):
    pass


def unquote(value: str) -> str:
    if not value.startswith('"'):
        return value
    return re.sub(r"\\x([0-9A-Fa-f]{2})|\\(.)",
                  lambda m: chr(int(m.group(1), 16)) if m.group(1) else m.group(2), value[1:-1])


def as_shown(part: dict, field: str):
    """A menu's or dialog's field as the phone shows it: decoded in the set
    selected, or (none selected) the bytes as they came."""
    return (part.get("shown") or {}).get(field, part.get(field))


def fields(line: str) -> Dict[str, str]:
    return {m.group(1): unquote(m.group(2)) for m in FIELD.finditer(line) if m.group(1)}


def from_percent(percent: int, low: int, high: int) -> int:
    """A level's value for a percentage (C's division, toward zero)."""
    product = (high - low) * percent
    return low + (abs(product) // 100) * (1 if product >= 0 else -1)


def steps_of(value: int, low: int, high: int) -> int:
    span, offset = high - low, value - low
    if span <= 10:
        return offset
    n = span // 2 + offset * 10
    return (abs(n) // span) * (1 if n >= 0 else -1)


def clamp_volume(value: int) -> int:
    return max(0, min(255, value))


def descriptors(pid: int) -> set:
    found = set()
    for fd in os.listdir("/proc/%d/fd" % pid):
        try:
            found.add((fd, os.readlink("/proc/%d/fd/%s" % (pid, fd))))
        except OSError:
            pass  # closed meanwhile
    return found


def handle_counter() -> Optional[Path]:
    """handle_count.exe: the build's (QUILLET_HANDLE_COUNT), or one made here
    with the 32-bit MinGW compiler; None without either."""
    built = os.environ.get("QUILLET_HANDLE_COUNT")
    if built:
        return Path(built) if Path(built).is_file() else None
    compiler = shutil.which("i686-w64-mingw32-gcc")
    if not compiler:
        return None
    out = Path(tempfile.mkdtemp(prefix="quillet-soak-")) / "handle_count.exe"
    source = Path(__file__).resolve().parent / "handle_count.c"
    made = subprocess.run([compiler, "-O2", "-Wall", "-Wextra", "-Werror", "-o", str(out),
                           str(source), "-lntdll"], capture_output=True, timeout=120)
    return out if made.returncode == 0 else None


class Expect:
    """What the user expects of one action."""

    def __init__(self, player: Dict[str, int]):
        self.answer = "nothing"  # nothing | page | dialog | any
        self.titles: List[str] = []
        self.kind: Optional[str] = None  # the dialog's kind
        self.check: Optional[Callable[[dict], str]] = None  # the screen: "" or what is wrong
        self.player = dict(player)
        self.player_known = True
        self.posted: List[int] = []
        # Commands besides the page or dialog: the key screen's reports, on
        # after its dialog, off before the page.
        self.also: List[str] = []
        self.told: List[Tuple[int, Optional[int]]] = []  # (id, value or None for any)

    def page(self, *titles: str) -> None:
        self.answer, self.titles = "page", list(titles)

    def dialog(self, kind: str, title: str) -> None:
        self.answer, self.kind, self.titles = "dialog", kind, [title]


class Soak:
    def __init__(self, minutes: float, seed: int, entries: int = 10):
        self.minutes = minutes
        self.seed = seed
        self.rng = random.Random(seed)
        self.entries = entries
        self.s: Optional[Session] = None
        self.player = {"volume": 200, "position": 3, "state": 1, "video": 0, "length": entries,
                       "fullscreen": 0}
        # What the items hold that a dismissed level returns to: the player's
        # main menu's volume (as last read from the player, or a final
        # answer), and the sample's own levels (None once a fault made them
        # uncertain; known again after a final answer).
        self.stored_volume = 200
        self.options_volume: Optional[int] = 128
        self.brightness: Optional[int] = 5
        self.in_sync = False
        # The key screen (RemoteKeys=1): up with its reports on; the mute as
        # the user saw it, and whether the plug-in's can be known at all.
        self.key_screen_up = False
        self.keys_muted = False
        self.volume_before_mute = 0
        self.mute_known = True
        self.menu_valid = False
        self.page_stale = False
        self.fault: Optional[dict] = None
        self.counter = handle_counter()
        self.wine_env: Optional[Dict[str, str]] = None
        self.win_pid = 0
        self.quiet_looks = 0
        self.next_quiet_look = 20
        self.last_look: Optional[Tuple[float, dict]] = None
        self.baseline_threads: set = set()
        self.host_seen = 0
        self.trace_seen = 0
        # Counts.
        self.steps = 0
        self.checked = 0
        self.actions: Dict[str, int] = collections.Counter()
        self.changes: Dict[str, int] = collections.Counter()
        self.faults: Dict[str, int] = collections.Counter()
        self.junk_lines = 0
        self.recoveries = 0
        self.longest_reconnect = 0.0
        self.longest_answer = 0.0
        self.baseline: Dict[str, int] = {}
        self.extremes: Dict[str, List[int]] = {}
        self.final: Dict[str, int] = {}
        self.recent: collections.deque = collections.deque(maxlen=40)
        self.started = time.monotonic()
        # The character set: the run's Charset ("" absent), the sets the
        # phone offers, and what they agree on (None: no set asked for).
        self.charset = self.rng.choice(["", "auto", "auto", "UTF-8", "8859-1"])
        self.offered = self.rng.choice([["GSM", "IRA", "8859-1", "UTF-8", "UCS2"]] * 3 +
                                       [["GSM", "IRA", "8859-1"], ["GSM", "UCS2"], []])
        if not self.charset:
            self.agreed = None
        elif self.charset == "auto":
            self.agreed = "UTF-8" if "UTF-8" in self.offered else \
                "8859-1" if "8859-1" in self.offered else "ascii"
        else:
            self.agreed = self.charset if self.charset in self.offered else "ascii"
        self.foreign_playlist = False
        self.playlist_titles: set = set()  # every short playlist's, as shown
        self.titles_seen = 0
        # Calls: the entry Quillet paused at for the calls going on; whether
        # the tracker's view of the calls is known; whether that pause has
        # been left alone since; whether the phone refuses +CLCC.
        self.paused_at: Optional[int] = None
        self.calls_exact = True
        self.pause_untouched = True
        self.clcc_refused = False
        self.calls: Dict[str, int] = collections.Counter()
        self.tracker: Dict[str, int] = collections.Counter()

    # ------------------------------------------------------------ the rig

    def note(self, what: str) -> None:
        self.recent.append("%8.2f s  %s" % (time.monotonic() - self.started, what))

    def check(self, ok: bool, what: str) -> None:
        if not ok:
            raise SoakFailure(what)

    def phone(self, line: str) -> None:
        self.s.phone_cmd(line)

    def events(self) -> list:
        return self.s.phone_events.items

    def commands_since(self, mark: int) -> List[str]:
        return [e["cmd"] for e in self.events()[mark:]
                if e is not None and e.get("ev") == "rx"]

    def screen(self) -> dict:
        mark = len(self.events())
        self.phone("screen")
        event = self.s.phone_events.wait(lambda e: e.get("ev") == "screen", 10, mark)
        self.check(event is not None, "the phone did not show its screen")
        return event["screen"]

    def host_lines_since(self, mark: int) -> List[str]:
        return self.s.host_lines.snapshot()[mark:]

    def status(self) -> Dict[str, str]:
        mark = len(self.s.host_lines.items)
        self.s.host_cmd("status")
        line = self.s.wait_host(r"^status ", 15, mark)
        self.check(line is not None, "the host did not answer status")
        return fields(line)

    def read_player(self) -> Dict[str, int]:
        st = self.status()
        return {"volume": int(st["volume"]), "position": int(st["position"]),
                "state": STATES[st["state"]], "video": 1 if st["video"] == "on" else 0,
                "length": int(st["entries"]), "fullscreen": int(st["fullscreen"]),
                "threads": int(st["threads"])}

    def scan_host(self) -> Tuple[List[int], List[Tuple[int, int]]]:
        """Commands posted to the player and values told to the sample plug-in
        since the last scan; fails on a crash or a stalled entry point."""
        lines = self.s.host_lines.snapshot()
        posted, told = [], []
        for line in lines[self.host_seen:]:
            self.check(not line.startswith("crash "), "the host crashed: " + line)
            self.check(not line.startswith("stall "), "an entry point stalled: " + line)
            m = POSTED.match(line)
            if m:
                posted.append(int(m.group(1)))
            m = TOLD.match(line)
            if m:
                told.append((int(m.group(1)), int(m.group(2))))
            if "name=get_volume" in line and "kind=sent" in line:
                # Only the player's main menu asks for the volume: it is being
                # made, and its item holds what the player said.
                self.stored_volume = int(fields(line)["result"])
        self.host_seen = len(lines)
        return posted, told

    def trace_since_mark(self) -> str:
        text = self.s.trace()
        return text[self.trace_seen:]

    def look(self) -> dict:
        """One look at the host process: its threads (Linux task ids), its open
        descriptors (number and target), its wineserver's descriptors, its
        Windows handles (when they can be counted) and the host's own count
        of its threads."""
        pids = self.s.wine_pids()
        seen = {"threads": set(os.listdir("/proc/%d/task" % pids["host"])),
                "host fds": descriptors(pids["host"]),
                "wineserver fds": descriptors(pids["wineserver"]),
                "host's thread count": self.read_player()["threads"]}
        if self.counter:
            if self.wine_env is None:
                with open("/proc/%d/environ" % pids["host"], "rb") as f:
                    pairs = [x.split(b"=", 1) for x in f.read().split(b"\0") if b"=" in x]
                self.wine_env = {k.decode(): v.decode() for k, v in pairs if k != b"LD_PRELOAD"}
            out = subprocess.run([shutil.which("wine") or "wine", str(self.counter),
                                  str(self.win_pid)], env=self.wine_env, capture_output=True,
                                 timeout=60)
            m = re.search(rb"handles=(\d+)", out.stdout)
            self.check(m is not None, "handle_count failed: %r" % out.stdout)
            seen["windows handles"] = int(m.group(1))
        return seen

    @staticmethod
    def lasting(first: dict, second: dict) -> Dict[str, int]:
        """What two looks far enough apart have in common: Wine's serial wait
        worker (a thread with its pipes to the wineserver) is started anew for
        every comm-event wait, so it is never in both; whatever leaks is."""
        return {key: len(first[key] & second[key]) if isinstance(first[key], set)
                else min(first[key], second[key]) for key in first}

    def settled(self) -> Dict[str, int]:
        first = self.look()
        time.sleep(LOOK_APART)
        second = self.look()
        self.baseline_threads = first["threads"] & second["threads"]
        return self.lasting(first, second)

    def quiet_checks(self) -> None:
        """Now, against the last look (at least LOOK_APART seconds ago): what
        lasts must not have grown since the start."""
        now = self.look()
        last = self.last_look
        self.last_look = (time.monotonic(), now)
        if last is None or time.monotonic() - last[0] < LOOK_APART:
            return
        counts = self.lasting(last[1], now)
        for key, value in counts.items():
            low, high = self.extremes.setdefault(key, [value, value])
            self.extremes[key] = [min(low, value), max(high, value)]
        for key, allowed in TOLERANCE.items():
            if key in counts:
                self.check(counts[key] <= self.baseline[key] + allowed,
                           "%s: %d last, %d at the start" % (key, counts[key], self.baseline[key]))
        self.quiet_looks += 1

    # ------------------------------------------------------------ the run

    def run(self) -> int:
        verdict = "passed"
        # The rig bounds the host's life for a short test; this run is long,
        # so its bound is the soak's length and then some.
        start_host = rig.winerun.start
        bound = self.minutes * 60 + 600
        rig.winerun.start = lambda *a, **k: start_host(*a, **{**k, "timeout": bound})
        try:
            ini = ["RemoteKeys=1", "PauseOnCall=1"] + (
                ["Charset=" + self.charset] if self.charset else [])
            self.s = Session(companions=[SAMPLE_MENU], entries=self.entries, dsr=False,
                             host_args=["--position", "3", "--state", "playing",
                                        "--utf8-titles"], ini_lines=ini)
            try:
                # The phone's sets are fixed before it is ever set up.
                self.phone("charsets " + (",".join(self.offered) or "none"))
                self.set_playlist(self.entries)
                self.phone("dsr on")
                self.start()
                deadline = self.started + self.minutes * 60
                while time.monotonic() < deadline:
                    self.step()
                if self.fault:
                    self.end_fault()
                self.finish()
            except SoakFailure as failure:
                verdict = "FAILED"
                self.report_failure(str(failure))
            finally:
                self.s.close()
        except Exception as error:  # the rig itself: say so, and fail
            verdict = "FAILED"
            print("the rig failed: %r" % (error,))
            for line in self.recent:
                print("  " + line)
        finally:
            rig.winerun.start = start_host
            if self.counter and not os.environ.get("QUILLET_HANDLE_COUNT"):
                shutil.rmtree(self.counter.parent, ignore_errors=True)  # made here
        self.report(verdict)
        return 0 if verdict == "passed" else 1

    def start(self) -> None:
        self.check(self.s.wait_connected(60), "not connected at the start:\n" + self.s.trace())
        ready = self.s.wait_host(r"^host ready ", 5)
        self.check(ready is not None, "the host never said it was ready")
        self.final["threads before the plug-ins"] = int(fields(ready)["threads"])
        self.win_pid = int(fields(ready)["pid"])
        self.recover("start")
        # What all is well looks like, once it has settled.
        self.baseline = self.settled()
        self.last_look = None

    def finish(self) -> None:
        threads_at_start = self.baseline_threads
        self.final.update({"%s at the end" % k: v for k, v in self.settled().items()})
        self.baseline_threads = threads_at_start
        for key, allowed in TOLERANCE.items():
            if key in self.baseline:
                self.check(self.final["%s at the end" % key] <= self.baseline[key] + allowed,
                           "%s at the end: %d, %d at the start" % (
                               key, self.final["%s at the end" % key], self.baseline[key]))
        mark = len(self.s.host_lines.items)
        self.s.host_cmd("quit")
        done = self.s.wait_host(r"^quit done ", 30, mark)
        self.check(done is not None, "quit did not return")
        self.check(self.s.wait_host(r"^unloaded ", 30, mark) is not None,
                   "the plug-in stayed loaded")
        self.final["threads as quit returned"] = int(fields(done)["threads"])
        # The host counted its threads at "host ready", before the plug-ins;
        # it starts its stdin reader only after them. Wine's own worker may
        # still be winding down, so the lowest count within a while.
        wanted = self.final["threads before the plug-ins"] + 1
        lowest, began = None, time.monotonic()
        while time.monotonic() - began < SETTLE_BOUND and lowest != wanted:
            threads = self.read_player()["threads"]
            lowest = threads if lowest is None else min(lowest, threads)
            time.sleep(0.3)
        self.final["threads after quit"] = lowest
        self.check(lowest == wanted, "threads after quit: %d, expected %d (%d before the "
                   "plug-ins, and the host's stdin reader)" % (
                       lowest, wanted, self.final["threads before the plug-ins"]))
        first = self.look()
        time.sleep(LOOK_APART)
        second = self.look()
        lasting = first["threads"] & second["threads"]
        self.check(lasting <= self.baseline_threads and len(lasting) < len(self.baseline_threads),
                   "threads lasting after quit: %s, at the start %s" % (
                       sorted(lasting), sorted(self.baseline_threads)))
        self.final["lasting threads after quit"] = len(lasting)
        self.final["host fds after quit"] = len(first["host fds"] & second["host fds"])
        self.scan_host()  # a crash of a thread left behind shows here
        self.check("Port=COM1" in self.s.settings(), "quit stored:\n" + self.s.settings())

    def step(self) -> None:
        self.steps += 1
        if self.fault and time.monotonic() >= self.fault["ends"]:
            self.end_fault()
        elif not self.fault and not self.calls_going() and self.rng.random() < 0.1:
            # Faults of the link come between calls; the phone going away
            # during one is a call step of its own.
            self.start_fault()
        if self.rng.random() < 0.07:
            self.player_change()
        self.watch_pause()
        # Calls come now and then and end within a few steps, leaving the
        # faults room between them.
        calls = 0.3 if self.fault is None and self.calls_going() else 0.05
        if not self.fault and self.in_sync and self.rng.random() < calls:
            self.call_step()
        else:
            self.user_action()
        self.watch_pause()
        if not self.fault and self.in_sync and self.checked >= self.next_quiet_look:
            self.next_quiet_look = self.checked + 20
            self.quiet_checks()
        if self.fault and self.fault["kind"] == "dsr drop" and "info: lost connection" in \
                self.trace_since_mark():
            self.fault["seen"] = True
        self.think()

    # ------------------------------------------------------------ the user

    def user_action(self) -> None:
        screen = self.screen()
        page, dialog = screen.get("menu"), screen.get("dialog")
        predicted = self.fault is None and self.in_sync
        mark = len(self.events())
        e = Expect(self.player)
        r = self.rng.random()
        if not page:
            if r < 0.94:
                self.open(e)
            else:
                n = self.rng.randint(1, 12)
                self.act("stray choice", "choose %d" % n)
        elif dialog:
            if r < 0.05:
                self.open(e)
            else:
                self.answer_dialog(page, dialog, e)
        elif not self.menu_valid:
            if r < 0.5:
                self.open(e)
            else:
                self.choose_valid(page, e)
        elif r < 0.06:
            self.open(e)
        elif r < 0.14:
            count = len(page["entries"])
            k = self.rng.choice([count + 1, count + 2, count + 7, -1, -12, 2147483647,
                                 -2147483648])
            self.act("choose missing", "choose %d" % k, "on \"%s\"" % page["title"])
        elif r < 0.24:
            self.back(page, e)
        else:
            self.choose_valid(page, e)
        self.observe(mark, e, predicted)

    def act(self, name: str, command: str, where: str = "") -> None:
        self.note(command + (" " + where if where else ""))
        self.actions[name] += 1
        self.phone(command)

    def open(self, e: Expect) -> None:
        self.act("open", "open")
        if self.key_screen_up:
            e.also = [KEYS_OFF]
        self.key_screen_up = False
        e.page("Sample menu")
        self.menu_valid = True
        self.page_stale = False

    def choose_valid(self, page: dict, e: Expect) -> None:
        entries = page["entries"]
        if not entries:
            return self.open(e)
        k = self.rng.randint(1, len(entries))
        label, title = entries[k - 1], page["title"]
        self.act("choose", "choose %d" % k, "\"%s\" on \"%s\"" % (label, title))
        if not self.menu_valid:
            return
        n = self.player["length"]
        after = e.player
        if label in ("<<", ">>"):
            if self.page_stale:
                e.answer = "any"
            else:
                e.page(title)
            return
        if title == "Winamp menu":
            if label.startswith("Prev"):
                e.posted = [PREVIOUS]
                if n > 0:
                    after["position"] = n - 1 if after["position"] == 0 else after["position"] - 1
                e.page(title)
            elif label.startswith("Next"):
                e.posted = [NEXT]
                if n > 0:
                    after["position"] = (after["position"] + 1) % n
                e.page(title)
            elif label == "Play":
                e.posted = [PLAY]
                if n > 0:
                    after["state"] = 1
                e.page(title)
            elif label == "Pause":
                e.posted = [PAUSE]
                after["state"] = {1: 3, 3: 1}.get(after["state"], after["state"])
                e.page(title)
            elif label == "Stop":
                e.posted = [STOP]
                after["state"] = 0
                e.page(title)
            elif label == "Track info":
                e.dialog("notice", "Now playing")
                text = PREFIX[after["state"]] + (
                    self.title(after["position"]) if 0 <= after["position"] < n else "")
                e.check = lambda s, text=text: "" if as_shown(s["dialog"], "text") == text else \
                    "now playing says %r, not %r" % (as_shown(s["dialog"], "text"), text)
            elif label.startswith("Go to track"):
                e.dialog("number", "Go to track")
                e.check = lambda s: "" if (s["dialog"]["prompt"], s["dialog"]["min"]) == \
                    ("Track number", 1) else "the go-to-track dialog is off"
            elif label == "Playlist":
                if n > 0:
                    e.page("Playlist")
                else:
                    e.dialog("notice", "Playlist")
                self.page_stale = False
            elif label.startswith("Volume"):
                e.dialog("level", "Volume")
                steps = steps_of(self.stored_volume, 0, 255)
                e.check = lambda s, steps=steps: "" if (s["dialog"]["steps"],
                                                        s["dialog"]["value"]) == (10, steps) \
                    else "the volume dialog shows %r" % s["dialog"]
            elif label == "Remote keys":
                e.dialog("hold", "Remote keys")
                e.also = [KEYS_ON]
                self.key_screen_up = True
            elif label == "Video window":
                e.page("Video options")
                shown = "Shown: On" if after["video"] else "Shown: Off"
                e.check = lambda s, shown=shown: "" if s["menu"]["entries"] == [
                    shown, "Fullscreen"] else "video options show %r" % s["menu"]["entries"]
            else:
                e.answer = "any"
        elif title == "Video options":
            if label.startswith("Shown"):
                e.dialog("onoff", "Shown")
            else:
                e.posted = [FULLSCREEN]
                after["fullscreen"] += 1
                e.page(title)
        elif title == "Playlist":
            e.page("Playlist")
            m = re.match(r"^(\d+)\. (.*)$", label)
            if self.page_stale:
                e.answer, e.titles, e.player_known = "any", [], False
            elif m:
                entry = int(m.group(1))
                reads = as_shown(page, "entries")[k - 1]
                # (A page left up through a fault may be of another playlist.)
                self.check(reads == "%d. %s" % (entry, self.title(entry - 1)) or
                           self.fault is not None or not self.in_sync,
                           "a playlist entry reads %r" % reads)
                after["position"] = entry - 1
                if after["state"] != 0 and n > 0:
                    after["state"] = 1
        elif title == "Sample menu":
            if label == "Player menu":
                e.page("Winamp menu")
            elif label == "Options":
                e.page("Sample options")
            elif label == "Play":
                e.posted = [PLAY]
                if n > 0:
                    after["state"] = 1
                e.page(title)
            elif label.startswith("Brightness"):
                self.brightness = int(label.split(": ")[1])  # shown as it is: a range of 10
                e.dialog("level", "Brightness")
            elif label.startswith("Colour"):
                e.dialog("list", "Colour")
                e.check = lambda s: "" if s["dialog"]["labels"] == ["Red", "Green", "Blue"] else \
                    "the colour list is %r" % s["dialog"]["labels"]
            elif label.startswith("Shuffle"):
                e.dialog("onoff", "Shuffle")
            elif label.startswith("Count"):
                e.dialog("number", "Count")
                e.check = lambda s: "" if (s["dialog"]["min"], s["dialog"]["max"]) == (1, 99) else \
                    "the count dialog is off"
            elif label.startswith("Name"):
                e.dialog("text", "Name")
            else:
                e.answer = "any"
        elif title == "Sample options":
            if label == "Fullscreen":
                e.posted = [FULLSCREEN]
                after["fullscreen"] += 1
                e.page(title)
            elif label.startswith("Volume"):
                e.dialog("level", "Volume")
            elif label == "Missing":
                e.dialog("notice", "Missing menu")
                self.menu_valid = False
            else:
                e.answer = "any"
        else:
            e.answer = "any"

    def back(self, page: dict, e: Expect) -> None:
        self.act("back", "back", "from \"%s\"" % page["title"])
        if not self.menu_valid:
            return
        if page["nav"] != "2":
            self.menu_valid = False  # left the menu: the plug-in holds none
            return
        title = page["title"]
        if title == "Video options":
            e.page("Winamp menu")
        elif title == "Sample options":
            e.page("Sample menu")
        elif title == "Playlist" and not self.page_stale:
            below = "<<<" in page["entries"] or ">>>" in page["entries"]
            e.page("Playlist" if below else "Winamp menu")
        else:
            e.answer = "any"

    def dismiss(self) -> None:
        if self.rng.random() < 0.5:
            self.act("reject", "reject")
        else:
            self.act("abort", "abort")

    def answer_dialog(self, page: dict, dialog: dict, e: Expect) -> None:
        under, kind, title = page["title"], dialog["kind"], dialog["title"]
        answering = self.menu_valid
        dismiss = self.rng.random() < 0.12

        def same() -> None:
            if answering:
                e.page(under)

        if kind == "hold":
            return self.press_keys(e) if answering else self.dismiss()
        if kind == "notice":
            self.dismiss()
            if answering and title != "Missing menu":
                e.page("Winamp menu")
            if title == "Missing menu":
                self.menu_valid = False
            return
        if kind == "level":
            return self.answer_level(under, title, e)
        if dismiss:
            self.dismiss()
            same()
            return
        if kind == "list":
            n = self.rng.randint(1, 3) if self.rng.random() < 0.8 else \
                self.rng.choice([0, 4, -1, 100])
            self.act("list", "list %d" % n)
            same()
            if answering:
                e.told = [(1011, n - 1)]
        elif kind == "onoff":
            on = self.rng.random() < 0.5
            self.act("switch", "switch %s" % ("on" if on else "off"))
            same()
            if answering and title == "Shown":
                e.player["video"] = 1 if on else 0
            elif answering and title == "Shuffle":
                e.told = [(1012, 1 if on else 0)]
        elif kind == "number":
            n = self.player["length"]
            if title == "Go to track" and n > 0 and self.rng.random() < 0.75:
                x = self.rng.randint(1, n)
            elif title == "Count" and self.rng.random() < 0.75:
                x = self.rng.randint(1, 99)
            else:
                x = self.rng.choice([0, -3, n + 1, n + 100, 100, 2147483647, -2147483648])
            self.act("number", "number %d" % x)
            same()
            if answering and title == "Go to track":
                # The player takes only a position inside its playlist; a
                # playing player is told to play from there.
                if 1 <= x <= n:
                    e.player["position"] = x - 1
                if e.player["state"] != 0 and n > 0:
                    e.player["state"] = 1
            elif answering and title == "Count":
                e.told = [(1013, x)]
        elif kind == "text":
            text = self.random_text(30)
            self.act("text", "text " + text)
            same()
            if answering:
                e.told = [(1014, None)]
                # Kept up to a quote, within the 20 bytes of the buffer.
                kept = text.split('"')[0][:20]
                e.check = lambda s, kept=kept: "" if ("Name: " + kept) in s["menu"]["entries"] \
                    else "the name shows as %r, not %r" % (s["menu"]["entries"][-1:], kept)
        else:
            self.dismiss()
            same()
            e.player_known = False

    def key_acts(self, key: str, after: Dict[str, int]) -> None:
        """What the plug-in does to the player for one key."""
        n = after["length"]

        def step(by: int) -> None:
            to = max(0, min(10, steps_of(after["volume"], 0, 255) + by))
            after["volume"] = from_percent(to * 10, 0, 255)
            self.keys_muted, self.mute_known = False, True

        if key in ("u", "U", "^"):
            step(1)
        elif key in ("d", "D", "v", "V"):
            step(-1)
        elif key == "7":
            if self.keys_muted and after["volume"] == 0:
                after["volume"], self.keys_muted = self.volume_before_mute, False
            else:
                self.volume_before_mute, after["volume"] = after["volume"], 0
                self.keys_muted = True
        elif key in ("2", ":J"):
            if after["state"] == 1:
                after["state"] = 3
            elif after["state"] == 3:
                after["state"] = 1
            elif n > 0:
                after["state"] = 1
        elif key in (">", "6") and n > 0:
            after["position"] = (after["position"] + 1) % n
        elif key in ("<", "4") and n > 0:
            after["position"] = n - 1 if after["position"] == 0 else after["position"] - 1
        elif key == "5":
            after["state"] = 0

    def press_keys(self, e: Expect) -> None:
        """On the key screen: a key pressed or held, one of no use, or the
        screen left with NO or by leaving the accessory menu."""
        r = self.rng.random()
        if r < 0.2:
            self.dismiss()
            e.also = [KEYS_OFF]
            e.page("Winamp menu")
            self.key_screen_up = False
            return
        predicted = self.fault is None and self.in_sync
        if not predicted:
            self.mute_known = False
        key = self.rng.choice(["u", "U", "^", "d", "D", "v", "V", "7", "2", ":J", ">", "6", "<",
                               "4", "5", "1", "3", "e", "#", "]"])
        if key == "7" and not self.mute_known:
            key = "5"  # a mute that may find the plug-in either way waits for a volume step
        if r < 0.6:
            self.act("key", "k " + key)
            self.key_acts(key, e.player)
        else:
            # Real time: how often a held key repeats is the plug-in's clock's
            # affair; the player is read back rather than predicted.
            held = self.rng.choice([300, 700, 1200])
            self.act("key held", "hold %s %d" % (key, held))
            time.sleep(held / 1000.0)
            e.player_known = False
            if key in ("u", "U", "^", "d", "D", "v", "V"):
                self.keys_muted, self.mute_known = False, True

    def answer_level(self, under: str, title: str, e: Expect) -> None:
        answering = self.menu_valid
        if under == "Winamp menu" and title == "Volume":
            target, top = "main volume", 255
        elif under == "Sample options" and title == "Volume":
            target, top = "options volume", 255
        elif under == "Sample menu" and title == "Brightness":
            target, top = "brightness", 10
        else:
            target, top = None, 255

        def apply(value: Optional[int]) -> None:
            if target == "brightness":
                e.told.append((1010, value))
            elif target is not None:
                if value is None:
                    e.player_known = False
                else:
                    e.player["volume"] = clamp_volume(value)

        r = self.rng.random()
        percent = self.rng.randint(0, 100) if self.rng.random() < 0.9 else \
            self.rng.choice([-50, -1, 101, 150, 1000])
        if r < 0.4:
            self.act("interim", "interim %d" % percent)
            if answering:
                apply(from_percent(percent, 0, top))
        elif r < 0.85:
            self.act("level", "level %d" % percent)
            if not answering:
                return
            e.page(under)
            value = from_percent(percent, 0, top)
            apply(value)
            if target == "main volume":
                self.stored_volume = value
            elif target == "options volume":
                self.options_volume = value
            elif target == "brightness":
                self.brightness = value
        else:
            self.dismiss()
            if not answering:
                return
            e.page(under)
            # Dismissed: the value goes back to what the item holds.
            apply({"main volume": self.stored_volume, "options volume": self.options_volume,
                   "brightness": self.brightness}.get(target))
        if target is None:
            e.player_known = False

    def random_text(self, longest: int) -> str:
        chars = "abcdefghijklmnopqrstuvwxyz ABCXYZ0123456789.,;:!?-+=/()[]#'"
        text = "".join(self.rng.choice(chars) for _ in range(self.rng.randint(1, longest)))
        if self.rng.random() < 0.2:
            i = self.rng.randrange(len(text))
            text = text[:i] + '"' + text[i + 1:]
        return text.strip() or "x"

    def observe(self, mark: int, e: Expect, predicted: bool) -> None:
        if not predicted:
            time.sleep(self.rng.uniform(0, 0.8))
            self.scan_host()
            self.player = {**self.read_player()}
            self.player.pop("threads")
            return
        if e.answer == "nothing":
            time.sleep(SILENCE)
            sent = self.commands_since(mark)
            self.check(not sent, "expected nothing, the plug-in sent %r" % sent)
        else:
            answered = self.s.phone_events.wait(
                lambda ev: ev.get("ev") == "rx" and (ev["cmd"].startswith("AT*EASM=") or
                                                     ev["cmd"].startswith("AT*EAID=")),
                ANSWER_BOUND, mark)
            self.check(answered is not None, "no page or dialog within %.0f s" % ANSWER_BOUND)
            time.sleep(SETTLE)
            sent = self.commands_since(mark)
            shown = [c for c in sent if c.startswith(("AT*EASM=", "AT*EAID="))][:1]
            others = list(sent)
            if shown:
                others.remove(shown[0])
            self.check(len(shown) == 1 and others == e.also,
                       "expected one page or dialog and %r, the plug-in sent %r" % (e.also, sent))
            command = shown[0]
            screen = self.screen()
            if e.answer == "page" or (e.answer == "any" and command.startswith("AT*EASM=")):
                self.check(command.startswith("AT*EASM=") and screen["menu"] and
                           not screen["dialog"], "expected a page, got %r" % command)
                title = screen["menu"]["title"]
                self.check_page(screen["menu"])
            else:
                self.check(command.startswith("AT*EAID=") and screen["dialog"],
                           "expected a dialog, got %r" % command)
                if e.kind:
                    self.check(screen["dialog"]["kind"] == e.kind,
                               "the dialog is of another kind: %r" % command)
                title = screen["dialog"]["title"]
            if e.titles:
                self.check(title in e.titles, "expected %r, got %r" % (e.titles, command))
            if e.check:
                wrong = e.check(screen)
                self.check(not wrong, "%s (%r)" % (wrong, command))
        now = self.read_player()
        posted, told = self.scan_host()
        self.check(posted == e.posted, "posted %r, expected %r" % (posted, e.posted))
        got = {k: v for k, v in now.items() if k != "threads"}
        if e.player_known:
            self.check(got == e.player, "the player is at %r, expected %r" % (got, e.player))
        self.player = got
        self.check(len(told) == len(e.told) and all(
            g[0] == w[0] and (w[1] is None or g[1] == w[1]) for g, w in zip(told, e.told)),
            "the sample plug-in was told %r, expected %r" % (told, e.told))
        self.checked += 1

    def check_page(self, page: dict) -> None:
        """The fixed parts of the player's and the sample's pages."""
        entries = page["entries"]
        if page["title"] == "Winamp menu":
            self.check(len(entries) == 11 and entries[2:6] == ["Play", "Pause", "Stop",
                                                                 "Track info"] and
                       entries[7] == "Playlist" and entries[9] == "Video window" and
                       entries[10] == "Remote keys",
                       "the main menu shows %r" % entries)
            # Its neighbours' titles: which entries they are depends on when
            # it was made, but each must be a title of a playlist as shown.
            titles = self.playlist_titles
            for label, word in zip(as_shown(page, "entries")[:2], ("Prev: ", "Next: ")):
                if not label.startswith(word):
                    continue
                name = label[len(word):]
                self.check(name in titles or re.fullmatch(r"Track \d+", name) is not None,
                           "the main menu names %r, not a title of the playlist" % label)
                self.titles_seen += name in titles and not name.startswith("Track ")
        elif page["title"] == "Playlist" and not self.page_stale:
            # (A page the playlist changed under goes on as the plug-in sees fit.)
            for reads in as_shown(page, "entries"):
                m = re.match(r"^(\d+)\. ", reads)
                if m:
                    entry = int(m.group(1))
                    want = "%d. %s" % (entry, self.title(entry - 1))
                    self.check(reads == want, "a playlist entry reads %r, not %r" % (reads, want))
                    self.titles_seen += self.foreign(entry - 1)
        elif page["title"] == "Sample menu":
            self.check(len(entries) == 8 and entries[:3] == ["Player menu", "Options", "Play"],
                       "the sample menu shows %r" % entries)

    def think(self) -> None:
        r = self.rng.random()
        pause = self.rng.uniform(0.05, 0.6) if r < 0.8 else self.rng.uniform(0.6, 4.0) \
            if r < 0.97 else self.rng.uniform(4.0, 15.0)
        mark = len(self.events())
        time.sleep(pause)
        posted, told = self.scan_host()
        if self.fault is None and self.in_sync:
            sent = self.commands_since(mark)
            self.check(not sent, "the plug-in sent %r while the user did nothing" % sent)
            self.check(not posted, "a command was posted while the user did nothing")

    def player_change(self) -> None:
        screen_before = None
        which = self.rng.randrange(5)
        if which == 0:
            v = self.rng.randint(0, 255)
            self.host("volume %d" % v)
        elif which == 1:
            if self.player["length"] > 0:
                self.host("position %d" % self.rng.randrange(self.player["length"]))
        elif which == 2:
            self.host("state " + self.rng.choice(["stopped", "playing", "paused"]))
        elif which == 3:
            n = self.rng.choice([0, 1, 2, 3, 9, 10, 11, 57, 100, 101, 1234, 99999, 1000000])
            screen_before = self.screen()
            self.set_playlist(n)
            # A playlist page (or its empty notice) on the screen no longer
            # tells what its entries mean.
            if (screen_before.get("menu") or {}).get("title") == "Playlist" or \
                    (screen_before.get("dialog") or {}).get("title") == "Playlist":
                self.page_stale = True
        else:
            self.host("video " + ("off" if self.player["video"] else "on"))
        self.changes[["volume", "position", "state", "length", "video"][which]] += 1
        now = self.read_player()
        now.pop("threads")
        self.player = now

    def set_playlist(self, n: int) -> None:
        """A short playlist from a file, every third title in another script;
        a long one generated."""
        self.foreign_playlist = 0 < n <= SHORT_PLAYLIST
        if not self.foreign_playlist:
            self.host("entries %d" % n)
            return
        self.playlist_titles |= {self.title(i) for i in range(n)}
        path = self.s.dir / "titles.txt"
        path.write_bytes("".join(
            (FOREIGN[i // 3 % len(FOREIGN)][0] if i % 3 == 1 else "Track %d" % (i + 1)) + "\n"
            for i in range(n)).encode("utf-8"))
        mark = len(self.s.host_lines.items)
        self.host("playlist " + rig.win_path(path))
        self.check(self.s.wait_host(r"^player entries=%d" % n, 10, mark) is not None,
                   "the player did not take the playlist")

    def foreign(self, index: int) -> bool:
        return self.foreign_playlist and index % 3 == 1

    def title(self, index: int) -> str:
        """An entry's title as the phone shows it."""
        if not self.foreign(index):
            return "Track %d" % (index + 1)
        unicode, latin1, ascii = FOREIGN[index // 3 % len(FOREIGN)]
        if self.agreed is None:  # the player's ANSI bytes, as they always went
            return unicode.encode("cp1252", errors="replace").decode("latin-1")
        return {"UTF-8": unicode, "8859-1": latin1, "ascii": ascii}[self.agreed]

    # ------------------------------------------------------------ calls

    def watch_pause(self) -> None:
        """The user's own change leaves a pause of Quillet's to the rule."""
        if self.paused_at is not None and (self.player["state"], self.player["position"]) != \
                (3, self.paused_at):
            self.pause_untouched = False

    def calls_going(self) -> list:
        return self.screen().get("calls") or []

    def set_clcc_refused(self, refused: bool) -> None:
        self.clcc_refused = refused
        self.note("the phone refuses +CLCC" if refused else "the phone lists its calls")
        self.phone("reply +CLCC error" if refused else "reply +CLCC clear")

    def calls_start(self, player: Dict[str, int]) -> None:
        """The first call of a run pauses a playing player."""
        if player["state"] == 1:
            player["state"] = 3
            self.paused_at, self.pause_untouched = player["position"], True
            self.tracker["paused"] += 1
        elif (player["state"], player["position"]) != (3, self.paused_at):
            self.paused_at = None

    def calls_end(self, player: Dict[str, int]) -> None:
        """The end of the last resumes a pause of Quillet's still in place."""
        if self.paused_at is not None and (player["state"], player["position"]) == \
                (3, self.paused_at):
            player["state"] = 1
            self.tracker["resumed"] += 1
        elif self.paused_at is not None:
            self.tracker["left to the user"] += 1
        self.paused_at = None

    def read_now(self) -> Dict[str, int]:
        now = self.read_player()
        now.pop("threads")
        return now

    def check_call_invariants(self, before: Dict[str, int], calls_left: bool) -> None:
        now = self.read_now()
        self.check({**now, "state": before["state"]} == before,
                   "a call moved the player to %r from %r" % (now, before))
        if (before["state"], now["state"]) == (1, 3):
            self.paused_at, self.pause_untouched = now["position"], True
        elif (before["state"], now["state"]) == (3, 1):
            self.check(self.paused_at == now["position"], "Quillet resumed a pause it did not make")
            self.paused_at = None
            self.tracker["resumed, unlisted"] += 1
        else:
            self.check(before["state"] == now["state"], "a call changed the player to %r" % now)
        self.player = now
        if calls_left:
            return
        self.check(self.paused_at is None or not self.pause_untouched,
                   "a pause of Quillet's stays after every call ended")
        self.paused_at, self.calls_exact = None, True

    def call_step(self) -> None:
        if self.rng.random() < 0.08:
            self.set_clcc_refused(not self.clcc_refused)
        before = self.calls_going()
        if before and self.rng.random() < 0.12:
            return self.call_blink()
        player = self.read_now()
        r = self.rng.random()
        if (r < 0.55) if not before else (r < 0.12):
            what, control = "ring", "call ring"
        elif not before or r < 0.2:
            what, control = "dial", "call dial"
        elif r < 0.45:
            what, control = "answer", "call answer"
        elif r < 0.6:
            what, control = "missed", "call missed"
        elif r < 0.8:
            what = "hang up one"
            control = "call hangup %d" % self.rng.choice(before)["id"]
        else:
            what, control = "hang up", "call hangup"
        mark, host_mark = len(self.events()), len(self.s.host_lines.items)
        self.note(control)
        try:
            self.phone(control)
        except RuntimeError as error:  # the phone would not: nothing happened
            self.check("'ev': 'error'" in str(error), str(error))
        after = self.calls_going()
        self.calls[what if after != before else what + ", refused"] += 1
        # A call that starts beside others makes the tracker ask which are left.
        started = {c["id"] for c in after} - {c["id"] for c in before}
        asks = bool(started) and bool(before)
        if not self.calls_exact:
            time.sleep(SILENCE)
            sent = self.commands_since(mark)
            self.check(all(c == "AT+CLCC" for c in sent), "a call made the plug-in send %r" % sent)
            self.check_call_invariants(player, bool(after))
            return
        expected = dict(player)
        if not before and after:
            self.calls_start(expected)
        if before and not after:
            self.calls_end(expected)
        if expected["state"] != player["state"]:
            self.check(self.s.wait_host(r"^player state=", 10, host_mark) is not None,
                       "a call did not pause or resume the player")
        if asks:
            self.check(self.s.phone_events.wait(
                lambda ev: ev.get("ev") == "rx" and ev["cmd"] == "AT+CLCC", ANSWER_BOUND, mark)
                is not None, "a call beside others was not followed by AT+CLCC")
        time.sleep(SILENCE)
        sent = self.commands_since(mark)
        self.check(sent == (["AT+CLCC"] if asks else []), "a call made the plug-in send %r" % sent)
        posted, _ = self.scan_host()
        self.check(not posted, "a call posted %r to the player" % posted)
        now = self.read_now()
        self.check(now == expected, "after a call the player is at %r, expected %r" % (
            now, expected))
        self.player = now

    def call_blink(self) -> None:
        """The phone goes away during a call and comes back."""
        self.note("call: the phone goes away")
        self.calls["phone away"] += 1
        lost = self.s.trace().count("info: lost connection")
        self.phone("dsr off")
        began = time.monotonic()
        while self.s.trace().count("info: lost connection") <= lost:
            self.check(time.monotonic() - began < 30, "the phone away never showed in the trace")
            time.sleep(0.05)
        player = self.read_now()
        # Calls ended meanwhile are found ended on the list. Refused, whether
        # the plug-in read their end before the line went down is a race.
        if not self.clcc_refused and self.rng.random() < 0.5:
            control = self.rng.choice(["call hangup", "call hangup %d" % self.rng.choice(
                self.calls_going())["id"]])
            self.note(control + " while the phone is away")
            self.phone(control)
        time.sleep(self.rng.uniform(0, 3))
        mark = self.s.trace().count("got connection")
        self.phone("dsr on")
        self.recover("the phone away during a call",
                     lambda: self.s.trace().count("got connection") > mark)
        left = bool(self.calls_going())
        if not self.calls_exact:
            return self.check_call_invariants(player, left)
        if not left:
            self.calls_end(player)
        elif self.clcc_refused:
            self.calls_exact = False  # the tracker counts only the calls it hears of now
            self.tracker["unlisted after a blink"] += 1
        now = self.read_now()
        self.check(now == player, "after the phone came back the player is at %r, expected %r" % (
            now, player))
        self.player = now

    def host(self, line: str) -> None:
        self.note("player: " + line)
        self.s.host_cmd(line)

    # ------------------------------------------------------------ faults

    def start_fault(self) -> None:
        now = time.monotonic()
        self.in_sync = False
        self.trace_seen = len(self.s.trace())
        # A fault may leave the sample's levels with an answer that did or did
        # not arrive; what they hold is known again after a final answer.
        self.options_volume = None
        r = self.rng.random()
        if r < 0.28:
            self.fault = {"kind": "dsr drop", "ends": now + self.rng.uniform(0.3, 30),
                          "seen": False, "began": now}
            self.note("fault: DSR drops")
            self.phone("dsr off")
        elif r < 0.5:
            self.fault = {"kind": "silent phone", "ends": now + self.rng.uniform(1, 25),
                          "began": now}
            self.note("fault: the phone falls silent")
            self.phone("reply all silent")
        elif r < 0.75:
            lines = self.rng.randint(1, 8)
            self.fault = {"kind": "junk", "ends": now + 2.0, "began": now}
            self.note("fault: %d junk lines" % lines)
            for _ in range(lines):
                kind = self.rng.random()
                if kind < 0.35:
                    self.phone("junk " + self.random_text(60))
                elif kind < 0.6:
                    self.phone("junk " + self.rng.choice([
                        "OK", "ERROR", "RING", "+CME ERROR: 10", "NO CARRIER", "AT+CGMI",
                        '+CMTI: "SM",3']))
                elif kind < 0.85:
                    data = bytes(b if b != 0x2A else 0x23  # never the start of a user's code
                                 for b in self.rng.randbytes(self.rng.randint(1, 40)))
                    self.phone("raw " + (data + b"\r\n").hex())
                else:
                    self.phone("junk " + "x" * self.rng.choice([100, 1000, 3000, 12000]))
                self.junk_lines += 1
                time.sleep(self.rng.uniform(0, 0.3))
        else:
            self.fault = {"kind": "port change", "ends": now + self.rng.uniform(1, 25),
                          "began": now}
            name = self.rng.choice(["Disabled", "Disabled", "COM2", "COM9", "COM12"])
            self.port_change(name, self.rng.random() < 0.3)
        self.faults[self.fault["kind"]] += 1

    def end_fault(self) -> None:
        kind = self.fault["kind"]
        if kind == "dsr drop":
            self.note("DSR back")
            if time.monotonic() - self.fault["began"] >= 15:
                self.check(self.fault["seen"] or "info: lost connection" in self.trace_since_mark(),
                           "a long DSR drop never showed in the trace")
            mark = self.s.trace().count("got connection")
            self.phone("dsr on")
            self.recover(kind, lambda: self.s.trace().count("got connection") > mark)
        elif kind == "silent phone":
            self.note("the phone answers again")
            self.phone("reply clear")
            self.clcc_refused = False
            self.recover(kind)
        elif kind == "junk":
            self.recover(kind)
        else:
            if self.fault.get("port") != "COM1":
                self.restore_port()
            self.recover(kind)
        self.fault = None

    # The configuration dialog, worked through the host as a user would.
    def dialog_open(self) -> None:
        mark = len(self.s.host_lines.items)
        self.s.host_cmd("config")
        self.check(self.s.wait_host(r"^config begin", 15, mark) is not None, "config did not begin")
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            if self.dialog_status(quiet=True) is not None:
                return
            time.sleep(0.1)
        self.check(False, "the dialog did not open")

    def dialog_status(self, quiet: bool = False) -> Optional[str]:
        mark = len(self.s.host_lines.items)
        self.s.host_cmd("dialog show")
        self.s.host_cmd("echo shown")
        self.check(self.s.wait_host(r'^echo text="shown"', 15, mark) is not None,
                   "the host did not answer")
        for line in self.host_lines_since(mark):
            if line.startswith("dialog control id=1004 "):
                return fields(line).get("text")
        if not quiet:
            self.check(False, "no dialog open")
        return None

    def dialog_wait_status(self, text: str, bound: float) -> None:
        deadline = time.monotonic() + bound
        shown = None
        while time.monotonic() < deadline:
            shown = self.dialog_status()
            if shown == text:
                return
            time.sleep(0.2)
        self.check(False, "the dialog's status stays %r, not %r" % (shown, text))

    def dialog_press(self, ident: int) -> None:
        mark = len(self.s.host_lines.items)
        self.s.host_cmd("dialog press %d" % ident)
        self.check(self.s.wait_host(r"^dialog pressed id=%d" % ident, 15, mark) is not None,
                   "the host did not press %d" % ident)

    def dialog_close(self, ident: int) -> None:
        mark = len(self.s.host_lines.items)
        self.dialog_press(ident)
        self.check(self.s.wait_host(r"^config done", 15, mark) is not None,
                   "the dialog stayed open")

    def port_change(self, name: str, back_in_dialog: bool) -> None:
        self.note("fault: port changed to %r%s" % (name, ", and back in the same dialog"
                                                   if back_in_dialog else ""))
        expected = "Disabled." if name == "Disabled" else "Comport busy."
        self.fault["status"] = expected
        self.dialog_open()
        self.s.host_cmd("dialog type %d %s" % (ID["PORT"], name))
        apply = back_in_dialog or self.rng.random() < 0.6
        if not apply:
            self.dialog_close(ID["OK"])
        else:
            self.dialog_press(ID["APPLY"])
            self.dialog_wait_status(expected, RECONNECT_BOUND)
            if back_in_dialog:
                time.sleep(self.rng.uniform(0, 3))
                self.s.host_cmd("dialog type %d COM1" % ID["PORT"])
                began = time.monotonic()
                self.dialog_press(ID["APPLY"])
                self.dialog_wait_status(CONNECTED, RECONNECT_BOUND)
                self.fault["reconnected"] = time.monotonic() - began
                self.fault["ends"] = time.monotonic()
                self.fault["port"] = "COM1"
            self.dialog_close(self.rng.choice([ID["OK"], ID["CANCEL"]]))

    def restore_port(self) -> None:
        self.note("port back to COM1")
        self.dialog_open()
        self.dialog_wait_status(self.fault["status"], RECONNECT_BOUND)
        self.s.host_cmd("dialog type %d COM1" % ID["PORT"])
        began = time.monotonic()
        self.dialog_press(ID["APPLY"])
        self.dialog_wait_status(CONNECTED, RECONNECT_BOUND)
        self.fault["reconnected"] = time.monotonic() - began
        self.dialog_close(self.rng.choice([ID["OK"], ID["CANCEL"]]))

    def recover(self, after: str, connected: Optional[Callable[[], bool]] = None) -> None:
        """The link is back: connected, quiet, and a menu opening answered."""
        began = time.monotonic()
        if connected:
            while not connected():
                self.check(time.monotonic() - began < RECONNECT_BOUND,
                           "after %s the link did not come back" % after)
                time.sleep(0.05)
        reconnected = time.monotonic() - began
        if self.fault and "reconnected" in self.fault:
            reconnected = self.fault["reconnected"]  # seen in the dialog
        # Whatever the user did meanwhile has been answered.
        seen, quiet_since = len(self.commands_since(0)), time.monotonic()
        while time.monotonic() - quiet_since < QUIET:
            self.check(time.monotonic() - began < QUIET_BOUND,
                       "after %s the plug-in keeps sending" % after)
            time.sleep(0.1)
            now = len(self.commands_since(0))
            if now != seen:
                seen, quiet_since = now, time.monotonic()
        self.scan_host()
        mark = len(self.events())
        opened = time.monotonic()
        self.phone("open")
        answered = self.s.phone_events.wait(
            lambda ev: ev.get("ev") == "rx" and ev["cmd"].startswith("AT*EASM="), REOPEN_BOUND,
            mark)
        self.check(answered is not None, "after %s a menu opening got no page" % after)
        answer_time = time.monotonic() - opened
        time.sleep(SETTLE)
        sent = self.commands_since(mark)
        # A key screen left up through the fault has its reports turned off first.
        opening = sent[1:] if sent[:1] == [KEYS_OFF] else sent
        self.key_screen_up = False
        self.check(len(opening) == 1 and opening[0].startswith('AT*EASM="Sample menu"'),
                   "an opening got %r" % sent)
        self.scan_host()
        player = self.read_player()
        player.pop("threads")
        self.player = player
        self.in_sync, self.menu_valid, self.page_stale = True, True, False
        if self.baseline:
            self.quiet_checks()
            self.recoveries += 1
            self.longest_reconnect = max(self.longest_reconnect, reconnected)
            self.longest_answer = max(self.longest_answer, answer_time)
            self.note("recovered from %s: connected after %.2f s, menu answered in %.2f s"
                      % (after, reconnected, answer_time))

    # ------------------------------------------------------------ reports

    def report_failure(self, what: str) -> None:
        print("FAILED at step %d, %.1f s: %s" % (self.steps, time.monotonic() - self.started, what))
        print("last steps:")
        for line in self.recent:
            print("  " + line)
        print("last commands the phone received:")
        for cmd in self.commands_since(0)[-8:]:
            print("  " + cmd)
        print("host log tail:")
        print("\n".join(self.s.host_lines.snapshot()[-30:]))
        print("trace tail:")
        print(self.s.trace()[-3000:])

    def report(self, verdict: str) -> None:
        def listing(counts: Dict[str, int]) -> str:
            total = sum(counts.values())
            parts = ", ".join("%s %d" % (k, counts[k]) for k in sorted(counts))
            return "%d (%s)" % (total, parts) if parts else "0"

        print("wine soak %s: seed %d" % (verdict, self.seed))
        print("  real time      %.1f s (%.1f min)" % (time.monotonic() - self.started,
                                                      (time.monotonic() - self.started) / 60))
        print("  steps          %d (%d checked against the player)" % (self.steps, self.checked))
        print("  user actions   " + listing(self.actions))
        print("  player changes " + listing(self.changes))
        print("  faults         %s; junk lines %d" % (listing(self.faults), self.junk_lines))
        print("  calls          %s; the player %s" % (listing(self.calls), listing(self.tracker)))
        print("  charset        Charset=%s, phone offers %s: %s; %d titles in other scripts "
              "seen as expected" % (self.charset or "(absent)", ",".join(self.offered) or "none",
                                    self.agreed or "ANSI bytes as before", self.titles_seen))
        print("  recoveries     %d: connected again within %.2f s of the fault's end, then a "
              "menu opening answered within %.2f s" % (self.recoveries, self.longest_reconnect,
                                                      self.longest_answer))
        print("  lasting counts %d looks (after recoveries and every 20 checked steps), each "
              "against the one before it" % self.quiet_looks)
        if not self.counter:
            print("  windows handles: not counted (no handle_count.exe, no MinGW compiler)")
        for key in ("windows handles", "threads", "host fds", "wineserver fds",
                    "host's thread count"):
            if key in self.baseline:
                low, high = self.extremes.get(key, [0, 0])
                print("  %-19s start %d, end %s, range %d..%d" % (
                    key, self.baseline[key], self.final.get("%s at the end" % key, "-"), low, high))
        for key in ("threads before the plug-ins", "threads as quit returned", "threads after quit",
                    "lasting threads after quit", "host fds after quit"):
            if key in self.final:
                print("  %s: %d" % (key, self.final[key]))
        sys.stdout.flush()


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--minutes", type=float,
                        default=float(os.environ.get("QUILLET_SOAK_MINUTES", "10")))
    parser.add_argument("--seed", type=int, default=int(os.environ.get("QUILLET_SOAK_SEED",
                                                                         "20240611")))
    args = parser.parse_args()
    return Soak(args.minutes, args.seed).run()


if __name__ == "__main__":
    sys.exit(main())
