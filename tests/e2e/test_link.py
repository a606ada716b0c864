"""The phone link end to end: set-up bytes, reconnection, missing ports, quit."""

import time
import unittest

from rig import INDICATIONS_FALLBACK_SETUP, NEWER_REGISTRATION, SETUP_COMMANDS, Session

SET_UP = len(SETUP_COMMANDS)


class Link(unittest.TestCase):
    def connected(self, s):
        self.assertTrue(s.wait_connected(30), s.trace())

    def test_setup_sends_exactly_the_commands(self):
        with Session() as s:
            self.connected(s)
            self.assertEqual(s.wait_received(SET_UP), SETUP_COMMANDS)
            trace = s.trace()
            for command in SETUP_COMMANDS:
                self.assertIn("put:  \r%s\r\r\n" % command, trace)
                self.assertIn("rply: %s\r\n" % command, trace)
            self.assertIn("info: menus available\r\n", trace)
            self.assertIn("got:  SimPhone\r\n", trace)
            self.assertIn("got:  QX-1\r\n", trace)
            self.assertTrue(trace.startswith("info: OnInit started\r\ninfo: comport open.\r\n"))

    def test_refused_indications_fall_back(self):
        with Session(dsr=False) as s:
            s.phone_cmd("reply +CNMI=3,1 error")
            s.phone_cmd("dsr on")
            self.connected(s)
            self.assertEqual(s.wait_received(len(INDICATIONS_FALLBACK_SETUP)),
                             INDICATIONS_FALLBACK_SETUP)

    def test_standing_by_sends_nothing_until_dsr(self):
        with Session(dsr=False) as s:
            self.assertTrue(s.wait_trace("MonitorDevice started without connection.", 30))
            s.phone_cmd("dsr on")
            self.assertTrue(s.wait_trace("info: got connection", 10), s.trace())
            # Anything sent while standing by would come before the set-up.
            self.assertEqual(s.wait_received(SET_UP), SETUP_COMMANDS)

    def test_dsr_drop_and_return(self):
        with Session() as s:
            self.connected(s)
            s.wait_received(SET_UP)
            s.phone_cmd("dsr off")
            self.assertTrue(s.wait_trace("info: lost connection", 10), s.trace())
            s.phone_cmd("dsr on")
            self.assertTrue(s.wait_trace("info: got connection", 10), s.trace())
            self.assertEqual(s.wait_received(2 * SET_UP), SETUP_COMMANDS * 2)

    def test_missing_port_and_missing_device(self):
        for port, com1 in (("COM5", True), ("COM1", False)):
            with self.subTest(port=port, com1=com1):
                with Session(port=port, com1=com1) as s:
                    self.assertTrue(s.wait_trace("MonitorDevice started without connection.",
                                                 20), s.trace())
                    self.assertNotIn("comport open.", s.trace())
                    self.assertTrue(s.quit_plugin(10), s.host_log())

    def test_a_port_above_com9_connects_and_keeps_its_name(self):
        # Windows finds COM12 only as \\.\COM12; the user's name stays as typed.
        with Session(port="COM12", phone_port="COM12") as s:
            self.connected(s)
            self.assertEqual(s.wait_received(SET_UP), SETUP_COMMANDS)
            self.assertTrue(s.trace().startswith("info: OnInit started\r\ninfo: comport open.\r\n"))
            s.phone_cmd("open")
            self.assertTrue(s.wait_received(SET_UP + 1)[SET_UP].startswith('AT*EASM="Winamp menu",'))
            self.assertTrue(s.quit_plugin(20), s.host_log())
            self.assertRegex(s.settings(), r"(?m)^Port=COM12\r?$")

    def test_idle_link_stays_connected_across_wait_timeouts(self):
        # The 10 s comm-event wait runs out while idle; it must not look like
        # a lost phone, and nothing is sent.
        with Session() as s:
            self.connected(s)
            s.wait_received(SET_UP)
            time.sleep(12)
            s.phone_cmd("open")
            # The page answers the code, after anything the idle time brought.
            received = s.wait_received(SET_UP + 1)
            self.assertEqual(received[:SET_UP], SETUP_COMMANDS)
            self.assertRegex("\n".join(received[SET_UP:]), r"^AT\*EASM=[^\n]*$")
            self.assertNotIn("lost connection", s.trace())

    def test_codes_after_junk_nul_and_chunking_are_read(self):
        with Session() as s:
            self.connected(s)
            s.wait_received(SET_UP)
            s.phone_cmd("raw 00 00 4a 55 4e 4b 00 0d 0a")
            s.phone_cmd("urc RING")
            s.phone_cmd("pace 1 3")
            s.phone_cmd("open")
            self.assertTrue(s.wait_trace("got:  *EAAI\r\n", 5), s.trace())
            self.assertIn("got:  JUNK\r\n", s.trace())

    def test_chunked_and_garbled_replies_during_setup(self):
        with Session(dsr=False) as s:
            s.phone_cmd("pace 2 5")
            s.phone_cmd("reply *EAM echo-garble times 1")
            s.phone_cmd("dsr on")
            self.connected(s)
            received = s.wait_received(SET_UP + 1)
            self.assertEqual(received, SETUP_COMMANDS[:1] + SETUP_COMMANDS)
            self.assertIn("info: menus available", s.trace())

    def test_values_holding_ok_or_at_are_kept_whole(self):
        with Session(dsr=False) as s:
            s.phone_cmd("value +CGMI NOKIA OK")
            s.phone_cmd("value +CGMM ATLAS OK")
            s.phone_cmd("dsr on")
            self.connected(s)
            self.assertEqual(s.wait_received(SET_UP), SETUP_COMMANDS)
            trace = s.trace()
            self.assertIn("got:  NOKIA OK\r\n", trace)
            self.assertIn("got:  ATLAS OK\r\n", trace)
            self.assertNotIn("reply not given", trace)

    def test_command_never_echoed_right_is_sent_three_times(self):
        with Session(dsr=False) as s:
            s.phone_cmd("reply *EAM echo-lower")
            s.phone_cmd("dsr on")
            self.connected(s)
            received = s.wait_received(SET_UP + 3)
            self.assertEqual(received,
                             SETUP_COMMANDS[:1] * 3 + NEWER_REGISTRATION[:1] + SETUP_COMMANDS[1:])
            self.assertIn("info: menus not available", s.trace())

    def test_quit_while_connected_and_while_busy(self):
        with Session() as s:
            self.connected(s)
            began = time.monotonic()
            self.assertTrue(s.quit_plugin(20), s.host_log())
            self.assertLess(time.monotonic() - began, 5)
            self.assertNotRegex(s.host_log(), r"(?m)^crash")
        # Busy: the phone never answers, so the set-up is under way at quit.
        with Session(dsr=False) as s:
            s.phone_cmd("reply all silent")
            s.phone_cmd("dsr on")
            self.assertTrue(s.wait_trace("put:  \rAT*EAM", 10), s.trace())
            began = time.monotonic()
            self.assertTrue(s.quit_plugin(20), s.host_log())
            self.assertLess(time.monotonic() - began, 5)
            self.assertNotRegex(s.host_log(), r"(?m)^crash")


if __name__ == "__main__":
    unittest.main()
