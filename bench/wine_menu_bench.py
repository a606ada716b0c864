#!/usr/bin/env python3
"""Opening menus under Wine: the real DLL in the stand-in player, the
simulated phone on a pty. From the phone's clock: the time from sending
"*EAAI" (opening the accessory menu) or "*EAMI" (choosing the video window
sub-menu) to receiving the whole page command that answers it, against the
floor of the 50 ms read interval that ends the read holding the code (a pty
has no wire time); and the player requests the plug-in made for each
opening. Prints; asserts nothing."""

import re
import statistics
import time
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools" / "rig"))
from session import SETUP_COMMANDS, Session  # noqa: E402

READ_INTERVAL_MS = 50


def main() -> int:
    openings = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    latencies, requests, choices = [], [], []

    def timed(s, command, code, page_start):
        """The phone's time from sending `code` to receiving the page."""
        # Let the previous page's transaction end its pauses first.
        time.sleep(0.5)
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

    with Session(entries=1000) as s:
        if not s.wait_connected(30) or len(s.wait_received(len(SETUP_COMMANDS))) < 5:
            print("the plug-in did not connect", file=sys.stderr)
            return 1
        for _ in range(openings):
            lines = len(s.host_lines.snapshot())
            latencies.append(timed(s, "open", "*EAAI", "AT*EASM"))
            requests.append(sum(1 for line in s.host_lines.snapshot()[lines:]
                                if re.match(r"msg kind=sent thread=monitor", line)))
            choices.append(timed(s, "choose 10", "*EAMI", 'AT*EASM="Video options"'))
    median = statistics.median(latencies)
    print('Wine: "*EAAI" to the whole page at the phone: median %.0f ms (min %.0f, max %.0f, '
          '%d openings), floor %d ms read interval, ratio %.2f'
          % (median, min(latencies), max(latencies), openings, READ_INTERVAL_MS,
             median / READ_INTERVAL_MS))
    median_choice = statistics.median(choices)
    print('Wine: "*EAMI" (a sub-menu chosen) to the whole page at the phone: median %.0f ms '
          '(min %.0f, max %.0f), floor %d ms read interval, ratio %.2f'
          % (median_choice, min(choices), max(choices), READ_INTERVAL_MS,
             median_choice / READ_INTERVAL_MS))
    print("Wine: host messages per main-menu opening: %s (LoadMenu to the plug-ins + 5 player "
          "requests)" % sorted(set(requests)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
