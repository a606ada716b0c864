#!/usr/bin/env python3
"""What the plug-in costs while nothing happens: CPU seconds per second used by
the stand-in host under Wine plus its wineserver (which carries the serial
waits), with the port disabled, standing by for the phone on a quiet line,
standing by with unread junk queued on the line, and connected but idle.
Prints; asserts nothing. Optional argument: seconds per measurement (5)."""

import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools" / "rig"))
from session import Session, cpu_rates  # noqa: E402

STANDBY = "MonitorDevice started without connection."
JUNK = "raw 4a 55 4e 4b 0d 0a"
SETTLE_S = 1.0


def measure(s: Session, seconds: float):
    rates = cpu_rates(s.wine_pids(), seconds)
    return sum(rates.values()), rates


def report(label: str, total: float, rates: dict) -> None:
    parts = ", ".join("%s %.3f" % item for item in sorted(rates.items()))
    print("%-28s %.3f CPU-s/s (%s)" % (label + ":", total, parts))


def main() -> int:
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 5.0

    with Session(port="Disabled") as s:
        time.sleep(SETTLE_S)
        report("Port=Disabled", *measure(s, seconds))

    with Session(dsr=False) as s:
        if not s.wait_trace(STANDBY, 30):
            print("the plug-in did not stand by", file=sys.stderr)
            return 1
        time.sleep(SETTLE_S)
        quiet, rates = measure(s, seconds)
        report("Standby, quiet line", quiet, rates)
        for _ in range(5):
            s.phone_cmd(JUNK)
        time.sleep(SETTLE_S)
        junk, rates = measure(s, seconds)
        report("Standby, junk queued", junk, rates)

    with Session() as s:
        if not s.wait_connected(30):
            print("the plug-in did not connect", file=sys.stderr)
            return 1
        s.wait_received(5)
        time.sleep(SETTLE_S)
        report("Connected, idle", *measure(s, seconds))

    print("Junk/quiet ratio while standing by: %s"
          % ("%.1f" % (junk / quiet) if quiet > 0 else "n/a (quiet measured 0)"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
