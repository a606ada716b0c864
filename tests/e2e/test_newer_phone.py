"""A phone of the later generation end to end: it refuses the older
accessory commands, so the plug-in registers the menu and shows every page
and dialog as the newer set's objects, each one deleted once its successor
is up."""

import re
import time
import unittest

from rig import Session  # noqa: F401
from rig import CONTROL_IDS as ID
from rig import NEWER_SETUP_COMMANDS, SETUP_COMMANDS
from test_config_dialog import Dialog

OBJECT = re.compile(r"AT\*SE(?:LIST|GAUGE|LERT|ONO|STRI)=")
# The phone's model, read last in every set-up.
SET_UP_ENDS = "got:  QX-1\r\n"


class NewerPhone(unittest.TestCase):
    def step(self, s, action, commands):
        """The user's action; the commands the phone received for it."""
        before = len(s.received())
        s.phone_cmd(action)
        got = s.wait_received(before + commands)[before:]
        self.assertEqual(len(got), commands, (action, got, s.trace()[-3000:]))
        return got

    def shown(self, got, command, deleted):
        """A new object, then the deletion of the one it replaced."""
        self.assertTrue(got[0].startswith("AT" + command), got)
        self.assertEqual(got[1], "AT*SEDEL=%d" % deleted, got)

    def test_walk_volume_back_and_cancel(self):
        with Session(entries=120, generation="newer",
                     host_args=["--position", "2", "--volume", "200"]) as s:
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertEqual(s.wait_received(len(NEWER_SETUP_COMMANDS)), NEWER_SETUP_COMMANDS)

            got = self.step(s, "open", 2)
            self.assertEqual(got[0], "AT*SEUIS=1")
            self.assertEqual(got[1], 'AT*SELIST="Winamp menu",3,0,10,0,1,'
                             '"Prev: Track 2","",0,0,0,"Next: Track 4","",0,0,0,"Play","",0,0,0,'
                             '"Pause","",0,0,0,"Stop","",0,0,0,"Track info","",0,0,0,'
                             '"Go to track: 3","",0,0,0,"Playlist","",0,0,0,"Volume: 8","",0,0,0,'
                             '"Video window","",0,0,0')
            obj = 1

            # The playlist, by its groups, down to entry 57.
            self.shown(self.step(s, "pick 8", 2), '*SELIST="Playlist",3,', obj)
            obj += 1
            for _ in range(8):
                entries = s.screen()["menu"]["entries"]
                if any(e.startswith("57. ") for e in entries):
                    mark = len(s.host_lines.snapshot())
                    k = next(i for i, e in enumerate(entries, 1) if e.startswith("57. "))
                    self.shown(self.step(s, "pick %d" % k, 2), "*SELIST=", obj)
                    obj += 1
                    self.assertTrue(s.wait_host(r"^player position=56\b", 15, mark), s.host_log())
                    break
                k = next(i for i, e in enumerate(entries, 1)
                         if re.fullmatch(r"\d+-\d+", e)
                         and int(e.split("-")[0]) <= 57 <= int(e.split("-")[1]))
                self.shown(self.step(s, "pick %d" % k, 2), "*SELIST=", obj)
                obj += 1
            else:
                self.fail("entry 57 not reached")

            # Back up to the main menu.
            while s.screen()["menu"]["title"] != "Winamp menu":
                self.shown(self.step(s, "back", 2), "*SELIST=", obj)
                obj += 1

            # The volume: a gauge of the level dialog's ten steps.
            mark = len(s.host_lines.snapshot())
            got = self.step(s, "pick 9", 2)
            self.assertEqual(got[0], 'AT*SEGAUGE="Volume",2,1,0,8,10')
            self.assertEqual(got[1], "AT*SEDEL=%d" % obj)
            obj += 1
            got = self.step(s, "level 60", 2)
            self.assertTrue(s.wait_host(r"^player volume=153\b", 15, mark), s.host_log())
            self.shown(got, '*SELIST="Winamp menu",3,8,10,', obj)
            obj += 1
            self.assertIn('"Volume: 6"', got[0])

            # Cancel: the page goes, and the session with it.
            self.assertEqual(self.step(s, "cancel", 2), ["AT*SEDEL=%d" % obj, "AT*SEUIS=0"])
            self.assertTrue(s.phone_events.wait(lambda e: e.get("ev") == "menu-left", 10))
            self.assertEqual([e["cmd"] for e in s.phone_events.snapshot()
                              if e.get("ev") == "refused"], SETUP_COMMANDS[:1])
            self.assertNotRegex(s.host_log(), r"(?m)^crash")

    def last_object(self, s):
        """The id the phone gave the last object it took, once the answer to
        every object sent is in the trace."""
        sent = len([c for c in s.received() if OBJECT.match(c)])
        deadline = time.monotonic() + 15
        while True:
            ids = re.findall(r"got:  \*SE(?:LIST|GAUGE|LERT|ONO|STRI): (\d+)\r\n", s.trace())
            if len(ids) >= sent or time.monotonic() > deadline:
                break
            time.sleep(0.05)
        self.assertTrue(ids, s.trace()[-3000:])
        return int(ids[-1])

    def open_and_act(self, s):
        """A fresh opening shows the main menu, and "Next" on it acts."""
        got = self.step(s, "open", 2)
        self.assertEqual(got[0], "AT*SEUIS=1")
        self.assertTrue(got[1].startswith('AT*SELIST="Winamp menu",3,'), got)
        mark = len(s.host_lines.snapshot())
        self.step(s, "pick 2", 2)
        self.assertTrue(s.wait_host(r"^player position=", 15, mark), s.host_log()[-2000:])

    def set_up_done(self, s, set_ups):
        """The set-up begun after `set_ups` ended ones has ended too: the
        phone's model was read and the phone then heard nothing for a second
        (the calls and the character set come after it)."""
        self.assertTrue(s.wait_trace(SET_UP_ENDS, 30, set_ups + 1), s.trace()[-3000:])
        heard, still = len(s.received()), time.monotonic()
        while time.monotonic() - still < 1.0:
            time.sleep(0.1)
            if len(s.received()) != heard:
                heard, still = len(s.received()), time.monotonic()

    def taken_off_first(self, s, before, expected):
        got = s.wait_received(before + len(expected))[before:before + len(expected)]
        self.assertEqual(got, expected, s.trace()[-3000:])

    def test_the_screen_is_taken_off_before_a_set_up_a_port_change_and_quit(self):
        with Session(entries=20, generation="newer", ini_lines=["RemoteKeys=1"]) as s:
            self.set_up_done(s, 0)
            self.step(s, "open", 2)
            # With each box applied, another of the three screens is up.
            for box, action, screen in ((ID["PAUSE_ON_CALL"], None, "list"),
                                        (ID["CHARSET"], "pick 11", "key notice"),
                                        (ID["REMOTE_KEYS"], "pick 9", "gauge")):
                with self.subTest(screen=screen):
                    expected = []
                    if action:
                        self.step(s, action, 3 if screen == "key notice" else 2)
                    if screen == "key notice":
                        expected.append("AT+CMER=0,0,0,0,0")
                    expected += ["AT*SEDEL=%d" % self.last_object(s), "AT*SEUIS=0"]
                    d = Dialog(self, s)
                    before = len(s.received())
                    set_ups = s.trace().count(SET_UP_ENDS)
                    state = d.control(box)["checked"] == "no"
                    s.host_cmd("dialog check %d %d" % (box, state))
                    d.close_with(ID["OK"])
                    self.taken_off_first(s, before, expected)
                    self.assertEqual(s.objects(), 0)
                    self.set_up_done(s, set_ups)
                    self.open_and_act(s)
            # Another port: the old phone is left with nothing of ours up.
            d = Dialog(self, s)
            before = len(s.received())
            s.host_cmd("dialog type %d COM2" % ID["PORT"])
            d.press(ID["APPLY"])
            self.taken_off_first(s, before, ["AT*SEDEL=%d" % self.last_object(s), "AT*SEUIS=0"])
            set_ups = s.trace().count(SET_UP_ENDS)
            s.host_cmd("dialog type %d COM1" % ID["PORT"])
            d.close_with(ID["OK"])
            self.set_up_done(s, set_ups)
            self.open_and_act(s)
            # Quit with the list up.
            before = len(s.received())
            s.quit_plugin()
            self.taken_off_first(s, before, ["AT*SEDEL=%d" % self.last_object(s), "AT*SEUIS=0"])
            self.assertNotRegex(s.host_log(), r"(?m)^crash")


if __name__ == "__main__":
    unittest.main()
