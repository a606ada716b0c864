"""Remote keys, with RemoteKeys=1 in plugin.ini: the main menu ends with
"Remote keys", whose hold dialog turns the phone's key reports on; a key
press acts on the player, a held volume key repeats, and NO turns the
reports off and shows the menu again. Without the setting the main menu and
the line are as they always were."""

import re
import unittest

from rig import CALL_COMMANDS, SETUP_COMMANDS, Session

REMOTE_KEYS = ["RemoteKeys=1"]
HOLD = 'AT*EAID=13,2,"Remote keys"'
KEYS_ON = "AT+CMER=3,2,0,0,0"
KEYS_OFF = "AT+CMER=0,0,0,0,0"
PAGE = ('AT*EASM="Winamp menu", 1, 1, 10,"Prev: Track 3","Next: Track 5","Play","Pause",'
        '"Stop","Track info","Go to track: 4","Playlist","Volume: 8","Video window"')
NEXT = r"^msg kind=sent thread=monitor .*msg=WM_COMMAND wparam=40048 "
SET_VOLUME = re.compile(r"^msg kind=sent thread=monitor msg=WM_USER wparam=(\d+) lparam=122 ")


class RemoteKeys(unittest.TestCase):
    def ready(self, s, keys=True):
        # A call must close the key screen, so the phone reports calls too.
        setup = SETUP_COMMANDS + (CALL_COMMANDS if keys else [])
        self.assertTrue(s.wait_connected(30), s.trace())
        self.assertEqual(s.wait_received(len(setup)), setup)

    def act(self, s, control, commands):
        """Does `control` on the phone: the commands the phone received for it."""
        before = len(s.received())
        s.phone_cmd(control)
        return s.wait_received(before + commands)[before:]

    def host_since(self, s, mark, pattern):
        return [l for l in s.settle_host()[mark:] if re.search(pattern, l)]

    def test_keys_drive_the_player_until_no(self):
        args = ["--position", "3", "--volume", "200", "--state", "playing"]
        with Session(entries=10, ini_lines=REMOTE_KEYS, host_args=args) as s:
            self.ready(s)
            self.assertEqual(self.act(s, "open", 1), [
                PAGE.replace(", 1, 1, 10,", ", 1, 1, 11,") + ',"Remote keys"'])

            self.assertEqual(self.act(s, "choose 11", 2), [HOLD, KEYS_ON])
            dialog = s.screen()["dialog"]
            self.assertEqual((dialog["kind"], dialog["title"]), ("hold", "Remote keys"))

            # Next: one sent WM_COMMAND 40048, and the player moves on.
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("k >")
            self.assertTrue(s.wait_host(r"^player position=4\b", 10, mark), s.host_log()[-2000:])
            self.assertEqual(len(self.host_since(s, mark, NEXT)), 1)

            # Volume down held 1125 ms: at once, then after 500, 750 and 1000
            # ms, one step of the Volume dialog each.
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("hold v 1125")
            self.assertTrue(s.wait_host(r"^player volume=102\b", 10, mark), s.host_log()[-2000:])
            s.wait_host(r"^never$", 1.0, mark)  # the release, and any repeat after it
            volumes = [int(SET_VOLUME.search(l).group(1))
                       for l in self.host_since(s, mark, SET_VOLUME.pattern)]
            self.assertEqual(volumes, [178, 153, 127, 102])

            # NO: reports off, and the main menu again, its last entry chosen.
            got = self.act(s, "reject", 2)
            self.assertEqual(got[0], KEYS_OFF)
            self.assertTrue(got[1].startswith('AT*EASM="Winamp menu", 1, 11, 11,'), got)
            self.assertTrue(got[1].endswith('"Volume: 4","Video window","Remote keys"'), got)

            # A key the phone reports all the same acts on nothing, and
            # turns the reports off once more.
            mark = len(s.host_lines.snapshot())
            before = len(s.received())
            s.phone_cmd("urc +CKEV: >,1")
            s.phone_cmd("urc +CKEV: >,0")
            self.assertEqual(s.wait_received(before + 1)[before:], [KEYS_OFF])
            self.assertEqual(len(self.act(s, "open", 1)), 1)
            self.assertEqual(self.host_since(s, mark, NEXT), [])
            self.assertEqual(s.received().count(KEYS_OFF), 2)

            self.assertTrue(s.quit_plugin(), s.host_log())
            self.assertRegex(s.settings(), r"(?m)^RemoteKeys=1\r?$")

    def test_without_the_setting_the_menu_and_the_line_are_as_before(self):
        args = ["--position", "3", "--volume", "200", "--state", "playing"]
        with Session(entries=10, host_args=args) as s:
            self.ready(s, keys=False)
            self.assertEqual(self.act(s, "open", 1), [PAGE])
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("urc +CKEV: >,1")
            s.phone_cmd("urc +CKEV: >,0")
            self.assertEqual(self.act(s, "choose 10", 1)[0][:22], 'AT*EASM="Video options')
            self.assertEqual(self.host_since(s, mark, NEXT), [])
            self.assertFalse([c for c in s.received() if "CMER" in c or "EAID=13" in c])
            self.assertTrue(s.quit_plugin(), s.host_log())
            self.assertNotIn("RemoteKeys", s.settings())


if __name__ == "__main__":
    unittest.main()
