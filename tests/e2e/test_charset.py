"""Titles in every language, end to end: with Charset in plugin.ini the
plug-in agrees a character set with the phone after the set-up, reads the
player's titles in UTF-16 (WM_USER 213) and sends them in that set; without
the key every byte is what it always was."""

import re
import subprocess
import sys
import unittest
from pathlib import Path

from rig import CHARSET_AUTO_COMMANDS, SETUP_COMMANDS, Session, win_path

TOUR = Path(__file__).resolve().parents[2] / "tools" / "rig" / "tour.py"

CAFE = "Caf\u00e9 \u2013 D\u00e9j\u00e0 Vu"
KINO = "\u041a\u0438\u043d\u043e"
TITLES = ["Plain", CAFE, KINO]


def ansi(text):
    """What the player's code page (Windows-1252 under the rig's Wine) makes
    of a title, as the bytes the rig shows as Latin-1 text."""
    return text.encode("cp1252", errors="replace").decode("latin-1")


class Charset(unittest.TestCase):
    def walk(self, charset, setup, then=None):
        """Connects with `charset` (None: no Charset line), opens the main menu
        with entry 1 current (so Prev names entry 3 and Next entry 2) and
        returns the page as sent, the screen's menu and the host's requests;
        `then(s)`, when given, goes on from there with FindTrack=1."""
        ini = [] if charset is None else ["Charset=" + charset]
        ini += ["FindTrack=1"] if then else []
        with Session(entries=1, ini_lines=ini, host_args=["--utf8-titles"]) as s:
            playlist = s.dir / "titles.txt"
            playlist.write_bytes("\n".join(TITLES).encode("utf-8") + b"\n")
            s.host_cmd("playlist " + win_path(playlist))
            self.assertTrue(s.wait_host(r"^player entries=3", 10), s.host_log()[-2000:])
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertEqual(s.wait_received(len(SETUP_COMMANDS) + len(setup)),
                             SETUP_COMMANDS + setup)
            if charset is not None:
                agreed = setup[-1].split('"')[1] if setup else None
                self.assertTrue(s.wait_trace("info: character set: %s\r\n" % agreed, 10)
                                if agreed else
                                s.wait_trace("info: character set: none agreed", 10), s.trace())
            mark = len(s.host_lines.snapshot())
            before = len(s.received())
            s.phone_cmd("open")
            page = s.wait_received(before + 1)[before]
            menu = s.screen()["menu"]
            requests = [re.search(r"lparam=(\d+)", line).group(1) for line in s.settle_host()[mark:]
                        if line.startswith("msg kind=sent thread=monitor")]
            if then:
                then(s)
            self.assertNotRegex(s.host_log(), r"(?m)^crash")
            return page, menu, requests

    def test_auto_picks_utf8_and_the_screen_shows_every_script(self):
        page, menu, requests = self.walk("auto", CHARSET_AUTO_COMMANDS)
        self.assertEqual(menu["charset"], "UTF-8")
        self.assertEqual(menu["shown"]["entries"][0:2], ["Prev: " + KINO, "Next: " + CAFE])
        # The bytes on the line are UTF-8.
        self.assertIn(('"Prev: %s","Next: %s"' % (KINO, CAFE)).encode("utf-8").decode("latin-1"),
                      page)
        self.assertEqual(requests.count("213"), 2)
        self.assertNotIn("212", requests)

    def test_find_an_accented_title_and_play_it(self):
        def find(s):
            entries = s.screen()["menu"]["entries"]
            self.assertEqual(entries[6:9], ["Go to track: 1", "Find track", "Playlist"])
            before = len(s.received())
            s.phone_cmd("choose 8")
            self.assertEqual(s.wait_received(before + 1)[before:],
                             ['AT*EAID=11,2,"Find track","Title contains",30,""'])
            s.phone_cmd("text deja vu")
            page = s.wait_received(before + 2)[before + 1]
            # Read in UTF-16, sent in the code page as every title without Charset.
            self.assertEqual(page, 'AT*EASM="deja vu", 2, 1, 1,"2. %s"' % ansi(CAFE))
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("choose 1")
            self.assertTrue(s.wait_host(r"^player position=1", 10, mark), s.host_log()[-2000:])
            self.assertTrue(s.wait_host(r"^player state=playing", 10, mark), s.host_log()[-2000:])

        self.walk(None, [], then=find)

    def test_8859_1_shows_the_dash_as_a_hyphen(self):
        page, menu, _ = self.walk("8859-1", ["AT+CSCS?", 'AT+CSCS="8859-1"'])
        self.assertEqual(menu["charset"], "8859-1")
        self.assertEqual(menu["shown"]["entries"][0:2],
                         ["Prev: ????", "Next: Caf\u00e9 - D\u00e9j\u00e0 Vu"])
        self.assertIn('"Prev: ????","Next: Caf\u00e9 - D\u00e9j\u00e0 Vu"', page)

    def test_without_the_key_the_bytes_are_todays(self):
        page, menu, requests = self.walk(None, [])
        self.assertNotIn("charset", menu)
        self.assertEqual(page, 'AT*EASM="Winamp menu", 1, 1, 10,"Prev: %s","Next: %s","Play",'
                               '"Pause","Stop","Track info","Go to track: 1","Playlist",'
                               '"Volume: 8","Video window"' % (ansi(KINO), ansi(CAFE)))
        self.assertNotIn("213", requests)

    def test_the_tour_sends_typed_text_in_the_agreed_set_and_answers_mistakes_in_a_line(self):
        typed = ["o", "8", "t " + KINO.lower(), "frobnicate", "l abc", "! reply"]
        run = subprocess.run([sys.executable, str(TOUR), "--interactive", "--phone", "newer",
                              "--find", "--charset", "auto", "--entries", "20"],
                             input=("\n".join(typed) + "\n").encode("utf-8") + b"t \xe9\nq\n",
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
        out = run.stdout.decode("utf-8", "replace")
        self.assertEqual(run.returncode, 0, out[-3000:])
        self.assertNotIn("Traceback", out)
        # The newer phone's text field shows its own limit; the text goes out in UTF-8.
        self.assertIn("Title contains (up to 100)", out)
        self.assertRegex(out, r'phone sends +\*SEGUII: \d+,11,"%s"' % KINO.lower())
        # Each mistake: one line that says what went wrong, and the tour goes on.
        answers = {}
        for block in out.split("\n> ")[1:]:
            line, *said = block.split("\n")
            answers[line] = [l for l in said if l.startswith("?? ")]
        self.assertEqual(answers["frobnicate"], ["?? 'frobnicate': type h for the commands"])
        self.assertEqual(answers["l abc"], ["?? 'l abc': expected a number"])
        self.assertEqual(answers["! reply"], ["?? '! reply': reply: missing prefix"])
        self.assertEqual(answers["t \\xe9"], ["?? 't \\\\xe9': not UTF-8 text"])


if __name__ == "__main__":
    unittest.main()
