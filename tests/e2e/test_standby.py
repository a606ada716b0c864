"""Standing by for the phone: what it costs while the line stays down."""

import time
import unittest

from rig import Session

STANDBY = "MonitorDevice started without connection."
JUNK = "raw 4a 55 4e 4b 0d 0a"  # "JUNK\r\n"
MEASURE_S = 3.0
# Absolute allowance in CPU-s/s: the quiet figure can be close to zero, so a
# ratio alone would fail on noise; a monitor that spins on unread bytes costs
# several times this.
FLOOR = 0.05


class Standby(unittest.TestCase):
    def test_unread_bytes_while_standing_by_cost_no_more_than_quiet(self):
        with Session(dsr=False) as s:
            self.assertTrue(s.wait_trace(STANDBY, 30), s.trace())
            time.sleep(1)  # let start-up work finish before measuring
            quiet = s.cpu_rate(MEASURE_S)
            for _ in range(5):
                s.phone_cmd(JUNK)
            time.sleep(1)
            junk = s.cpu_rate(MEASURE_S)
            self.assertLessEqual(junk, 2 * quiet + FLOOR,
                                 "CPU-s/s with junk queued %.3f, quiet %.3f" % (junk, quiet))
            self.assertNotIn("got connection", s.trace())
            s.phone_cmd("dsr on")
            self.assertTrue(s.wait_connected(15), s.trace())
            # What was on the line before the phone came was dropped, not read.
            self.assertNotIn("JUNK", s.trace())


if __name__ == "__main__":
    unittest.main()
