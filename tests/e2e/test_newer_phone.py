"""A phone of the later generation end to end: it refuses the older
accessory commands, so the plug-in registers the menu and shows every page
and dialog as the newer set's objects, each one deleted once its successor
is up."""

import re
import unittest

from rig import Session  # noqa: F401
from rig import NEWER_SETUP_COMMANDS, SETUP_COMMANDS


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


if __name__ == "__main__":
    unittest.main()
