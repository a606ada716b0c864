"""The whole loop end to end: entries chosen on the phone reach the player,
dialogs open with the items' values and their answers are applied, the
playlist is walked to one entry, and a third-party plug-in's menu works
through the registered messages."""

import re
import unittest

from rig import SAMPLE_MENU, SETUP_COMMANDS, Session

# The phone's own codes, which may come at any time.
UNSOLICITED = ["RING", "+CRING: VOICE", '+CLIP: "+4930123",145', '+CMTI: "SM",3', "+CDS: 6,9",
               "+CIEV: 2,1", "NO CARRIER"]


def raw(text):
    return "raw " + text.encode("latin-1").hex()


class Phone:
    """Drives the phone of a session and reads back what it received."""

    def __init__(self, test, s):
        self.test, self.s = test, s
        test.assertTrue(s.wait_connected(30), s.trace())
        test.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)

    def act(self, command, expect=1):
        """Runs a phone command; the commands the plug-in sent for it."""
        before = len(self.s.received())
        self.s.phone_cmd(command)
        got = self.s.wait_received(before + expect)[before:]
        self.test.assertEqual(len(got), expect, (command, got, self.s.trace()[-2000:]))
        return got

    def page(self):
        """The menu page on the phone's screen, once it has taken in every
        command received so far."""
        return self.s.screen()["menu"]

    def choose(self, label, expect=1):
        """Chooses the entry with this label on the page shown."""
        entries = self.page()["entries"]
        self.test.assertIn(label, entries)
        return self.act("choose %d" % (entries.index(label) + 1), expect)

    def host_after(self, mark, pattern, timeout=10):
        return self.s.wait_host(pattern, timeout, mark)


class Loop(unittest.TestCase):
    def test_transport_volume_and_go_to_track(self):
        with Session(entries=10, host_args=["--position", "3", "--state", "playing"]) as s:
            p = Phone(self, s)
            p.act("open")
            mark = len(s.host_lines.snapshot())
            (page,) = p.choose("Next: Track 5")
            self.assertTrue(page.startswith('AT*EASM="Winamp menu", 1, 2, 10,'), page)
            self.assertTrue(p.host_after(mark, r"^msg kind=posted .*wparam=40048 .*name=next"))
            self.assertTrue(p.host_after(mark, r"^player position=4"))

            # The volume follows interim answers, and the final one is kept.
            (dialog,) = p.choose("Volume: 8")
            self.assertEqual(dialog, 'AT*EAID=4,2,"Volume",10,8')
            mark = len(s.host_lines.snapshot())
            p.act("interim 50", expect=0)
            self.assertTrue(p.host_after(mark, r"^player volume=127"), s.host_log()[-2000:])
            (page,) = p.act("level 100")
            self.assertIn('"Volume: 10"', page)
            self.assertTrue(p.host_after(mark, r"^player volume=255"))

            # Go to track while playing: the position, then play.
            (dialog,) = p.act("choose 7")
            self.assertRegex(dialog, r'^AT\*EAID=7,2,"Go to track","Track number",1,10,\d+$')
            mark = len(s.host_lines.snapshot())
            (page,) = p.act("number 8")
            self.assertIn('"Go to track: 8"', page)
            self.assertIn('"Prev: Track 7","Next: Track 9"', page)
            self.assertTrue(p.host_after(mark, r"^msg kind=sent .*wparam=7 lparam=121"))
            self.assertTrue(p.host_after(mark, r"^msg kind=sent .*wparam=40045 .*name=play"))

            # ... and while stopped: only the position.
            s.host_cmd("state stopped")
            p.act("choose 7")
            mark = len(s.host_lines.snapshot())
            (page,) = p.act("number 2")
            self.assertIn('"Go to track: 2"', page)
            self.assertTrue(p.host_after(mark, r"^player position=1"))
            self.assertNotRegex("\n".join(s.settle_host()[mark:]), r"name=play\b")

    def test_playlist_walk_to_one_of_five_thousand(self):
        with Session(entries=5000) as s:
            p = Phone(self, s)
            p.act("open")
            p.choose("Playlist")
            self.assertEqual(p.page()["entries"],
                             ["1-1000", "1001-2000", "2001-3000", "3001-4000", "4001-5000"])
            p.choose("4001-5000")
            p.choose("4301-4400")
            p.choose("4321-4330")
            self.assertIn("4321. Track 4321", p.page()["entries"])
            while "4327. Track 4327" not in p.page()["entries"]:
                p.choose(">>")
            mark = len(s.host_lines.snapshot())
            p.choose("4327. Track 4327")
            self.assertTrue(p.host_after(mark, r"^player position=4326"), s.host_log()[-2000:])
            self.assertNotRegex("\n".join(s.settle_host()[mark:]), r"name=play\b")
            # Back climbs the levels to the top page, which keeps the place.
            for _ in range(3):
                p.act("back")
            self.assertEqual(p.page()["entries"][p.page()["selected"] - 1], "4001-5000")

    def test_now_playing_and_video_window(self):
        with Session(entries=3, host_args=["--position", "1", "--state", "paused"]) as s:
            p = Phone(self, s)
            p.act("open")
            (notice,) = p.choose("Track info")
            self.assertEqual(notice, 'AT*EAID=14,2,"Now playing","Paused, Track 2"')
            (page,) = p.act("reject")
            self.assertTrue(page.startswith('AT*EASM="Winamp menu", 1, 6, 10,'), page)
            p.choose("Video window")
            (dialog,) = p.choose("Shown: Off")
            self.assertEqual(dialog, 'AT*EAID=3,2,"Shown",0')
            mark = len(s.host_lines.snapshot())
            (page,) = p.act("switch on")
            self.assertEqual(page, 'AT*EASM="Video options", 2, 1, 2,"Shown: On","Fullscreen"')
            self.assertTrue(p.host_after(mark, r"^player video=on"))

            # The phone's own codes inside a page's transaction: it still ends
            # on its OK, and the code is read after it.
            for code in UNSOLICITED:
                s.phone_cmd("reply *EASM times 1 interject " + code)
                p.choose("Fullscreen")
                self.assertTrue(s.wait_trace("rply: OK\r\ngot:  %s\r\n" % code, 5),
                                s.trace()[-1500:])
            # A user's code beside one of them, or inside a transaction, is acted on.
            p.act(raw("\r\nNO CARRIER\r\n*EAMI: 2\r\n"))
            s.phone_cmd("reply *EASM times 1 interject *EAMI: 2")
            p.choose("Fullscreen", expect=2)
            self.assertTrue(p.host_after(mark, r"^player fullscreen=%d" % (len(UNSOLICITED) + 3)))
            # A refused page or dialog leaves the link serving the next request.
            s.phone_cmd("reply *EASM error times 1")
            p.choose("Fullscreen")
            s.phone_cmd("reply *EAID cme 3 times 1")
            p.choose("Shown: On")
            self.assertIsNone(s.screen()["dialog"])
            p.choose("Shown: On")
            (page,) = p.act("switch off")
            self.assertEqual(page, 'AT*EASM="Video options", 2, 1, 2,"Shown: Off","Fullscreen"')

    def test_sample_plugin_menu_values_reach_it_with_translated_ids(self):
        with Session(companions=[SAMPLE_MENU]) as s:
            p = Phone(self, s)
            (page,) = p.act("open")
            self.assertEqual(page, 'AT*EASM="Sample menu", 1, 1, 8,"Player menu","Options","Play",'
                                   '"Brightness: 5","Colour: Green","Shuffle: Off","Count: 7",'
                                   '"Name: Quillet"')
            (dialog,) = p.choose("Colour: Green")
            self.assertEqual(dialog, 'AT*EAID=5,2,"Colour",2,3,"Red","Green","Blue"')
            mark = len(s.host_lines.snapshot())
            (page,) = p.act("list 3")
            self.assertIn('"Colour: Blue"', page)
            self.assertTrue(p.host_after(mark, r"^plugin sample value_changed id=1011 value=2"))

            (dialog,) = p.choose("Count: 7")
            self.assertEqual(dialog, 'AT*EAID=7,2,"Count","How many",1,99,7')
            p.act("number 42")
            self.assertTrue(p.host_after(mark, r"^plugin sample value_changed id=1013 value=42"))

            (dialog,) = p.choose("Name: Quillet")
            self.assertEqual(dialog, 'AT*EAID=11,2,"Name","Your name",20,"Quillet"')
            (page,) = p.act('text Say "hi" to all of you, please')
            self.assertIn('"Name: Say "', page)
            self.assertTrue(p.host_after(mark, r"^plugin sample value_changed id=1014 "))

            # The sub-menu is asked for under its translated id; back returns.
            mark = len(s.host_lines.snapshot())
            (page,) = p.choose("Options")
            self.assertEqual(page, 'AT*EASM="Sample options", 2, 1, 3,"Fullscreen","Volume: 5",'
                                   '"Missing"')
            self.assertTrue(p.host_after(mark, r'^plugin sample menu_closed menu=main id=1000 '
                                               r'text="Say "'))
            self.assertTrue(p.host_after(mark, r"^plugin sample load_menu id=1001 answered=yes"))
            (notice,) = p.choose("Missing")
            self.assertEqual(notice, 'AT*EAID=14,0,"Missing menu","This menu is not available."')
            p.act("open")
            p.choose("Options")
            mark = len(s.host_lines.snapshot())
            (page,) = p.act("back")
            self.assertTrue(page.startswith('AT*EASM="Sample menu", 1, 2, 8,'), page)
            self.assertTrue(p.host_after(mark, r"^plugin sample menu_closed menu=options id=1001"))
            # Its "Player menu" opens the plug-in's own main menu.
            (page,) = p.choose("Player menu")
            self.assertTrue(page.startswith('AT*EASM="Winamp menu", 1, 1, 10,'), page)

    def test_plugin_menus_2_offers_both_main_menus_on_a_menus_page(self):
        with Session(pluginmenus="2", companions=[SAMPLE_MENU]) as s:
            p = Phone(self, s)
            mark = len(s.host_lines.snapshot())
            (page,) = p.act("open")
            self.assertEqual(page, 'AT*EASM="Menus", 1, 1, 2,"Winamp menu","Sample menu"')
            # The offered record went back to its owner until it is chosen.
            self.assertTrue(p.host_after(mark, r"^plugin sample menu_closed menu=main id=1000"))
            (page,) = p.choose("Sample menu")
            self.assertTrue(page.startswith('AT*EASM="Sample menu", 2, 1, 8,'), page)
            (page,) = p.act("back")
            self.assertEqual(page, 'AT*EASM="Menus", 1, 2, 2,"Winamp menu","Sample menu"')
            (page,) = p.choose("Winamp menu")
            self.assertTrue(page.startswith('AT*EASM="Winamp menu", 2, 1, 10,'), page)
            (page,) = p.act("back")
            self.assertTrue(page.startswith('AT*EASM="Menus", 1, 1, 2,'), page)


if __name__ == "__main__":
    unittest.main()
