#!/usr/bin/env python3
"""End-to-end test of the Wine rig: serialprobe.exe on a pty through winerun.

Each test gets its own pty; this process plays the phone on the master side
and drives the modem lines through the shim's files. Besides what the rig
must do, the tests pin down the Wine 8 serial behaviours the plug-in has to
live with (the "quirk" tests), so a change in Wine shows up here.

    python3 tools/winerun/test_rig.py [-v] [unittest args]

The probe is taken from $QUILLET_SERIALPROBE, else from the win32 build
(build/win32/tools/winerun/probe/serialprobe.exe); the shim from the native
build (see winerun.shim_dir()).
"""

from __future__ import annotations

import os
import select
import shutil
import subprocess
import sys
import tempfile
import termios
import textwrap
import threading
import time
import unittest
from pathlib import Path
from typing import Dict, Optional

sys.path.insert(0, str(Path(__file__).resolve().parent))
import winerun  # noqa: E402

PROBE = Path(os.environ.get("QUILLET_SERIALPROBE") or
             winerun.REPO / "build" / "win32" / "tools" / "winerun" / "probe" / "serialprobe.exe")

REPLY_WAIT_S = 10.0  # bound for any one probe reply
RUN_BOUND_S = 60.0  # bound for one probe run

TIOCM_DTR, TIOCM_RTS = termios.TIOCM_DTR, termios.TIOCM_RTS
TIOCM_DSR, TIOCM_CTS = termios.TIOCM_DSR, termios.TIOCM_CTS
TIOCM_CD, TIOCM_RI = termios.TIOCM_CAR, termios.TIOCM_RNG
MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON = 0x10, 0x20, 0x40, 0x80
EV_RXCHAR, EV_DSR = 0x1, 0x10
ERROR_FILE_NOT_FOUND = 2
ERROR_NO_SUCH_DEVICE = 433
ERROR_NOT_SUPPORTED = 50
ERROR_OPERATION_ABORTED = 995
ERROR_TIMEOUT = 1460
PURGE_ALL = 0xF
SETDTR, CLRDTR = 5, 6


def fields(reply: str) -> Dict[str, str]:
    """'read async ok n=3 data=AT' -> {'0': 'read', '1': 'async', '2': 'ok', 'n': '3', ...}"""
    out: Dict[str, str] = {}
    for i, word in enumerate(reply.split()):
        key, sep, value = word.partition("=")
        if sep:
            out[key] = value
        else:
            out[str(i)] = word
    return out


class Phone:
    """The master side of a fresh pty plus the shim's modem-line files."""

    def __init__(self) -> None:
        self.master, self.slave = os.openpty()
        self.slave_path = os.ttyname(self.slave)
        self.modem_dir = tempfile.mkdtemp(prefix="quillet-modem-")
        self.lines_file = Path(self.modem_dir) / ("pts-" + self.slave_path.rsplit("/", 1)[1])
        self.host_file = Path(str(self.lines_file) + ".host")

    def unplug(self) -> None:
        """Closes both ends of the pty."""
        for fd in (self.master, self.slave):
            if fd >= 0:
                os.close(fd)
        self.master = self.slave = -1

    def close(self) -> None:
        self.unplug()
        shutil.rmtree(self.modem_dir, ignore_errors=True)

    def set_lines(self, bits: int) -> None:
        tmp = self.lines_file.with_name(".lines.tmp")
        tmp.write_text("%d\n" % bits)
        os.rename(tmp, self.lines_file)

    def host_lines(self) -> Optional[int]:
        try:
            return int(self.host_file.read_text())
        except FileNotFoundError:
            return None

    def send(self, data: bytes) -> None:
        os.write(self.master, data)

    def receive(self, count: int, wait_s: float = REPLY_WAIT_S) -> bytes:
        data = b""
        deadline = time.monotonic() + wait_s
        while len(data) < count:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.master], [], [], left)[0]:
                break
            data += os.read(self.master, count - len(data))
        return data


class Probe:
    """serialprobe.exe under the rig, one command and one reply at a time."""

    def __init__(self, phone: Optional[Phone], **options: object) -> None:
        opts = dict(com1=phone.slave_path if phone else None,
                    modem_dir=phone.modem_dir if phone else None, timeout=RUN_BOUND_S)
        opts.update(options)
        self.began = time.monotonic()
        self.proc = winerun.start(str(PROBE), **opts)  # type: ignore[arg-type]
        self._buffer = b""
        try:
            self.banner = self.reply()
        except BaseException:
            self.proc.close()
            raise
        self.startup_s = time.monotonic() - self.began

    def reply(self, wait_s: float = REPLY_WAIT_S) -> str:
        fd = self.proc.stdout.fileno()
        deadline = time.monotonic() + wait_s
        while b"\n" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise AssertionError("no reply from the probe within %.1f s; stderr: %s" %
                                     (wait_s, self.proc.stderr_text()))
            chunk = os.read(fd, 4096)
            if not chunk:
                raise AssertionError("probe ended; stderr: %s" % self.proc.stderr_text())
            self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        return line.decode().rstrip("\r")

    def send(self, command: str) -> None:
        self.proc.stdin.write(command.encode() + b"\n")
        self.proc.stdin.flush()

    def cmd(self, command: str, wait_s: float = REPLY_WAIT_S) -> str:
        self.send(command)
        return self.reply(wait_s)

    def ok(self, command: str) -> Dict[str, str]:
        reply = self.cmd(command)
        f = fields(reply)
        if f.get("1") != "ok":
            raise AssertionError("%r -> %r" % (command, reply))
        return f

    def open_configured(self) -> None:
        self.ok("open")
        self.ok("timeouts")
        self.ok("state baud=9600 parity=N data=8 stop=1")

    def quit(self, code: int = 0) -> int:
        self.cmd("quit %d" % code)
        return self.proc.wait(REPLY_WAIT_S)

    def close(self) -> None:
        self.proc.close()

    def __enter__(self) -> "Probe":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


def setUpModule() -> None:
    if not PROBE.is_file():
        raise AssertionError("serialprobe.exe not found at %s: build the win32 preset or set "
                             "QUILLET_SERIALPROBE" % PROBE)
    report = winerun.setup()
    print("\nrig setup: %.3f s (template built: %s, slots built: %s)" %
          (report.seconds, report.template_built, report.slots_built), file=sys.stderr)


class RigCase(unittest.TestCase):
    def phone(self) -> Phone:
        phone = Phone()
        self.addCleanup(phone.close)
        return phone

    def probe(self, phone: Optional[Phone], **options: object) -> Probe:
        probe = Probe(phone, **options)
        self.addCleanup(probe.close)
        return probe


class ShimWithoutWineTest(unittest.TestCase):
    """The 64-bit shim under a Python child: the same code the 32-bit one runs."""

    SCRIPT = textwrap.dedent("""
        import fcntl, os, struct, sys, termios
        master, slave = os.openpty()
        def get():
            return struct.unpack("i", fcntl.ioctl(slave, termios.TIOCMGET, struct.pack("i", 0)))[0]
        def put(req, bits):
            fcntl.ioctl(slave, req, struct.pack("i", bits))
        print(os.ttyname(slave), flush=True)
        for line in sys.stdin:
            op, *arg = line.split()
            try:
                if op == "get":
                    print(get(), flush=True)
                else:
                    put(getattr(termios, op), int(arg[0]))
                    print("done", flush=True)
            except OSError as e:
                print("errno", e.errno, flush=True)
        """)

    def start(self, with_dir: bool) -> subprocess.Popen:
        env = dict(os.environ, LD_PRELOAD=str(winerun.shim_dir() / "x86_64" / "modemshim.so"))
        env.pop("QUILLET_MODEM_DIR", None)
        if with_dir:
            env["QUILLET_MODEM_DIR"] = self.dir
        proc = subprocess.Popen([sys.executable, "-c", self.SCRIPT], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, text=True, env=env)
        # Cleanups run last-in first-out.
        self.addCleanup(proc.stdout.close)
        self.addCleanup(proc.stdin.close)
        self.addCleanup(proc.wait)
        self.addCleanup(proc.kill)
        self.slave = proc.stdout.readline().strip()
        return proc

    def ask(self, proc: subprocess.Popen, line: str) -> str:
        proc.stdin.write(line + "\n")
        proc.stdin.flush()
        return proc.stdout.readline().strip()

    def setUp(self) -> None:
        shim = winerun.shim_dir() / "x86_64" / "modemshim.so"
        self.assertTrue(shim.is_file(), "build the shim: cmake --build build/native --target "
                        "modemshim")
        self.dir = tempfile.mkdtemp(prefix="quillet-shim-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def write_lines(self, text: str) -> None:
        name = "pts-" + self.slave.rsplit("/", 1)[1]
        Path(self.dir, ".tmp").write_text(text)
        os.rename(Path(self.dir, ".tmp"), Path(self.dir, name))

    def test_passive_without_modem_dir(self) -> None:
        proc = self.start(with_dir=False)
        self.assertEqual(self.ask(proc, "get"), "errno 25")  # ENOTTY, as on a bare pty

    def test_lines_combine_host_and_phone(self) -> None:
        proc = self.start(with_dir=True)
        self.assertEqual(int(self.ask(proc, "get")), TIOCM_DTR | TIOCM_RTS)
        self.write_lines("%d\n" % (TIOCM_DSR | TIOCM_CTS | TIOCM_CD))
        self.assertEqual(int(self.ask(proc, "get")),
                         TIOCM_DTR | TIOCM_RTS | TIOCM_DSR | TIOCM_CTS | TIOCM_CD)
        self.assertEqual(self.ask(proc, "TIOCMBIC %d" % TIOCM_DTR), "done")
        self.assertEqual(int(self.ask(proc, "get")), TIOCM_RTS | TIOCM_DSR | TIOCM_CTS | TIOCM_CD)
        host = Path(self.dir, "pts-%s.host" % self.slave.rsplit("/", 1)[1])
        self.assertEqual(int(host.read_text()), TIOCM_RTS)
        self.assertEqual(self.ask(proc, "TIOCMBIS %d" % TIOCM_DTR), "done")
        self.assertEqual(int(host.read_text()), TIOCM_DTR | TIOCM_RTS)
        # The host cannot drive the phone's lines, nor the phone the host's.
        self.assertEqual(self.ask(proc, "TIOCMSET %d" % TIOCM_RI), "done")
        self.write_lines("%d" % (TIOCM_RI | TIOCM_DTR))
        self.assertEqual(int(self.ask(proc, "get")), TIOCM_RI)
        self.assertEqual(int(host.read_text()), 0)

    def test_missing_or_bad_file_means_lines_off(self) -> None:
        proc = self.start(with_dir=True)
        self.write_lines("garbage")
        self.assertEqual(int(self.ask(proc, "get")), TIOCM_DTR | TIOCM_RTS)
        os.unlink(Path(self.dir, "pts-" + self.slave.rsplit("/", 1)[1]))
        self.assertEqual(int(self.ask(proc, "get")), TIOCM_DTR | TIOCM_RTS)

    def test_both_abis_export_both_entry_points(self) -> None:
        for arch in ("i386", "x86_64"):
            symbols = subprocess.run(["nm", "-D", "--defined-only",
                                      str(winerun.shim_dir() / arch / "modemshim.so")],
                                     capture_output=True, text=True, check=True).stdout
            self.assertRegex(symbols, r"\bT ioctl\b", arch)
            self.assertRegex(symbols, r"\bT __ioctl_time64\b", arch)


class SerialTest(RigCase):
    def test_open_and_line_settings_reach_the_pty(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        self.assertEqual(probe.banner, "serialprobe ready")
        probe.ok("open")
        probe.ok("timeouts")
        state = fields(probe.cmd("state baud=9600 parity=N data=8 stop=1"))
        self.assertEqual((state["1"], state["baud"], state["bytesize"], state["parity"],
                          state["stopbits"]), ("ok", "9600", "8", "0", "0"))
        attrs = termios.tcgetattr(phone.master)
        iflag, oflag, cflag, lflag, ispeed, ospeed = attrs[:6]
        self.assertEqual((ispeed, ospeed), (termios.B9600, termios.B9600))
        self.assertEqual(cflag & termios.CSIZE, termios.CS8)
        self.assertFalse(cflag & (termios.PARENB | termios.CSTOPB))
        self.assertFalse(lflag & (termios.ICANON | termios.ECHO))
        self.assertEqual(probe.quit(3), 3)

    def test_modem_status_follows_the_phone(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.ok("open")
        self.assertEqual(probe.cmd("modem"), "modem ok 0x0")
        phone.set_lines(TIOCM_DSR | TIOCM_CTS)
        self.assertEqual(probe.cmd("modem"), "modem ok 0x%x" % (MS_DSR_ON | MS_CTS_ON))
        phone.set_lines(TIOCM_CD | TIOCM_RI)
        self.assertEqual(probe.cmd("modem"), "modem ok 0x%x" % (MS_RLSD_ON | MS_RING_ON))

    def test_host_lines_reach_the_phone(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.open_configured()
        self.assertEqual(phone.host_lines(), TIOCM_DTR | TIOCM_RTS)
        probe.ok("escape %d" % CLRDTR)
        self.assertEqual(phone.host_lines(), TIOCM_RTS)
        probe.ok("escape %d" % SETDTR)
        self.assertEqual(phone.host_lines(), TIOCM_DTR | TIOCM_RTS)

    def test_wait_wakes_on_received_chars(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.open_configured()
        probe.ok("mask %d" % (EV_RXCHAR | EV_DSR))
        self.assertEqual(probe.cmd("wait"), "wait pending")
        self.assertEqual(probe.cmd("waitresult 100"), "waitresult timeout")
        phone.send(b"AT\r")
        f = fields(probe.cmd("waitresult 5000"))
        self.assertEqual((f["1"], f["mask"]), ("ok", "0x1"))
        f = fields(probe.cmd("read 100"))
        self.assertEqual((f["2"], f["n"], f["data"]), ("ok", "3", "AT\\r"))

    def test_wait_wakes_on_dsr_change_promptly(self) -> None:
        phone = self.phone()
        phone.set_lines(TIOCM_DSR)
        probe = self.probe(phone)
        probe.open_configured()
        probe.ok("mask %d" % (EV_RXCHAR | EV_DSR))
        latencies = []
        for lines in (0, TIOCM_DSR) * 3:
            self.assertEqual(probe.cmd("wait"), "wait pending")
            changed = time.monotonic()
            phone.set_lines(lines)
            f = fields(probe.cmd("waitresult 5000"))
            latency = time.monotonic() - changed
            self.assertEqual((f["1"], f["mask"]), ("ok", "0x10"))
            self.assertLess(latency, 0.1, "EV_DSR took %.0f ms" % (latency * 1000))
            latencies.append(latency * 1000)
        print("\nDSR change to WaitCommEvent reply: %s ms" %
              ", ".join("%.1f" % t for t in latencies), file=sys.stderr)
        self.assertEqual(probe.cmd("modem"), "modem ok 0x20")

    def test_other_lines_do_not_wake_a_dsr_wait(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.open_configured()
        probe.ok("mask %d" % (EV_RXCHAR | EV_DSR))
        self.assertEqual(probe.cmd("wait"), "wait pending")
        phone.set_lines(TIOCM_CTS | TIOCM_CD)
        self.assertEqual(probe.cmd("waitresult 200"), "waitresult timeout")
        phone.set_lines(TIOCM_CTS | TIOCM_CD | TIOCM_DSR)
        self.assertEqual(fields(probe.cmd("waitresult 5000"))["mask"], "0x10")

    def test_read_and_write(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.open_configured()
        self.assertEqual(fields(probe.cmd("write AT+CGMI\\r"))["n"], "8")
        self.assertEqual(phone.receive(8), b"AT+CGMI\r")
        phone.send(b"\r\nQuillet\r\n\r\nOK\r\n")
        f = fields(probe.cmd("read 100"))
        self.assertEqual((f["2"], f["data"]), ("ok", "\\r\\nQuillet\\r\\n\\r\\nOK\\r\\n"))

    def test_no_port_without_com1(self) -> None:
        probe = self.probe(None)
        self.assertEqual(probe.cmd("open"), "open fail err=%d" % ERROR_NO_SUCH_DEVICE)
        # Unused low ports must not fall through to the machine's /dev/ttyS*.
        for name in ("COM2", "COM9"):
            self.assertEqual(probe.cmd("open " + name), "open fail err=%d" % ERROR_NO_SUCH_DEVICE)
        self.assertEqual(probe.cmd("open COM12"), "open fail err=%d" % ERROR_FILE_NOT_FOUND)
        self.assertEqual(probe.cmd("open \\\\.\\COM12"), "open fail err=%d" % ERROR_NO_SUCH_DEVICE)

    def test_com12_is_found_through_the_device_namespace_only(self) -> None:
        phone = self.phone()
        probe = self.probe(None, com12=phone.slave_path, modem_dir=phone.modem_dir)
        # Windows knows only COM1 to COM9 by their plain names.
        self.assertEqual(probe.cmd("open COM12"), "open fail err=%d" % ERROR_FILE_NOT_FOUND)
        probe.ok("open \\\\.\\COM12")
        self.assertEqual(fields(probe.cmd("write AT\\r"))["n"], "3")
        self.assertEqual(phone.receive(3), b"AT\r")
        probe.ok("close")
        self.assertEqual(probe.cmd("open"), "open fail err=%d" % ERROR_NO_SUCH_DEVICE)

    def test_port_gone_after_the_phone_closes_the_pty(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.open_configured()
        probe.ok("close")
        phone.unplug()
        reply = probe.cmd("open")
        self.assertEqual(fields(reply)["1"], "fail", "reopened something else: " + reply)

    def test_bare_pty_has_no_modem_lines(self) -> None:
        # Why the shim exists: with it passive, Wine cannot read the lines.
        phone = self.phone()
        probe = self.probe(phone, modem_dir=None)
        probe.open_configured()
        self.assertEqual(probe.cmd("modem"), "modem fail err=%d" % ERROR_NOT_SUPPORTED)
        probe.ok("mask %d" % (EV_RXCHAR | EV_DSR))
        self.assertEqual(probe.cmd("wait"), "wait fail err=%d" % ERROR_NOT_SUPPORTED)


class WineQuirkTest(RigCase):
    """Wine 8 behaviours that differ from Windows; the rig passes them through."""

    def test_quirk_overlapped_write_completes_synchronously(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.open_configured()
        f = fields(probe.cmd("write hello\\r\\n"))
        self.assertEqual((f["1"], f["n"]), ("sync", "7"))
        self.assertEqual(phone.receive(7), b"hello\r\n")

    def test_quirk_empty_read_fails_with_timeout(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.open_configured()
        f = fields(probe.cmd("read 10"))
        self.assertEqual((f["2"], f["err"], f["n"]), ("fail", str(ERROR_TIMEOUT), "0"))
        self.assertGreaterEqual(int(f["ms"]), 450)
        self.assertLess(int(f["ms"]), 2000)

    def test_quirk_mask_zero_aborts_pending_wait(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.open_configured()
        probe.ok("mask %d" % (EV_RXCHAR | EV_DSR))
        self.assertEqual(probe.cmd("wait"), "wait pending")
        probe.ok("mask 0")
        f = fields(probe.cmd("waitresult 5000"))
        self.assertEqual((f["1"], f["err"]), ("fail", str(ERROR_OPERATION_ABORTED)))

    def test_quirk_exclusive_open_not_enforced(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.ok("open")
        self.assertEqual(probe.cmd("open2"), "open2 ok")  # Windows: ERROR_ACCESS_DENIED

    def test_quirk_purge_does_not_abort_pending_read(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.open_configured()
        self.assertEqual(probe.cmd("readstart 10"), "readstart pending")
        probe.ok("purge %d" % PURGE_ALL)
        self.assertEqual(probe.cmd("readresult 100"), "readresult timeout")
        phone.send(b"xyz")
        f = fields(probe.cmd("readresult 5000"))
        self.assertEqual((f["2"], f["n"], f["data"]), ("ok", "3", "xyz"))

    def test_quirk_write_on_wait_record_wakes_waiter_with_mask_zero(self) -> None:
        phone = self.phone()
        probe = self.probe(phone)
        probe.open_configured()
        probe.ok("mask %d" % (EV_RXCHAR | EV_DSR))
        self.assertEqual(probe.cmd("wait"), "wait pending")
        self.assertEqual(fields(probe.cmd("writeonwait x"))["1"], "sync")
        f = fields(probe.cmd("waitresult 1000"))
        self.assertEqual((f["1"], f["mask"], f["n"]), ("ok", "0x0", "1"))
        self.assertEqual(phone.receive(1), b"x")


class RigTest(RigCase):
    def test_time_bound_kills_the_run(self) -> None:
        phone = self.phone()
        probe = self.probe(phone, timeout=1.0)
        probe.ok("open")
        began = time.monotonic()
        code = probe.proc.wait(10)
        self.assertTrue(probe.proc.timed_out)
        self.assertLess(code, 0)
        self.assertLess(time.monotonic() - began, 5)

    def test_run_to_completion(self) -> None:
        result = winerun.run(str(PROBE), input=b"open\nquit 4\n", timeout=RUN_BOUND_S)
        self.assertEqual(result.returncode, 4)
        self.assertFalse(result.timed_out)
        self.assertEqual(result.stderr, "")  # no loader or Wine noise
        self.assertEqual(result.stdout.replace(b"\r", b"").decode().splitlines(),
                         ["serialprobe ready", "open fail err=%d" % ERROR_NO_SUCH_DEVICE,
                          "serialprobe bye"])

    # Tests hold one run at a time, so that parallel test processes never
    # wait on each other's slots.

    def test_windows_need_the_display(self) -> None:
        with Probe(None) as probe:
            self.assertEqual(probe.cmd("window"), "window ok")
        with Probe(None, display=False) as probe:
            self.assertEqual(fields(probe.cmd("window"))["1"], "fail")

    def test_virtual_desktop_ends_dialogs_promptly(self) -> None:
        with Probe(None, desktop="800x600") as probe:
            f = fields(probe.cmd("dialog"))
            self.assertEqual((f["1"], f["result"]), ("ok", "7"))
            self.assertLess(int(f["ms"]), 1000)
            self.assertEqual(probe.quit(5), 5)
        with Probe(None) as probe:
            plain = fields(probe.cmd("dialog"))
        print("\nDialogBox return: %s ms in a virtual desktop, %s ms without" %
              (f["ms"], plain["ms"]), file=sys.stderr)

    def test_concurrent_runs_keep_their_own_com1(self) -> None:
        if winerun.slot_count() < 2:
            self.skipTest("needs QUILLET_WINE_SLOTS >= 2")
        phones = [self.phone(), self.phone()]
        probes: list = [None, None]
        busy: list = []

        def begin(i: int) -> None:
            # Waiting long for a second slot could deadlock with another
            # process doing the same.
            try:
                probes[i] = Probe(phones[i], lock_wait=5.0)
            except winerun.RigError as e:
                busy.append(e)

        threads = [threading.Thread(target=begin, args=(i,)) for i in range(2)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(RUN_BOUND_S)
        for p in probes:
            if p:
                self.addCleanup(p.close)
        if busy:
            self.skipTest("other runs hold the slots: %s" % busy[0])
        self.assertTrue(all(probes))
        self.assertNotEqual(probes[0].proc.prefix, probes[1].proc.prefix)
        for i, (phone, probe) in enumerate(zip(phones, probes)):
            probe.open_configured()
            if i == 1:
                probe.ok("escape %d" % CLRDTR)
            self.assertEqual(fields(probe.cmd("write port%d" % i))["n"], "5")
        for i, phone in enumerate(phones):
            self.assertEqual(phone.receive(5), b"port%d" % i)
        self.assertEqual(phones[0].host_lines(), TIOCM_DTR | TIOCM_RTS)
        self.assertEqual(phones[1].host_lines(), TIOCM_RTS)

    def test_start_overhead(self) -> None:
        times = []
        for _ in range(3):
            probe = Probe(None)
            times.append(probe.startup_s)
            probe.quit()
            probe.close()
        print("\nstart to first probe line: %s s" % ", ".join("%.3f" % t for t in times),
              file=sys.stderr)
        self.assertLess(min(times), 5.0)


if __name__ == "__main__":
    unittest.main()
