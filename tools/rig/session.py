"""End-to-end sessions: the real gen_quillet.dll in the stand-in player under
Wine, with the simulated phone on a pseudo-terminal as COM1 (or COM12).

A Session copies the DLL into a folder of its own (so its plugin.ini is its
own), or uses one where it lies (dll=..., e.g. where an installer put it),
starts the phone program, starts the host under the Wine rig with the
phone's pty as COM1 (phone_port="COM12": as COM12 instead), and collects
both programs' output for the test to wait on. Other plug-ins can be loaded
beside it (companions=[...], e.g. the sample menu plug-in SAMPLE_MENU); they
start before it and stop after it. Every wait is bounded."""

from __future__ import annotations

import json
import os
import queue
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import traceback
import zlib
from pathlib import Path
from typing import Callable, Dict, List, Optional, Sequence

ROOT = Path(__file__).resolve().parents[2]  # the repository
sys.path.insert(0, str(ROOT / "tools" / "winerun"))
import winerun  # noqa: E402
from set_up import NEWER_SETUP_COMMANDS, SETUP_COMMANDS  # noqa: E402,F401

DLL = Path(os.environ.get("QUILLET_DLL", ROOT / "build/win32/gen_quillet.dll"))
HOST = Path(os.environ.get("QUILLET_HOST", ROOT / "build/win32/tools/host/quillet-host.exe"))
PHONE = Path(os.environ.get("QUILLET_PHONE", ROOT / "build/native/tools/phone/quillet-phone"))
# A third-party plug-in in plain C that supplies menus through quillet_menus.h.
SAMPLE_MENU = Path(os.environ.get("QUILLET_SAMPLE_MENU",
                                  ROOT / "build/win32/tools/sample_menu/gen_samplemenu.dll"))


def control_ids(header: Path = ROOT / "src" / "shell" / "config_dialog_ids.h") -> Dict[str, int]:
    """The configuration dialog's control ids as the resource script and the
    code take them, by name without their prefix: {"PORT": 1001, ...}."""
    return {name: int(value) for name, value in
            re.findall(r"(?m)^#define QUILLET_CONTROL_(\w+) (\d+)", header.read_text())}


CONTROL_IDS = control_ids()



def win_path(path: Path) -> str:
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def png_from_bmp(bmp_path, png_path) -> None:
    """Converts an uncompressed 24-bit BMP (as the host's `dialog shot`
    writes) into an RGB PNG, so a test can keep a screenshot that any viewer
    opens. Rows may be stored bottom-up (positive height) or top-down, each
    padded to 4 bytes."""
    data = Path(bmp_path).read_bytes()
    if len(data) < 54 or data[:2] != b"BM":
        raise ValueError("%s: not a BMP file" % bmp_path)
    offset = struct.unpack_from("<I", data, 10)[0]
    header_size, width, height, planes, bits, compression = struct.unpack_from(
        "<IiiHHI", data, 14)
    if (header_size < 40 or planes != 1 or bits != 24 or compression != 0 or width <= 0
            or height == 0):
        raise ValueError("%s: not an uncompressed 24-bit BMP" % bmp_path)
    rows = abs(height)
    stride = (width * 3 + 3) & ~3
    if offset + stride * rows > len(data):
        raise ValueError("%s: truncated" % bmp_path)
    raw = bytearray()
    for y in range(rows):
        stored = rows - 1 - y if height > 0 else y  # bottom-up unless the height is negative
        start = offset + stored * stride
        row = bytearray(data[start:start + width * 3])
        row[0::3], row[2::3] = row[2::3], row[0::3]  # BGR to RGB
        raw.append(0)  # filter type None
        raw += row

    def chunk(kind: bytes, body: bytes) -> bytes:
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, rows, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    Path(png_path).write_bytes(png)


CLK_TCK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid: int) -> float:
    """CPU time (user + system, every thread) that process pid has used."""
    try:
        with open("/proc/%d/stat" % pid, "rb") as f:
            fields = f.read().rsplit(b")", 1)[1].split()
    except OSError:
        raise RuntimeError("process %d is gone" % pid) from None
    # After the name: state is field 3, utime field 14, stime field 15.
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def start_ticks(pid: int) -> int:
    """When process pid started, in clock ticks since boot."""
    with open("/proc/%d/stat" % pid, "rb") as f:
        return int(f.read().rsplit(b")", 1)[1].split()[19])


def running(pid: int) -> bool:
    """Process pid exists and has not ended (a killed process that is not
    reaped yet keeps its /proc entry, with its CPU time frozen)."""
    try:
        with open("/proc/%d/stat" % pid, "rb") as f:
            return f.read().rsplit(b")", 1)[1].split()[0] not in (b"Z", b"X")
    except OSError:
        return False


def cpu_rates(pids: Dict[str, int], seconds: float) -> Dict[str, float]:
    """CPU seconds per second each process used over the next `seconds`.
    Raises if one of them ends meanwhile: its figure would read low."""
    began = time.monotonic()
    before = {name: cpu_seconds(pid) for name, pid in pids.items()}
    time.sleep(seconds)
    after = {name: cpu_seconds(pid) for name, pid in pids.items()}
    ended = [name for name, pid in pids.items() if not running(pid)]
    if ended:
        raise RuntimeError("%s ended during the measurement" % ", ".join(ended))
    elapsed = time.monotonic() - began
    return {name: (after[name] - before[name]) / elapsed for name in pids}


def program_pids(run, exe_name: str) -> Dict[str, int]:
    """A program started with winerun (`run`) and its slot's wineserver, as
    {"host": pid, "wineserver": pid}."""
    running = winerun._prefix_processes(run.prefix)
    hosts = [pid for pid in running.get(exe_name.lower(), [])
             if os.getpgid(pid) == run.pgid]
    servers = [pid for name, pids in running.items() if name.startswith("wineserver")
               for pid in pids]
    # A server from an earlier run of the slot may still be winding
    # down; the program's is the newest one that started before it.
    if len(hosts) == 1:
        servers = [pid for pid in servers if start_ticks(pid) <= start_ticks(hosts[0])]
        servers = sorted(servers, key=start_ticks)[-1:]
    if len(hosts) != 1 or len(servers) != 1:
        raise RuntimeError("expected one %s and its wineserver in %s, found %r"
                           % (exe_name, run.prefix, running))
    return {"host": hosts[0], "wineserver": servers[0]}


# Exceptions that ended a thread of the rig, as their tracebacks: a session
# that saw one fails when it closes, so no traceback goes unnoticed.
THREAD_FAILURES: List[str] = []
_default_excepthook = threading.excepthook


def _record_thread_failure(args) -> None:
    THREAD_FAILURES.append("".join(traceback.format_exception(
        args.exc_type, args.exc_value, args.exc_traceback)))
    _default_excepthook(args)


threading.excepthook = _record_thread_failure


class Lines:
    """Lines from a stream, kept in order; waiters are woken on each. The
    reader never blocks in a read: stop() ends it before the stream is
    closed (a program's helpers may hold the pipe open past its end, so the
    end of the stream cannot be waited for)."""

    def __init__(self, stream, parse: Callable[[str], object]):
        self.items: List[object] = []
        self._cond = threading.Condition()
        self._parse = parse
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._pump, args=(stream.fileno(),), daemon=True)
        self._thread.start()

    def _add(self, item) -> None:
        with self._cond:
            self.items.append(item)
            self._cond.notify_all()

    def _pump(self, fd: int) -> None:
        pending = b""
        while not self._stop.is_set():
            if not select.select([fd], [], [], 0.1)[0]:
                continue
            chunk = os.read(fd, 65536)
            if not chunk:
                break
            *lines, pending = (pending + chunk).split(b"\n")
            for raw in lines:
                self._add(self._parse(raw.decode("latin-1").rstrip("\r")))
        if pending and not self._stop.is_set():
            self._add(self._parse(pending.decode("latin-1").rstrip("\r")))
        self._add(None)  # end of stream

    def stop(self, timeout: float = 5) -> bool:
        """Ends the reader; true once it no longer touches the stream."""
        self._stop.set()
        self._thread.join(timeout)
        return not self._thread.is_alive()

    def wait(self, match: Callable[[object], bool], timeout: float, start: int = 0):
        """The first item from `start` on that matches, or None at the time-out."""
        deadline = time.monotonic() + timeout
        index = start
        with self._cond:
            while True:
                while index < len(self.items):
                    item = self.items[index]
                    index += 1
                    if item is not None and match(item):
                        return item
                remaining = deadline - time.monotonic()
                if remaining <= 0 or (self.items and self.items[-1] is None):
                    return None
                self._cond.wait(remaining)

    def snapshot(self) -> List[object]:
        with self._cond:
            return [i for i in self.items if i is not None]


class Session:
    def __init__(self, port: Optional[str] = "COM1", pluginmenus: Optional[str] = None,
                 dsr: bool = True, com1: bool = True, entries: int = 10,
                 phone_port: str = "COM1",
                 host_args: Optional[List[str]] = None, trace: bool = True,
                 companions: Sequence[Path] = (), host_env: Optional[Dict[str, str]] = None,
                 dll: Optional[Path] = None, ini_lines: Sequence[str] = (),
                 host_timeout: float = 120, dpi: Optional[int] = None,
                 generation: str = "older"):
        """companions: plug-ins the host loads and starts, in this order, before
        gen_quillet.dll (and quits after it); host_env: extra environment of
        the host process (and so of every plug-in in it); dll: load this DLL
        where it lies instead of a copy of DLL, so plugin.ini is the one
        beside it (written there as below, and left there at the end);
        com1: whether the phone's pty is a port at all; phone_port: the port
        it is, "COM1" or "COM12"; ini_lines: more KEY=VALUE lines for the
        [Quillet] section; host_timeout: seconds after which the host is
        killed; dpi: the screen's pixels per inch (None: Wine's 96);
        generation: the phone's accessory commands, "older" (*EA) or "newer"
        (*SE objects only)."""
        if phone_port not in ("COM1", "COM12"):
            raise ValueError("the rig maps a phone as COM1 or COM12, not %r" % phone_port)
        self._failures_before = len(THREAD_FAILURES)
        self.dir = Path(tempfile.mkdtemp(prefix="quillet-e2e-"))
        self._markers = 0
        if dll is None:
            self.dll = self.dir / "gen_quillet.dll"
            shutil.copy(DLL, self.dll)
        else:
            self.dll = Path(dll).resolve()
        self.ini = self.dll.parent / "plugin.ini"
        if port is not None or pluginmenus is not None or ini_lines:
            lines = ["[Quillet]"]
            if port is not None:
                lines.append("Port=" + port)
            if pluginmenus is not None:
                lines.append("PluginMenus=" + pluginmenus)
            lines += ini_lines
            self.ini.write_text("\r\n".join(lines) + "\r\n")
        self.trace_file = self.dir / "trace.log"
        self.modem_dir = self.dir / "modem"
        self.modem_dir.mkdir()
        self.phone = subprocess.Popen(
            [str(PHONE), "--modem-dir", str(self.modem_dir), "--dsr", "on" if dsr else "off",
             "--generation", generation],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.phone_events = Lines(self.phone.stdout, self._parse_event)
        ready = self.phone_events.wait(lambda e: e.get("ev") == "ready", 10)
        if not ready:
            self.host = None
            self.close()
            raise RuntimeError("the phone did not start")
        self.pty = ready["pty"]
        env: Dict[str, str] = dict(host_env or {})
        if trace:
            env["QUILLET_TRACE"] = win_path(self.trace_file)
        self.companions = [Path(c) for c in companions]
        args = []
        for companion in self.companions:
            args += ["--companion", win_path(companion)]
        args += [win_path(self.dll), "--entries", str(entries)] + (host_args or [])
        pty = self.pty if com1 else None
        self.host = winerun.start(str(HOST), args,
                                  com1=pty if phone_port == "COM1" else None,
                                  com12=pty if phone_port == "COM12" else None,
                                  modem_dir=str(self.modem_dir), env=env, timeout=host_timeout,
                                  dpi=dpi)
        self.host_lines = Lines(self.host.stdout, lambda s: s)
        if not self._wait_started(30):
            log = self.host_log()
            self.close()
            raise RuntimeError("the host did not start the plug-ins:\n" + log)

    def _wait_started(self, timeout: float) -> bool:
        """Every plug-in's init returned 0. The host starts the companions
        first, so gen_quillet.dll's init is the last of them: the wait counts
        init lines rather than looking for the first one."""
        done = re.compile(r"^init (?:companion )?returned=(-?\d+)")
        failed = re.compile(r"^(?:load (?:companion )?failed|error companion |crash |host exit)")
        wanted = len(self.companions) + 1
        seen = [0]

        def last_init_or_failure(line: str) -> bool:
            if failed.search(line):
                return True
            if done.search(line):
                seen[0] += 1
            return seen[0] == wanted

        if self.host_lines.wait(last_init_or_failure, timeout) is None or seen[0] < wanted:
            return False
        results = [done.search(l).group(1) for l in self.host_lines.snapshot() if done.search(l)]
        return results[:wanted] == ["0"] * wanted

    @staticmethod
    def _parse_event(text: str):
        try:
            return json.loads(text)
        except ValueError:
            return {"ev": "unparsed", "text": text}

    # --- host ---
    def host_cmd(self, line: str) -> None:
        self.host.stdin.write((line + "\n").encode())
        self.host.stdin.flush()

    def wait_host(self, pattern: str, timeout: float = 15, start: int = 0) -> Optional[str]:
        rx = re.compile(pattern)
        return self.host_lines.wait(lambda s: bool(rx.search(s)), timeout, start)

    def host_log(self) -> str:
        return "\n".join(self.host_lines.snapshot())

    def settle_host(self, timeout: float = 15) -> List[str]:
        """The host's lines, including every one of what it handled before
        this call: its log is written in order on its window thread, where a
        marker command queues behind messages already sent or posted to it."""
        self._markers += 1
        marker = "settled %d" % self._markers
        mark = len(self.host_lines.snapshot())
        self.host_cmd("echo " + marker)
        if self.wait_host('^echo text="%s"' % marker, timeout, mark) is None:
            raise RuntimeError("the host did not answer:\n" + self.host_log()[-2000:])
        return self.host_lines.snapshot()

    # --- phone ---
    def phone_cmd(self, line: str, timeout: float = 10) -> dict:
        """Runs one of the phone's control commands; what the user types
        goes as UTF-8, which the phone sends on in the set it agreed."""
        start = len(self.phone_events.snapshot())
        self.phone.stdin.write((line + "\n").encode("utf-8"))
        self.phone.stdin.flush()
        done = self.phone_events.wait(lambda e: e.get("ev") in ("ack", "error"), timeout, start)
        if not done or done["ev"] != "ack":
            raise RuntimeError("phone refused %r: %r" % (line, done))
        return done

    def phone_away(self, seconds: Optional[float] = None) -> None:
        """Takes the phone out of reach, as a Bluetooth phone whose user
        walked off while the port stays open (DSR on): it hears nothing and
        sends nothing. For `seconds`, after which it comes back by itself
        (wait_phone_back), or until phone_return()."""
        self._away_mark = len(self.phone_events.snapshot())
        self.phone_cmd("away" if seconds is None else "away %d" % max(1, round(seconds * 1000)))

    def phone_return(self) -> None:
        """Brings the phone back within reach: it answers again."""
        self.phone_cmd("return")

    def wait_phone_back(self, timeout: float = 60) -> bool:
        """The phone taken away last has come back."""
        back = self.phone_events.wait(lambda e: e.get("ev") == "away" and not e.get("on"),
                                      timeout, getattr(self, "_away_mark", 0))
        return back is not None

    def received(self) -> List[str]:
        """Every command line the phone received, in order."""
        return [e["cmd"] for e in self.phone_events.snapshot() if e.get("ev") == "rx"]

    def screen(self) -> dict:
        """The phone's screen now. The phone handles its control input
        between received lines, so the answer also marks that every event of
        the lines received so far (a command's `rx`, then its screen event or
        `refused`) is in phone_events."""
        return self._screen_event()["screen"]

    def objects(self) -> int:
        """How many of the newer set's objects the phone holds now: two for
        the moment between a new one and the deletion of the one it replaces."""
        return self._screen_event().get("objects", 0)

    def _screen_event(self) -> dict:
        start = len(self.phone_events.snapshot())
        self.phone_cmd("screen")
        shown = self.phone_events.wait(lambda e: e.get("ev") == "screen", 0, start)
        if shown is None:
            raise RuntimeError("the phone did not report its screen")
        return shown

    def wait_received(self, count: int, timeout: float = 20) -> List[str]:
        """Every command line the phone received, once there are `count` (or
        at the time-out), with all of their events in."""
        seen = [0]

        def enough(event) -> bool:
            seen[0] += event.get("ev") == "rx"
            return seen[0] >= count

        if count > 0:
            self.phone_events.wait(enough, timeout)
        if self.phone.poll() is None:
            self.screen()
        return self.received()

    # --- plug-in outputs ---
    def trace(self) -> str:
        try:
            return self.trace_file.read_bytes().decode("latin-1")
        except FileNotFoundError:
            return ""

    def wait_trace(self, text: str, timeout: float = 20, count: int = 1) -> bool:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.trace().count(text) >= count:
                return True
            time.sleep(0.05)
        return False

    def wait_connected(self, timeout: float = 30) -> bool:
        """The plug-in has set the phone up, at start or on reconnection."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            trace = self.trace()
            if ("info: got connection" in trace or
                    "MonitorDevice started with connection." in trace):
                return True
            time.sleep(0.05)
        return False

    def settings(self) -> str:
        return self.ini.read_bytes().decode("latin-1") if self.ini.exists() else ""

    # --- cost ---
    def wine_pids(self) -> Dict[str, int]:
        """The host program's process and its slot's wineserver (which does
        the serial waits for it), by name."""
        return program_pids(self.host, HOST.name)

    def cpu_rate(self, seconds: float) -> float:
        """CPU seconds per second the host and its wineserver use together
        over the next `seconds`."""
        return sum(cpu_rates(self.wine_pids(), seconds).values())

    # --- end ---
    def quit_plugin(self, timeout: float = 30) -> Optional[str]:
        self.host_cmd("quit")
        return self.wait_host(r"^unloaded", timeout)

    def close(self) -> None:
        host = getattr(self, "host", None)
        self.host = None
        if host is not None:
            try:
                self.host_cmd("exit")
                host.wait(15)
            except Exception:
                pass
            host.kill()
            host_lines = getattr(self, "host_lines", None)
            # Its stdout is closed by host.close(): never under a read.
            if host_lines is None or host_lines.stop():
                host.close()
        if self.phone.poll() is None:
            try:
                self.phone.stdin.write(b"quit\n")
                self.phone.stdin.flush()
                self.phone.wait(5)
            except Exception:
                self.phone.kill()
                self.phone.wait()
        streams = [self.phone.stdin]
        if self.phone_events.stop():
            streams.append(self.phone.stdout)
        for stream in streams:
            try:
                stream.close()
            except Exception:
                pass
        shutil.rmtree(self.dir, ignore_errors=True)
        if len(THREAD_FAILURES) > self._failures_before:
            raise RuntimeError("a thread of the rig failed:\n" +
                               "\n".join(THREAD_FAILURES[self._failures_before:]))

    def __enter__(self) -> "Session":
        return self

    def __exit__(self, *exc) -> None:
        self.close()
