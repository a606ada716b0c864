#!/usr/bin/env python3
"""The phone link's cost in real time: the real DLL under Wine, the simulated
phone on a pty. Each command's time is taken from the phone's clock, from the
arrival of one command to the arrival of the next, and set against the floor
of the protocol's pauses (100 ms after a send, 100 ms after each read) and the
9600-baud wire (about 1.04 ms a byte). A pty has no baud rate, so here the
wire costs nothing and the ratio can fall below 1. Prints; asserts nothing."""

import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools" / "rig"))
from session import SETUP_COMMANDS, Session  # noqa: E402

WIRE_MS_PER_BYTE = 10000 / 9600
PAUSES_MS = 200


def answer_bytes(command: str) -> int:
    values = {"AT+CGMI": "SimPhone\r\n", "AT+CGMM": "QX-1\r\n"}
    return len(command) + 1 + len(values.get(command, "")) + len("\r\n\r\nOK\r\n")


def main() -> int:
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    per_command = {c: [] for c in SETUP_COMMANDS[:-1]}
    setups = []
    for _ in range(runs):
        with Session(dsr=False) as s:
            s.phone_cmd("dsr on")
            if not s.wait_connected(30):
                print("the plug-in did not connect", file=sys.stderr)
                return 1
            events = [e for e in s.phone_events.snapshot() if e.get("ev") == "rx"]
            times = [e["t"] for e in events]
            for command, t0, t1 in zip(SETUP_COMMANDS, times, times[1:]):
                per_command[command].append(t1 - t0)
            setups.append(times[-1] - times[0])
    floor_total = 0.0
    for command, samples in per_command.items():
        sent = len(command) + 2
        floor = PAUSES_MS + WIRE_MS_PER_BYTE * (sent + answer_bytes(command))
        floor_total += floor
        mean = statistics.mean(samples)
        print("SendCommand(%s) under Wine: %.1f ms, floor %.1f ms, ratio %.2f"
              % (command[2:], mean, floor, mean / floor))
    mean_setup = statistics.mean(setups)
    print("Set-up under Wine (first to last command of %d): %.1f ms, floor %.1f ms, ratio %.2f"
          % (len(SETUP_COMMANDS), mean_setup, floor_total, mean_setup / floor_total))
    return 0


if __name__ == "__main__":
    sys.exit(main())
