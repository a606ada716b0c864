#!/usr/bin/env python3
"""Writes the seed corpus of link_fuzzer (fuzz/corpus/link/) in its input
format: a first byte whose low bit selects Wine's serial behaviour, then
operations, each an opcode byte followed by its arguments (see Harness::Run).
Run it again whenever the input format changes."""

import os
import sys

TOKENS = ["OK\r\n", "\r\nOK\r\n", "ERROR\r\n", "+CME ERROR: 10\r\n", "+CMS ERROR: 1\r\n",
          "\r\n", "\r", "\n", "\rAT+CMEE=1\r", "AT+CGMI\r\n", "*EAAI\r\n", "*EAMI: 3\r\n",
          "*EAII: 0,12\r\n", "RING\r\n", "SimPhone\r\n", "AT", "OKAY\r\n", "\n\r", "OK",
          "ATLAS\r\n", "\r\nERROR\r\n", "\rAT+CGMM\r\r\n"]
COMMANDS = ["+CMEE=1", "*EAM=\"Winamp\"", "+CNMI=3,1", "+CNMI=1,1", "+CGMI", "+CGMM", "E0",
            "E1", "", "*EASM=\"Menu\", 1, 1, 1"]
PREFIXES = ["", "+CMEE", "*EAM", "+CNMI", "+CGMI", "+CGMM"]
CODES = ["*EAAI", "*EAMI: 2", "*EAII: 11,\"CAT\"", "RING", "OK", "AT"]


def word(n):
    return bytes([n >> 8 & 0xFF, n & 0xFF])


def raw(data, delay_ms=0):
    data = data.encode("latin-1") if isinstance(data, str) else data
    assert len(data) < 256
    return bytes([0, len(data)]) + data + word(delay_ms)


def token(text, delay_ms=0):
    extra = b"\x00" if text == "OK" else b""
    return bytes([1, TOKENS.index(text)]) + extra + bytes([delay_ms // 8])


def bulk(pattern, count, delay_ms=0):
    pattern = pattern.encode("latin-1")
    return bytes([2, len(pattern) - 1]) + pattern + word(count) + word(delay_ms)


def read_line(wait):
    return bytes([3, 0 if wait else 1])


def wait_reply(prefix, wait=True):
    return bytes([5, (1 if prefix == "AT" else 0) | (0 if wait else 2)])


def send(command):
    return bytes([6, COMMANDS.index(command)])


def advance(ms):
    return bytes([8]) + word(ms)


def rule(what, value, prefix):
    return bytes([9, what, value, PREFIXES.index(prefix)])


def unsolicited(code, now=True):
    return bytes([10, CODES.index(code), 1 if now else 10])


def trickle(piece, count, gap_ms):
    return bytes([13, len(piece) - 1]) + piece.encode("latin-1") + word(count) + bytes([gap_ms - 1])


STOP = bytes([11])
PORT = bytes([12])
WINDOWS = b"\x00"
WINE = b"\x01"

SEEDS = {
    "transaction_ok": WINDOWS + send("+CMEE=1") + read_line(False),
    "setup_sequence": WINDOWS + send("*EAM=\"Winamp\"") + send("+CNMI=3,1") + send("+CMEE=1")
    + send("+CGMI") + read_line(False) * 3 + send("+CGMM") + read_line(False) * 3,
    "setup_sequence_wine": WINE + send("*EAM=\"Winamp\"") + send("+CNMI=3,1")
    + send("+CGMI") + read_line(False) * 3,
    "unsolicited_between_echo_and_ok": WINDOWS + rule(4, 1, "+CNMI") + send("+CNMI=3,1")
    + read_line(False) * 3,
    "unsolicited_before_echo": WINDOWS + unsolicited("*EAII: 11,\"CAT\"") + send("+CMEE=1")
    + read_line(False) * 3,
    "line_split_between_cr_and_lf": WINDOWS + raw("A\r") + raw("\nB\r\n", 100)
    + read_line(True) * 4,
    "nul_bytes": WINDOWS + raw(b"AB\x00CD\r\n\x00\x00X\r\n") + read_line(True) * 3,
    "long_line": WINDOWS + bulk("xyz", 4000) + raw("\r\nNEXT\r\n", 400) + read_line(True) * 3,
    "buffer_fills_during_wait": WINDOWS + bulk("RING\r\n", 1800) + wait_reply("")
    + read_line(True) + wait_reply("AT") + read_line(False),
    "result_lines": WINDOWS + token("\r\nERROR\r\n") + token("+CME ERROR: 10\r\n", 40)
    + token("OKAY\r\n", 80) + wait_reply("") + wait_reply("") + read_line(True) * 2,
    "silent_phone": WINDOWS + rule(0, 4, "") + send("+CGMI") + read_line(True),
    "late_ok": WINE + rule(2, 88, "+CMEE") + send("+CMEE=1") + read_line(True) * 2,
    "stale_ok_before_echo": WINDOWS + token("OK\r\n") + rule(0, 2, "+CNMI")
    + send("+CNMI=3,1") + read_line(False) * 2,
    "garbled_echo_once": WINDOWS + rule(1, 3, "+CMEE") + rule(5, 1, "+CMEE") + send("+CMEE=1")
    + read_line(False) * 3,
    "chunked_answers": WINDOWS + rule(6, 13, "") + send("+CGMM") + read_line(False) * 2
    + advance(500) + read_line(True),
    "port_closed_and_reopened": WINDOWS + token("*EAAI\r\n") + PORT + read_line(True)
    + send("+CGMI") + PORT + read_line(True) + read_line(False),
    "chatty_phone_outlasts_the_wait": WINDOWS + trickle("x", 400, 30) + wait_reply("")
    + read_line(True),
    "cellular_ring_before_echo": WINDOWS + raw("+CRING: VOICE\r\n") + send("+CMEE=1")
    + read_line(False) * 2,
    "stop_requested": WINDOWS + STOP + send("+CMEE=1") + wait_reply("AT") + STOP
    + read_line(False),
    "newer_codes": WINDOWS + raw("*SEAAI: 5\r\n*SEGUII: 1,5,2\r\n*SESFI: 1\r\n*SEGUII:1,0\r\n")
    + read_line(False) * 4,
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "corpus", "link")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
