"""Accessory menus end to end: what the phone shows when the user opens the
"Winamp" menu, computed from the stand-in player's state."""

import re
import unittest

from rig import SETUP_COMMANDS, Session, win_path


def ready(test, s):
    test.assertTrue(s.wait_connected(30), s.trace())
    test.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)


def open_menu(s, commands=1, action="open"):
    """Opens the accessory menu (or does another action on the phone); the
    commands the phone received for it."""
    before = len(s.received())
    s.phone_cmd(action)
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

    def test_answers_that_hold_no_title_show_none(self):
        # A player may answer the title request with -1, a pointer into memory
        # that is gone, or a title with no end before unreadable memory; a
        # large-address-aware one has titles from 0x80000000 up.
        main = ('"%s","%s","Play","Pause","Stop","Track info","Go to track: 2","Playlist",'
                '"Volume: 8","Video window"')
        with Session(entries=3, host_args=["--position", "1"]) as s:
            ready(self, s)
            for answer in ("-1", "2147483648", "65535", "uncommitted", "guard", "page-end",
                           "high", "off"):
                with self.subTest(answer=answer):
                    mark = len(s.host_lines.snapshot())
                    s.host_cmd("title-result " + answer)
                    self.assertTrue(s.wait_host(r"^title answer=", 10, mark), s.host_log()[-2000:])
                    # The title of entry n (1-based), or None.
                    title = {"page-end": lambda n: "Edge of the page",
                             "high": lambda n: "High in memory",
                             "off": lambda n: "Track %d" % n}.get(answer, lambda n: None)
                    (page,) = open_menu(s)
                    header, entries = page.split(" 10,", 1)
                    self.assertRegex(header, r'^AT\*EASM="Winamp menu", 1, \d+,$')
                    self.assertEqual(entries, main % (
                        ("Prev: %s" % title(1), "Next: %s" % title(3)) if title(1)
                        else ("Previous", "Next")))
                    self.assertEqual(open_menu(s, action="choose 6"), [
                        'AT*EAID=14,2,"Now playing","Stopped, %s"' % (title(2) or "")])
                    open_menu(s, action="reject")
                    (page,) = open_menu(s, action="choose 8")
                    self.assertTrue(page.endswith(",".join(
                        '"%d. %s"' % (n, title(n) or "Unknown") for n in (1, 2, 3))), page)
                    open_menu(s, action="back")
            self.assertNotRegex(s.host_log(), r"(?m)^crash")

    def test_built_in_menu_when_plugin_menus_is_set(self):
        with Session(pluginmenus="1") as s:
            ready(self, s)
            self.assertTrue(open_menu(s)[0].startswith('AT*EASM="Winamp menu", 1, 1, 10,'))
            self.assertNotIn("name=registered", "\n".join(
                l for l in s.settle_host() if "thread=monitor" in l))


class PlayModes(unittest.TestCase):
    RATINGS = '6,"No rating","1 star","2 stars","3 stars","4 stars","5 stars"'

    def test_shuffle_and_a_rating_and_a_player_that_keeps_none(self):
        """With PlayModes=1: shuffle turned on and four stars set through their
        dialogs, and both read back at the next opening; a player that keeps
        no ratings gets the notice, which goes back to the main menu."""
        for keeps in (True, False):
            args = ["--position", "3"] + ([] if keeps else ["--no-ratings"])
            with self.subTest(keeps=keeps), \
                    Session(entries=10, ini_lines=["PlayModes=1"], host_args=args) as s:
                ready(self, s)
                mark = len(s.host_lines.snapshot())
                (page,) = open_menu(s)
                requests = [re.search(r"name=(\w+)", line).group(1) for line in s.settle_host()[mark:]
                            if line.startswith("msg kind=sent thread=monitor")]
                self.assertEqual(requests[-3:], ["get_shuffle", "get_repeat", "get_rating"])
                self.assertTrue(page.startswith('AT*EASM="Winamp menu", 1, 1, 13,'), page)
                self.assertTrue(page.endswith('"Volume: 8","Shuffle: Off","Repeat: Off",'
                                              '"Rating: No rating","Video window"'), page)
                self.assertEqual(open_menu(s, action="choose 10"), ['AT*EAID=3,2,"Shuffle",0'])
                (page,) = open_menu(s, action="switch on")
                self.assertIn('"Shuffle: On"', page)
                self.assertTrue(s.wait_host(r"^player shuffle=on", 10, mark), s.host_log()[-2000:])
                self.assertEqual(open_menu(s, action="choose 12"),
                                 ['AT*EAID=5,2,"Rating",1,' + self.RATINGS])
                if keeps:
                    (page,) = open_menu(s, action="list 5")
                    self.assertIn('"Rating: 4 stars"', page)
                else:
                    self.assertEqual(open_menu(s, action="list 5"), [
                        'AT*EAID=14,2,"Rating","This player keeps no ratings."'])
                    (page,) = open_menu(s, action="reject")
                    self.assertTrue(page.startswith('AT*EASM="Winamp menu", 1, 12, 13,'), page)
                # Read from the player again at the next opening.
                (page,) = open_menu(s)
                self.assertIn('"Shuffle: On","Repeat: Off","Rating: %s"'
                              % ("4 stars" if keeps else "No rating"), page)


class MainMenuFollowsThePlayer(unittest.TestCase):
    def test_the_players_own_next_reaches_the_menu_on_the_phone(self):
        for generation, listed in (("older", "AT*EASM="), ("newer", "AT*SELIST=")):
            with self.subTest(generation=generation), Session(
                    entries=5, generation=generation, ini_lines=["FollowTrack=1"],
                    host_args=["--state", "playing"]) as s:
                self.assertTrue(s.wait_connected(30), s.trace())
                s.settle_host()
                before = len(s.received())
                s.phone_cmd("open")
                first = s.phone_events.wait(
                    lambda e: e.get("ev") == "rx" and e["cmd"].startswith(listed), 20)
                self.assertIsNotNone(first, s.trace())
                self.assertIn('"Next: Track 2"', first["cmd"])
                s.settle_host()
                mark = len(s.received())
                # The player's own Next button: the phone is told nothing,
                # and the menu on it follows.
                s.host_cmd("next")
                again = s.phone_events.wait(
                    lambda e: e.get("ev") == "rx" and e["cmd"].startswith(listed)
                    and '"Next: Track 3"' in e["cmd"], 20)
                self.assertIsNotNone(again, s.trace()[-3000:])
                self.assertIn('"Prev: Track 1"', again["cmd"])
                self.assertGreater(len(s.received()), mark)
                self.assertGreater(mark, before)


if __name__ == "__main__":
    unittest.main()
