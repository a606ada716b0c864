#!/usr/bin/env python3
"""The phone link's cost in real time: the real DLL under Wine, the simulated
phone on a pty. Each command's time is taken from the phone's clock, from the
arrival of one command to the arrival of the next, and set against the floor
of the protocol's pauses (100 ms after a send, 100 ms after each read) and the
9600-baud wire (about 1.04 ms a byte). A pty has no baud rate, so here the
wire costs nothing and the ratio can fall below 1; the pauses alone are given
too. The set-up is timed from the first command's arrival to the last's, so
it spans every set-up transaction but the last. Reads that timed out between
one command and the next are counted from the plug-in's trace ("gto:").
Prints the medians of the runs; asserts nothing.

Usage: wine_link_bench.py [RUNS] [--json PATH]   (RUNS: 3)"""

import argparse
import json
import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools" / "rig"))
from session import SETUP_COMMANDS, Session  # noqa: E402
from set_up import at  # noqa: E402

WIRE_MS_PER_BYTE = 10000 / 9600
PAUSES_MS = 200


def answer_bytes(command: str) -> int:
    # The simulated phone's answers to the two questions of the set-up.
    values = {at("kManufacturer"): "SimPhone\r\n", at("kModel"): "QX-1\r\n"}
    return len(command) + 1 + len(values.get(command, "")) + len("\r\n\r\nOK\r\n")


def read_timeouts(trace: str) -> dict:
    """For each command put on the line, the reads that timed out before the
    next command was put."""
    counts, current = {}, None
    # Trace lines end in CR LF; what was put keeps its own CRs.
    for line in trace.split("\r\n"):
        if line.startswith("put:  "):
            current = line[6:].strip("\r")
            counts.setdefault(current, 0)
        elif line.startswith("gto:  ") and current is not None:
            counts[current] += 1
    return counts


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("runs", nargs="?", type=int, default=3)
    parser.add_argument("--json", metavar="PATH", help="also write the figures to PATH")
    args = parser.parse_args()

    timed = SETUP_COMMANDS[:-1]  # the last command has no next one to end its time
    per_command = {c: [] for c in timed}
    timeouts = {c: [] for c in timed}
    setups = []
    for _ in range(args.runs):
        with Session(dsr=False) as s:
            s.phone_cmd("dsr on")
            if not s.wait_connected(30):
                print("the plug-in did not connect", file=sys.stderr)
                return 1
            events = [e for e in s.phone_events.snapshot() if e.get("ev") == "rx"]
            received = [e["cmd"] for e in events[:len(SETUP_COMMANDS)]]
            if received != SETUP_COMMANDS:
                print("unexpected set-up commands: %r" % received, file=sys.stderr)
                return 1
            times = [e["t"] for e in events]
            for command, t0, t1 in zip(timed, times, times[1:]):
                per_command[command].append(t1 - t0)
            setups.append(times[len(SETUP_COMMANDS) - 1] - times[0])
            counted = read_timeouts(s.trace())
            for command in timed:
                timeouts[command].append(counted.get(command, 0))

    figures = {"runs": args.runs, "commands": {}, "set_up": {}}
    floor_total = wire_total = 0.0
    for command, samples in per_command.items():
        wire = WIRE_MS_PER_BYTE * (len(command) + 2 + answer_bytes(command))
        floor = PAUSES_MS + wire
        floor_total += floor
        wire_total += wire
        median = statistics.median(samples)
        figures["commands"][command[2:]] = {
            "median_ms": median, "samples_ms": samples, "floor_ms": floor,
            "pause_ms": PAUSES_MS, "wire_ms": wire, "ratio": median / floor,
            "read_timeouts": max(timeouts[command])}
        print("SendCommand(%s) under Wine: median %.1f ms (min %.1f, max %.1f), floor %.1f ms "
              "(%d ms pauses + %.1f ms wire), ratio %.2f; %d read(s) timed out before the next"
              % (command[2:], median, min(samples), max(samples), floor, PAUSES_MS, wire,
                 median / floor, max(timeouts[command])))
    median_setup = statistics.median(setups)
    figures["set_up"] = {
        "median_ms": median_setup, "samples_ms": setups, "floor_ms": floor_total,
        "pause_ms": PAUSES_MS * len(timed), "wire_ms": wire_total,
        "transactions": len(timed), "of_transactions": len(SETUP_COMMANDS),
        "ratio": median_setup / floor_total}
    print("Set-up under Wine (first to last command of %d, %d runs): median %.1f ms, floor "
          "%.1f ms, ratio %.2f"
          % (len(SETUP_COMMANDS), args.runs, median_setup, floor_total,
             median_setup / floor_total))
    if args.json:
        Path(args.json).write_text(json.dumps(figures, indent=1) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
