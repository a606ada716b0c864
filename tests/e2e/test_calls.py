"""Calls pause the music, with PauseOnCall=1 in plugin.ini: the set-up asks
the phone for call reports, a ringing call pauses the playing player and its
end resumes it, unless the user changed the player meanwhile; a phone that
refuses keeps everything else working."""

import re
import unittest

from rig import CALL_COMMANDS, SETUP_COMMANDS, Session

PAUSE_ON_CALL = ["PauseOnCall=1"]
WITH_KEYS = PAUSE_ON_CALL + ["RemoteKeys=1"]
KEYS_ON = "AT+CMER=3,2,0,0,0"
KEYS_OFF = "AT+CMER=0,0,0,0,0"
PAUSE = r"^msg kind=sent .*msg=WM_COMMAND wparam=40046\b"


class Calls(unittest.TestCase):
    def connect(self, s, expected):
        self.assertTrue(s.wait_connected(30), s.trace())
        self.assertEqual(s.wait_received(len(expected)), expected)

    def state(self, s):
        mark = len(s.host_lines.snapshot())
        s.host_cmd("status")
        line = s.wait_host(r"^status ", 10, mark)
        self.assertTrue(line, s.host_log()[-2000:])
        return re.search(r" state=(\w+)", line).group(1)

    def settled(self, s):
        """Waits until the plug-in has dealt with everything the phone sent so
        far: the phone's lines are read in order, so once the menu it asks for
        arrives, the reports before it have been acted on."""
        start = len(s.phone_events.snapshot())
        s.phone_cmd("open")
        page = s.phone_events.wait(
            lambda e: e.get("ev") == "rx" and e["cmd"].startswith("AT*EASM="), 10, start)
        self.assertTrue(page, s.received()[-5:])

    def test_a_call_pauses_the_player_and_its_end_resumes_it(self):
        with Session(ini_lines=WITH_KEYS, host_args=["--state", "playing"]) as s:
            self.connect(s, SETUP_COMMANDS + CALL_COMMANDS)
            # Traced once the phone's OK is read, after the phone saw the command.
            self.assertTrue(s.wait_trace("info: calls reported\r\n", 10), s.trace())
            self.assertTrue(s.wait_trace("info: calls listed\r\n", 10), s.trace())

            # The phone blinks away during a call and comes back: set up
            # again, it lists the call, whose end plays the music again.
            # Refusing the list, the next end of a call does it.
            for listed in (True, False):
                mark = len(s.host_lines.snapshot())
                s.phone_cmd("call ring")
                self.assertTrue(s.wait_host(r"^player state=paused", 10, mark),
                                s.host_log()[-2000:])
                if not listed:
                    s.phone_cmd("reply +CLCC error")
                count = len(s.received())
                lost = s.trace().count("info: lost connection\r\n")
                s.phone_cmd("dsr off")
                self.assertTrue(s.wait_trace("info: lost connection\r\n", 10, lost + 1))
                s.phone_cmd("call answer")
                s.phone_cmd("dsr on")
                again = SETUP_COMMANDS + CALL_COMMANDS
                self.assertEqual(s.wait_received(count + len(again))[count:], again)
                outcome = "info: calls listed\r\n" if listed else "info: calls not listed\r\n"
                self.assertTrue(s.wait_trace(outcome, 10, 2 if listed else 1), s.trace()[-2000:])
                self.settled(s)
                self.assertEqual(self.state(s), "paused")
                mark = len(s.host_lines.snapshot())
                s.phone_cmd("call hangup")
                self.assertTrue(s.wait_host(r"^player state=playing", 10, mark),
                                s.trace()[-2000:])
            s.phone_cmd("reply +CLCC clear")

            # Ringing, answered, hung up: paused, then playing again.
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("call ring")
            self.assertTrue(s.wait_host(r"^player state=paused", 10, mark), s.host_log()[-2000:])
            self.assertTrue(s.wait_host(PAUSE, 1, mark), s.host_log()[-2000:])
            s.phone_cmd("call answer")
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("call hangup")
            self.assertTrue(s.wait_host(r"^player state=playing", 10, mark), s.trace()[-2000:])

            # A call waiting behind an active one: nothing until both have ended.
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("call dial")
            self.assertTrue(s.wait_host(r"^player state=paused", 10, mark))
            for control in ("call answer", "call waiting", "call answer", "call hangup 2"):
                s.phone_cmd(control)
            self.settled(s)
            self.assertEqual(self.state(s), "paused")
            s.phone_cmd("call hangup")
            self.assertTrue(s.wait_host(r"^player state=playing", 10, mark))

            # The user picks another track during the call: it stays theirs.
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("call ring")
            self.assertTrue(s.wait_host(r"^player state=paused", 10, mark))
            s.host_cmd("position 5")
            self.assertTrue(s.wait_host(r"^player position=5", 10, mark))
            s.phone_cmd("call missed")
            self.settled(s)
            self.assertEqual(self.state(s), "paused")
            pauses = [l for l in s.host_lines.snapshot()[mark:] if re.search(PAUSE, l)]
            self.assertEqual(len(pauses), 1, pauses)

            # The key screen up, a call comes: the screen closes (reports off,
            # the main menu), and a digit typed in the call plays nothing.
            mark = len(s.host_lines.snapshot())
            s.host_cmd("state playing")
            self.assertTrue(s.wait_host(r"^player state=playing", 10, mark))
            self.settled(s)
            count = len(s.received())
            s.phone_cmd("choose 11")
            self.assertEqual(s.wait_received(count + 2)[count:],
                             ['AT*EAID=13,2,"Remote keys"', KEYS_ON])
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("call ring")
            self.assertTrue(s.wait_host(r"^player state=paused", 10, mark), s.host_log()[-2000:])
            got = s.wait_received(count + 4)[count + 2:]
            self.assertEqual(got[0], KEYS_OFF)
            self.assertTrue(got[1].startswith('AT*EASM="Winamp menu"'), got)
            s.phone_cmd("call answer")
            s.phone_cmd("urc +CKEV: 2,1")
            s.phone_cmd("urc +CKEV: 2,0")
            self.settled(s)
            self.assertEqual(self.state(s), "paused")
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("call hangup")
            self.assertTrue(s.wait_host(r"^player state=playing", 10, mark), s.trace()[-2000:])

            self.assertTrue(s.quit_plugin(), s.host_log())
            self.assertRegex(s.settings(), r"(?m)^PauseOnCall=1\r?$")

    def test_a_phone_without_call_reports_works_as_ever(self):
        with Session(dsr=False, ini_lines=PAUSE_ON_CALL, host_args=["--state", "playing"]) as s:
            s.phone_cmd("reply *ECAM cme 4")
            s.phone_cmd("dsr on")
            self.connect(s, SETUP_COMMANDS + CALL_COMMANDS[:1])
            self.assertTrue(s.wait_trace("info: calls not reported\r\n", 10), s.trace())
            # A report all the same is not acted on; the menus work.
            s.phone_cmd("urc *ECAV: 1,6,1")
            self.settled(s)
            self.assertIn("got:  *ECAV: 1,6,1\r\n", s.trace())
            self.assertEqual(self.state(s), "playing")
            self.assertNotRegex(s.host_log(), r"(?m)^msg .*wparam=40046\b")


if __name__ == "__main__":
    unittest.main()
