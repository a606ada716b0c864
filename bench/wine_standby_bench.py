#!/usr/bin/env python3
"""What the plug-in costs while nothing happens: CPU seconds per second used by
the stand-in host under Wine plus its wineserver (which carries the serial
waits), with the port disabled, standing by for the phone on a quiet line,
standing by with unread junk queued on the line, and connected but idle,
with PauseWhenAway clear and ticked (the phone then asked "AT" every 10 s).
With the port disabled the plug-in opens no port, so that figure is the
host's own baseline with the plug-in loaded. Beside them, the floor: what a
minimal program (serialprobe.exe) costs under the same Wine while it holds
the same kind of pty, set up as the plug-in sets its port, with one pending
WaitCommEvent, DSR off and on (this Wine polls the modem lines, so the floor
is not 0). Prints; asserts nothing, but fails when a measured process ends
before its window does.

Usage: wine_standby_bench.py [SECONDS] [--json PATH]   (SECONDS per measurement: 60)"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools" / "rig"))
from session import CLK_TCK, PHONE, Lines, Session, cpu_rates, program_pids  # noqa: E402
from set_up import SETUP_COMMANDS  # noqa: E402
import winerun  # noqa: E402  (on the path through session)

PROBE = Path(os.environ.get("QUILLET_SERIALPROBE") or
             ROOT / "build" / "win32" / "tools" / "winerun" / "probe" / "serialprobe.exe")
# The port as the plug-in sets it up, then one comm-event wait left pending.
PROBE_SETUP = (("open", "open ok"), ("timeouts", "timeouts ok"),
               ("state baud=9600 parity=N data=8 stop=1", "state ok"),
               ("mask 17", "mask ok"), ("wait", "wait pending"))

STANDBY = "MonitorDevice started without connection."
JUNK = "raw 4a 55 4e 4b 0d 0a"
SETTLE_S = 1.0
# What a session spends besides its windows and their settling: the host's
# start, the wait for the link's state, the phone's commands, and a margin.
OVERHEAD_S = 90.0


def host_limit(windows: int, seconds: float) -> float:
    """The host's time limit for a session measuring `windows` windows, so
    that it outlives the last of them."""
    return OVERHEAD_S + windows * (SETTLE_S + seconds)


def measure(s: Session, seconds: float, label: str):
    try:
        rates = cpu_rates(s.wine_pids(), seconds)
    except RuntimeError as e:
        killed = " (the host was killed at its time limit)" if s.host.timed_out else ""
        raise RuntimeError("%s: %s%s" % (label, e, killed)) from None
    return sum(rates.values()), rates


def measure_floor(seconds: float, dsr: bool):
    """serialprobe.exe holding the phone's pty with a pending WaitCommEvent."""
    modem = Path(tempfile.mkdtemp(prefix="quillet-floor-"))
    phone = subprocess.Popen(
        [str(PHONE), "--modem-dir", str(modem), "--dsr", "on" if dsr else "off"],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    events = Lines(phone.stdout, lambda text: text)
    probe = replies = None
    try:
        ready = events.wait(lambda text: '"ready"' in text, 10)
        if not ready:
            raise RuntimeError("floor: the phone did not start")
        probe = winerun.start(str(PROBE), [], com1=json.loads(ready)["pty"],
                              modem_dir=str(modem), timeout=host_limit(1, seconds))
        replies = Lines(probe.stdout, lambda text: text)
        if not replies.wait(lambda text: text.startswith("serialprobe ready"), 60):
            raise RuntimeError("floor: serialprobe.exe did not start")
        for command, expected in PROBE_SETUP:
            mark = len(replies.snapshot())
            probe.stdin.write(command.encode() + b"\n")
            probe.stdin.flush()
            got = replies.wait(lambda text: True, 30, mark)
            if not got or not got.startswith(expected):
                raise RuntimeError("floor: serialprobe %r answered %r" % (command, got))
        time.sleep(SETTLE_S)
        try:
            rates = cpu_rates(program_pids(probe, PROBE.name), seconds)
        except RuntimeError as e:
            raise RuntimeError("floor: %s" % e) from None
        return sum(rates.values()), rates
    finally:
        if probe is not None:
            probe.kill()
            if replies is None or replies.stop():
                probe.close()
        if phone.poll() is None:
            try:
                phone.stdin.write(b"quit\n")
                phone.stdin.flush()
                phone.wait(5)
            except Exception:
                phone.kill()
                phone.wait()
        events.stop()
        for stream in (phone.stdin, phone.stdout):
            try:
                stream.close()
            except OSError:
                pass
        shutil.rmtree(modem, ignore_errors=True)


def report(label: str, total: float, rates: dict) -> None:
    parts = ", ".join("%s %.3f" % item for item in sorted(rates.items()))
    print("%-28s %.3f CPU-s/s (%s)" % (label + ":", total, parts))


def main() -> int:
    try:
        return measure_all()
    except RuntimeError as e:
        print("wine_standby_bench: FAILED: %s" % e, file=sys.stderr)
        return 1


def measure_all() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("seconds", nargs="?", type=float, default=60.0)
    parser.add_argument("--json", metavar="PATH", help="also write the figures to PATH")
    args = parser.parse_args()
    seconds = args.seconds
    # The kernel counts CPU time in clock ticks: the figures' resolution.
    figures = {"seconds": seconds, "clock_tick_s": 1 / CLK_TCK, "states": {}, "floors": {}}

    def keep(key: str, total: float, rates: dict) -> None:
        figures["states"][key] = {"cpu_s_per_s": total, "processes": rates}

    def floor(dsr: bool) -> None:
        label = "Floor, DSR %s" % ("on" if dsr else "off")
        total, rates = measure_floor(seconds, dsr)
        report(label, total, rates)
        figures["floors"]["dsr_on" if dsr else "dsr_off"] = {"cpu_s_per_s": total,
                                                              "processes": rates}

    with Session(port="Disabled", host_timeout=host_limit(1, seconds)) as s:
        time.sleep(SETTLE_S)
        total, rates = measure(s, seconds, "Port=Disabled")
        report("Port=Disabled", total, rates)
        keep("disabled", total, rates)

    with Session(dsr=False, host_timeout=host_limit(2, seconds)) as s:
        if not s.wait_trace(STANDBY, 30):
            print("the plug-in did not stand by", file=sys.stderr)
            return 1
        time.sleep(SETTLE_S)
        quiet, rates = measure(s, seconds, "Standby, quiet line")
        report("Standby, quiet line", quiet, rates)
        keep("standby_quiet", quiet, rates)
        for _ in range(5):
            s.phone_cmd(JUNK)
        time.sleep(SETTLE_S)
        junk, rates = measure(s, seconds, "Standby, junk queued")
        report("Standby, junk queued", junk, rates)
        keep("standby_junk", junk, rates)
    floor(dsr=False)

    with Session(host_timeout=host_limit(1, seconds)) as s:
        if not s.wait_connected(30):
            print("the plug-in did not connect", file=sys.stderr)
            return 1
        s.wait_received(len(SETUP_COMMANDS))
        time.sleep(SETTLE_S)
        total, rates = measure(s, seconds, "Connected, idle")
        report("Connected, idle", total, rates)
        keep("connected_idle", total, rates)

    # Ticked, the phone is asked "AT" after every 10 s of silence.
    with Session(ini_lines=["PauseWhenAway=1"], host_timeout=host_limit(1, seconds)) as s:
        if not s.wait_connected(30):
            print("the plug-in did not connect with PauseWhenAway=1", file=sys.stderr)
            return 1
        s.wait_received(len(SETUP_COMMANDS))
        time.sleep(SETTLE_S)
        total, rates = measure(s, seconds, "Connected, idle, away")
        report("Connected, idle, away", total, rates)
        keep("connected_idle_away", total, rates)
    floor(dsr=True)

    print("Junk/quiet ratio while standing by: %s"
          % ("%.1f" % (junk / quiet) if quiet > 0 else "n/a (quiet measured 0)"))
    if args.json:
        Path(args.json).write_text(json.dumps(figures, indent=1) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
