"""The media library on the phone end to end: the stand-in player's library
browsed from the simulated phone, an album put next and a found track played
now, every request on the player's own thread."""

import re
import unittest
from pathlib import Path

from rig import SETUP_COMMANDS, Session, win_path

SAMPLE = Path(__file__).resolve().parents[2] / "tools" / "host" / "sample_library.txt"
ACTS = '"Play now","Play next","Add to playlist"'


def entries(page):
    return re.findall(r'"((?:[^"]|"(?=[^,]))*)"', page.split(",", 4)[4])


class Library(unittest.TestCase):
    def act(self, s, action):
        before = len(s.received())
        s.phone_cmd(action)
        (page,) = s.wait_received(before + 1)[before:]
        return page

    def test_an_album_next_and_a_found_track_now(self):
        with Session(entries=3, ini_lines=["Library=1"],
                     host_args=["--library", win_path(SAMPLE), "--position", "0"]) as s:
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)
            self.assertIn('"Go to track: 1","Library","Playlist"', self.act(s, "open"))
            self.assertEqual(self.act(s, "choose 8"),
                             'AT*EASM="Library", 2, 1, 3,"Artists","Albums","Search library"')
            artists = entries(self.act(s, "choose 1"))
            self.assertIn("Fleetwood Mac", artists)
            self.assertEqual(
                self.act(s, "choose %d" % (artists.index("Fleetwood Mac") + 1)),
                'AT*EASM="Fleetwood Mac", 2, 1, 4,"All tracks","Rumours (1977)","Tusk (1979)",'
                '"Live"')
            self.assertEqual(
                self.act(s, "choose 2"),
                'AT*EASM="Rumours", 2, 1, 7,' + ACTS + ',"1. Second Hand News","2. Dreams",'
                '"3. Never Going Back Again","7. The Chain"')
            mark = len(s.host_lines.snapshot())
            self.assertEqual(self.act(s, "choose 2"),
                             'AT*EAID=14,2,"Play next","Next: Rumours"')
            inserts = [line for line in s.settle_host()[mark:] if "playlist insert" in line]
            self.assertEqual(len(inserts), 4, inserts)
            self.assertIn("index=1 ", inserts[0])
            self.assertIn("index=4 ", inserts[3])
            # Every library request and insert ran on the player's thread.
            self.assertEqual([line for line in s.settle_host()[mark:]
                              if line.startswith("msg kind=sent thread=monitor")], [])
            self.assertTrue(self.act(s, "reject").startswith('AT*EASM="Rumours", 2, 2, 7,'))

            for action in ("back", "back", "back"):
                page = self.act(s, action)
            self.assertEqual(page,
                             'AT*EASM="Library", 2, 1, 3,"Artists","Albums","Search library"')
            self.assertEqual(self.act(s, "choose 3"),
                             'AT*EAID=11,2,"Search library","Artist, album or title",30,""')
            found = self.act(s, "text rumours")
            self.assertEqual(
                found, 'AT*EASM="rumours", 2, 1, 4,"Fleetwood Mac - Second Hand News",'
                '"Fleetwood Mac - Dreams","Fleetwood Mac - Never Going Back Again",'
                '"Fleetwood Mac - The Chain"')
            self.assertEqual(self.act(s, "choose 4"), 'AT*EASM="The Chain", 2, 1, 3,' + ACTS)
            mark = len(s.host_lines.snapshot())
            self.act(s, "choose 1")
            self.assertTrue(s.wait_host(r"playlist insert index=1 .*The Chain", 10, mark),
                            s.host_log()[-2000:])
            self.assertTrue(s.wait_host(r"name=set_position", 10, mark), s.host_log()[-2000:])
            self.assertTrue(s.wait_host(r"name=play\b", 10, mark), s.host_log()[-2000:])

    def test_put_next_with_shuffle_on_is_what_plays_next_once(self):
        with Session(entries=5, ini_lines=["Library=1"],
                     host_args=["--library", win_path(SAMPLE), "--state", "playing"]) as s:
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)
            s.host_cmd("shuffle")
            self.assertTrue(s.wait_host(r"^player shuffle=on", 10), s.host_log()[-2000:])
            self.act(s, "open")
            self.act(s, "choose 8")
            self.act(s, "choose 3")
            self.assertEqual(self.act(s, "text dreams"),
                             'AT*EASM="dreams", 2, 1, 1,"Fleetwood Mac - Dreams"')
            self.act(s, "choose 1")
            self.assertEqual(self.act(s, "choose 2"), 'AT*EAID=14,2,"Play next","Next: Dreams"')
            mark = len(s.host_lines.snapshot())
            s.host_cmd("next")
            self.assertTrue(s.wait_host(r"^advance cause=next answer=1 by=answer entry=1", 10, mark),
                            s.host_log()[-2000:])
            mark = len(s.host_lines.snapshot())
            s.host_cmd("next")
            self.assertTrue(s.wait_host(r"^advance cause=next answer=-1 ", 10, mark),
                            s.host_log()[-2000:])


if __name__ == "__main__":
    unittest.main()
