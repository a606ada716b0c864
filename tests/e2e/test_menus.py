"""Accessory menus end to end: what the phone shows when the user opens the
"Winamp" menu, computed from the stand-in player's state."""

import re
import unittest

from rig import SETUP_COMMANDS, Session, win_path


def ready(test, s):
    test.assertTrue(s.wait_connected(30), s.trace())
    test.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)


def open_menu(s, commands=1):
    """Opens the accessory menu; the commands the phone received for it."""
    before = len(s.received())
    s.phone_cmd("open")
    return s.wait_received(before + commands)[before:]


class MainMenu(unittest.TestCase):
    def test_opening_shows_the_players_state(self):
        with Session(entries=10, host_args=["--position", "3", "--volume", "200"]) as s:
            ready(self, s)
            mark = len(s.host_lines.snapshot())
            self.assertEqual(open_menu(s), [
                'AT*EASM="Winamp menu", 1, 1, 10,"Prev: Track 3","Next: Track 5","Play","Pause",'
                '"Stop","Track info","Go to track: 4","Playlist","Volume: 8","Video window"'])
            requests = [line for line in s.settle_host()[mark:]
                        if line.startswith("msg kind=sent thread=monitor")]
            self.assertEqual([re.search(r"name=(\w+)", r).group(1) for r in requests], [
                "registered", "get_volume", "playlist_position", "playlist_length",
                "entry_title", "entry_title"])
            # The phone shows what was sent, as one page.
            menu = s.phone_events.wait(lambda e: e.get("ev") == "menu", 5)["menu"]
            self.assertEqual(menu["entries"][0:2], ["Prev: Track 3", "Next: Track 5"])
            self.assertTrue(menu["countMatches"])

            s.host_cmd("position 9")
            s.host_cmd("volume 0")
            self.assertEqual(open_menu(s), [
                'AT*EASM="Winamp menu", 1, 1, 10,"Prev: Track 9","Next: Track 1","Play","Pause",'
                '"Stop","Track info","Go to track: 10","Playlist","Volume: 0","Video window"'])

    def test_a_title_with_a_quote_and_a_cr_stays_one_command(self):
        with Session(entries=1) as s:
            playlist = s.dir / "hostile.txt"
            playlist.write_bytes(b'First\n12" Mix\rAT+CFUN=0\rx\nLast\n')
            s.host_cmd("playlist " + win_path(playlist))
            s.host_cmd("position 0")
            ready(self, s)
            self.assertEqual(open_menu(s), [
                'AT*EASM="Winamp menu", 1, 1, 10,"Prev: Last","Next: 12\' Mix AT+CFUN=0 x",'
                '"Play","Pause","Stop","Track info","Go to track: 1","Playlist","Volume: 8",'
                '"Video window"'])
            refused = [e for e in s.phone_events.snapshot() if e.get("ev") == "refused"]
            self.assertEqual(refused, [])
            self.assertNotIn("AT+CFUN=0", s.received())

    def test_built_in_menu_when_plugin_menus_is_set(self):
        with Session(pluginmenus="1") as s:
            ready(self, s)
            self.assertTrue(open_menu(s)[0].startswith('AT*EASM="Winamp menu", 1, 1, 10,'))
            self.assertNotIn("name=registered", "\n".join(
                l for l in s.settle_host() if "thread=monitor" in l))


if __name__ == "__main__":
    unittest.main()
