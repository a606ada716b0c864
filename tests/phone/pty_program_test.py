#!/usr/bin/env python3
"""Drives quillet-phone on a real pty: the plug-in's side writes to the slave,
the harness's side talks JSON on the program's stdin/stdout. Every wait is
bounded by a deadline; nothing sleeps."""

import json
import os
import select
import subprocess
import sys
import tempfile
import time
import unittest

PROGRAM = None
WAIT = 5.0  # seconds, upper bound of any single wait


class Phone:
    def __init__(self, modem_dir, *args):
        self.proc = subprocess.Popen(
            [PROGRAM, "--modem-dir", modem_dir, *args],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.pending = b""
        self.events = []
        ready = self.wait_event(lambda e: e["ev"] == "ready")
        self.pty = ready["pty"]
        self.modem = ready["modem"]
        self.fd = os.open(self.pty, os.O_RDWR | os.O_NOCTTY)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(WAIT)
        os.close(self.fd)
        self.proc.stdin.close()
        self.proc.stdout.close()

    def control(self, line):
        """A control line, typed text in UTF-8 (or given as bytes)."""
        data = line if isinstance(line, bytes) else line.encode("utf-8")
        self.proc.stdin.write(data + b"\n")
        self.proc.stdin.flush()
        # Events carry bytes as the code points of the same value.
        return self.wait_event(lambda e: e["ev"] in ("ack", "error") and
                               e["cmd"].encode("latin-1") == data)

    def wait_event(self, match):
        for i, event in enumerate(self.events):
            if match(event):
                del self.events[: i + 1]
                return event
        deadline = time.monotonic() + WAIT
        out = self.proc.stdout.fileno()
        while time.monotonic() < deadline:
            while b"\n" in self.pending:
                line, self.pending = self.pending.split(b"\n", 1)
                event = json.loads(line)
                if match(event):
                    return event
                self.events.append(event)
            ready, _, _ = select.select([out], [], [], deadline - time.monotonic())
            if ready:
                chunk = os.read(out, 65536)
                if not chunk:
                    break
                self.pending += chunk
        raise AssertionError("event not seen; kept: %r" % self.events)

    def write(self, data):
        os.write(self.fd, data)

    def read_until(self, expected):
        got = b""
        deadline = time.monotonic() + WAIT
        while len(got) < len(expected) and time.monotonic() < deadline:
            ready, _, _ = select.select([self.fd], [], [], deadline - time.monotonic())
            if ready:
                got += os.read(self.fd, 4096)
        return got


class PtyPhoneTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.phone = Phone(self.dir.name)

    def tearDown(self):
        self.phone.close()
        self.dir.cleanup()

    def modem_lines(self):
        with open(self.phone.modem) as f:
            return int(f.read())

    def test_value_command_bytes(self):
        self.assertTrue(self.phone.pty.startswith("/dev/pts/"))
        self.phone.write(b"\rAT+CGMI\r")
        expected = b"AT+CGMI\r\r\nSimPhone\r\n\r\nOK\r\n"
        self.assertEqual(self.phone.read_until(expected), expected)
        rx = self.phone.wait_event(lambda e: e["ev"] == "rx")
        self.assertEqual((rx["cmd"], rx["result"]), ("AT+CGMI", "OK"))
        tx = self.phone.wait_event(lambda e: e["ev"] == "tx")
        self.assertEqual(tx["bytes"].encode("latin-1"), expected)
        # The tty layer must not echo the phone's own output back to it.
        self.phone.control("history")
        history = self.phone.wait_event(lambda e: e["ev"] == "history")
        self.assertEqual(history["cmds"], ["AT+CGMI"])

    def test_byte_by_byte_and_no_tty_translation(self):
        for b in b"\rAT+CNMI=3,1\r":
            self.phone.write(bytes([b]))
        expected = b"AT+CNMI=3,1\r\r\nOK\r\n"
        self.assertEqual(self.phone.read_until(expected), expected)

    def test_dsr_file(self):
        self.assertEqual(os.path.basename(self.phone.modem),
                         "pts-" + self.phone.pty.rsplit("/", 1)[1])
        self.assertEqual(self.modem_lines(), 0x160)
        self.phone.control("dsr off")
        self.assertEqual(self.modem_lines(), 0)
        self.phone.control("dsr on")
        self.assertEqual(self.modem_lines(), 0x160)

    def test_menu_screen_and_user(self):
        self.phone.write(b'\rAT*EAM="Winamp"\r\rAT*EASM="Video options", 2, 1, 2,'
                         b'"Shown: Off","Fullscreen"\r')
        menu = self.phone.wait_event(lambda e: e["ev"] == "menu")["menu"]
        self.assertEqual(menu["title"], "Video options")
        self.assertEqual(menu["entries"], ["Shown: Off", "Fullscreen"])
        self.phone.control("screen")
        screen = self.phone.wait_event(lambda e: e["ev"] == "screen")["screen"]
        self.assertEqual(screen["accessory"], "Winamp")
        self.phone.read_until(b'AT*EAM="Winamp"\r\r\nOK\r\n' +
                              b'AT*EASM="Video options", 2, 1, 2,"Shown: Off","Fullscreen"\r'
                              b'\r\nOK\r\n')
        self.phone.control("choose 1")
        self.assertEqual(self.phone.read_until(b"\r\n*EAMI: 1\r\n"), b"\r\n*EAMI: 1\r\n")
        self.phone.write(b'\rAT*EAID=3,2,"Shown",0\r')
        dialog = self.phone.wait_event(lambda e: e["ev"] == "dialog")["dialog"]
        self.assertEqual((dialog["kind"], dialog["title"], dialog["value"]), ("onoff", "Shown", 0))
        self.phone.read_until(b'AT*EAID=3,2,"Shown",0\r\r\nOK\r\n')
        self.phone.control("switch 1")
        self.assertEqual(self.phone.read_until(b"\r\n*EAII: 3,1\r\n"), b"\r\n*EAII: 3,1\r\n")
        self.phone.wait_event(lambda e: e["ev"] == "dialog-closed")

    def test_delayed_result(self):
        self.phone.control("reply +CNMI=3,1 delay 300")
        start = time.monotonic()
        self.phone.write(b"\rAT+CNMI=3,1\r")
        self.assertEqual(self.phone.read_until(b"AT+CNMI=3,1\r"), b"AT+CNMI=3,1\r")
        self.assertEqual(self.phone.read_until(b"\r\nOK\r\n"), b"\r\nOK\r\n")
        self.assertGreaterEqual(time.monotonic() - start, 0.29)

    def test_raw_bytes_and_errors(self):
        self.phone.control("raw 00 4f 4b 0d")
        self.assertEqual(self.phone.read_until(b"\0OK\r"), b"\0OK\r")
        error = self.phone.control("choose lots")
        self.assertEqual(error["ev"], "error")

    def test_typed_text_goes_out_in_the_agreed_set(self):
        self.phone.write(b'\rAT+CSCS="UTF-8"\r')
        self.phone.read_until(b'AT+CSCS="UTF-8"\r\r\nOK\r\n')
        self.assertEqual(self.phone.control("text \u043a\u0438\u043d\u043e")["ev"], "ack")
        typed = '\r\n*EAII: 11,"\u043a\u0438\u043d\u043e"\r\n'.encode("utf-8")
        self.assertEqual(self.phone.read_until(typed), typed)
        # Bytes that are not UTF-8: one error event that says so, and nothing sent.
        error = self.phone.control(b"text Caf\xe9")
        self.assertEqual((error["ev"], error["msg"]), ("error", "text: not UTF-8"))
        self.phone.control("raw 4f 4b")
        self.assertEqual(self.phone.read_until(b"OK"), b"OK")

    def test_away_for_a_while_then_back(self):
        self.phone.control("away 400")
        self.phone.wait_event(lambda e: e["ev"] == "away" and e["on"])
        self.phone.write(b"\rAT+CGMI\r")
        self.phone.control("open")
        back = self.phone.wait_event(lambda e: e["ev"] == "away" and not e["on"])
        self.assertEqual(self.modem_lines(), 0x160)  # DSR on all along
        self.phone.write(b"\rAT\r")
        # Nothing of what came while away: the first bytes are the answer.
        self.assertEqual(self.phone.read_until(b"AT\r\r\nOK\r\n"), b"AT\r\r\nOK\r\n")
        rx = self.phone.wait_event(lambda e: e["ev"] == "rx")
        self.assertEqual(rx["cmd"], "AT")
        self.assertGreaterEqual(back["t"], 400)
        # Away until told to return.
        self.phone.control("away")
        self.phone.write(b"\rAT\r")
        self.phone.wait_event(lambda e: e["ev"] == "lost" and e["bytes"].endswith("AT\r"))
        self.phone.control("return")
        self.phone.write(b"\rATE1\r")
        self.assertEqual(self.phone.read_until(b"ATE1\r\r\nOK\r\n"), b"ATE1\r\r\nOK\r\n")

    def test_quit(self):
        self.phone.control("quit")
        self.phone.wait_event(lambda e: e["ev"] == "bye")
        self.assertEqual(self.phone.proc.wait(WAIT), 0)
        self.assertEqual(self.modem_lines(), 0)


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
