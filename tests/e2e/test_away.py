"""The phone going away pauses the music, with PauseWhenAway=1 in plugin.ini:
a phone out of reach with its port still open (DSR on) is asked "AT" after
10 s of silence and again 10 s later; unanswered, it is gone and the playing
player pauses; answering again, it is set up afresh and the music plays on."""

import unittest

from rig import SETUP_COMMANDS, Session


class Away(unittest.TestCase):
    def test_a_phone_away_for_25_s_pauses_the_music_until_it_is_back(self):
        with Session(ini_lines=["PauseWhenAway=1"], host_args=["--state", "playing"]) as s:
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)
            mark = len(s.host_lines.snapshot())
            s.phone_away(25)
            self.assertTrue(s.wait_host(r"^player state=paused", 40, mark), s.host_log()[-2000:])
            self.assertTrue(s.wait_trace("info: phone gone\r\n", 5), s.trace()[-2000:])
            self.assertTrue(s.wait_phone_back(30))
            self.assertTrue(s.wait_host(r"^player state=playing", 30, mark), s.trace()[-2000:])
            self.assertTrue(s.wait_trace("info: phone back\r\n", 5), s.trace()[-2000:])
            # The first answer after its return was to a plain "AT"; the
            # whole set-up followed it.
            got = s.received()
            self.assertEqual(got[len(SETUP_COMMANDS):], ["AT"] + SETUP_COMMANDS)
            # Probes are left out of the trace; only the going and coming are in it.
            self.assertNotIn("put:  \rAT\r\r\n", s.trace())
            self.assertEqual(s.trace().count("info: phone gone\r\n"), 1)


if __name__ == "__main__":
    unittest.main()
