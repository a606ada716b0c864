#!/usr/bin/env python3
"""Runs 32-bit Windows programs under Wine with a Linux pty as their COM1
(and, if wanted, as COM12: a port that Windows finds only as \\.\COM12).

The rig keeps a small pool of ready Wine prefixes ("slots") under one root
directory, so that end-to-end tests can run side by side. A run locks one
slot for its whole life; inside it the slot's COM1 (and COM12) is a symlink
that the run points at its own pty slave. Each slot keeps a persistent wineserver with
Wine's services already started (so they never inherit a run's pipes) and,
on demand, its own Xvfb display. Runs get the modem-line shim preloaded.

Library use (see README.md for the details):
    import winerun
    winerun.setup()
    with winerun.start("x.exe", com1="/dev/pts/3", modem_dir=d, timeout=30) as p:
        p.stdin.write(b"...")
    result = winerun.run("x.exe", ["arg"], com1=..., timeout=30)

Command line:
    winerun.py setup [--slots N]
    winerun.py run [--com1 PATH] [--com12 PATH] [--modem-dir DIR] [--timeout S] [--desktop WxH]
                   [--no-display] [--no-shim] [--env NAME=VALUE]... -- EXE [ARGS...]
    winerun.py shutdown
"""

from __future__ import annotations

import argparse
import contextlib
import dataclasses
import fcntl
import json
import os
import select
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path
from typing import IO, Dict, Iterator, List, Mapping, Optional, Sequence

REPO = Path(__file__).resolve().parents[2]

# Bump when the prefix layout below changes, so old prefixes are rebuilt.
LAYOUT_VERSION = 4
DEFAULT_SLOTS = 2
LOCK_WAIT_S = 600.0
SERVICE_NAMES = ("services.exe",)
# Wine's own long-lived processes in a slot; anything else left there is an
# orphan of a run whose owner died.
SYSTEM_PROCESSES = ("services.exe", "winedevice.exe", "plugplay.exe", "svchost.exe",
                    "rpcss.exe", "explorer.exe")

# COM1 and COM12 go through symlinks inside the prefix that each run
# re-points. COM2..COM9 are pinned to NO_PORT, so that the ports Wine finds on
# the machine (/dev/ttyS0, the console) are numbered from COM10 on, around
# COM12. Relative values resolve from the prefix's dosdevices directory, so
# one template serves every slot.
#
# Wine opens /dev/ttyS<N-1> for COM<N> (N <= 9) whenever the COM<N> link
# does not resolve, so no link may ever dangle: an unused port points at
# NO_PORT, a socket file, which exists but cannot be opened
# (CreateFile fails with ERROR_NO_SUCH_DEVICE), and a run's COM1 points at
# the pty through /proc/<rig pid>/fd/<O_PATH fd>, which keeps resolving after
# the pty is gone (CreateFile then fails instead of finding the console).
# COM12 is the same, for programs that must open a port above COM9.
PORT_LINKS = {"COM1": "com1", "COM12": "com12"}  # port -> link in the prefix
NO_PORT = "no-port"
PORTS = {port: "../" + link for port, link in PORT_LINKS.items()}
PORTS.update({"COM%d" % n: "../" + NO_PORT for n in range(2, 10)})

BASE_ENV = {
    "WINEARCH": "win32",
    "WINEDEBUG": "-all",
    "WINEDLLOVERRIDES": "mscoree,mshtml=",
}


class RigError(RuntimeError):
    """The rig could not prepare or start a run."""


# ---------------------------------------------------------------- locations


def rig_root() -> Path:
    """Directory that holds the template prefix, the slots and their locks."""
    configured = os.environ.get("QUILLET_WINEPREFIX")
    return Path(configured).resolve() if configured else REPO / "build" / "wineprefix"


def slot_count() -> int:
    return max(1, int(os.environ.get("QUILLET_WINE_SLOTS", DEFAULT_SLOTS)))


def shim_dir() -> Path:
    """Directory holding i386/modemshim.so and x86_64/modemshim.so."""
    configured = os.environ.get("QUILLET_MODEMSHIM_DIR")
    if configured:
        return Path(configured).resolve()
    return REPO / "build" / "native" / "tools" / "winerun"


def _wine_binary() -> str:
    # The 32-bit loader itself: /usr/bin/wine is a shell script, which would
    # be one more (64-bit) process for LD_PRELOAD to land in.
    for candidate in (os.environ.get("QUILLET_WINE"), "/usr/lib/wine/wine"):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    found = shutil.which("wine")
    if not found:
        raise RigError("wine is not installed (scripts/bootstrap installs it)")
    return found


def _wineserver_binary() -> str:
    found = shutil.which("wineserver") or "/usr/lib/wine/wineserver32"
    if not os.access(found, os.X_OK):
        raise RigError("wineserver is not installed")
    return found


def _template(root: Path) -> Path:
    return root / "template"


def _slot_prefix(root: Path, slot: int) -> Path:
    return root / ("slot%d" % slot)


def _marker(prefix: Path) -> Path:
    return prefix / ".quillet-ready"


def _wine_version() -> str:
    out = subprocess.run([_wine_binary(), "--version"], capture_output=True, text=True,
                         env=_base_env(None), timeout=60)
    return out.stdout.strip()


def _base_env(prefix: Optional[Path]) -> Dict[str, str]:
    dropped = ("LD_PRELOAD", "WINEPREFIX", "DISPLAY", "QUILLET_MODEM_DIR")
    env = {k: v for k, v in os.environ.items() if k not in dropped}
    env.update(BASE_ENV)
    if prefix is not None:
        env["WINEPREFIX"] = str(prefix)
    return env


# ---------------------------------------------------------------- small helpers


@contextlib.contextmanager
def _flock(path: Path, wait_s: float) -> Iterator[int]:
    fd = _lock(path, wait_s)
    try:
        yield fd
    finally:
        os.close(fd)


def _try_lock(path: Path) -> Optional[int]:
    path.parent.mkdir(parents=True, exist_ok=True)
    fd = os.open(path, os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o644)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        return fd
    except BlockingIOError:
        os.close(fd)
        return None


def _lock(path: Path, wait_s: float) -> int:
    deadline = time.monotonic() + wait_s
    while True:
        fd = _try_lock(path)
        if fd is not None:
            return fd
        if time.monotonic() > deadline:
            raise RigError("timed out waiting for lock %s" % path)
        time.sleep(0.05)


def _quiet_run(argv: Sequence[str], env: Mapping[str, str], timeout: float) -> int:
    # Wine's own processes started here must never hold a caller's pipe, so
    # every helper runs with /dev/null as stdio, in a session of its own.
    return subprocess.run(list(argv), env=dict(env), stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          start_new_session=True, timeout=timeout).returncode


def _alive(pid: int) -> bool:
    """True for a live process; zombies (nobody reaps them here) count as dead."""
    try:
        with open("/proc/%d/stat" % pid, "rb") as f:
            text = f.read()
    except OSError:
        return False
    return text[text.rindex(b")") + 2:][:1] not in (b"Z", b"X")


def _prefix_processes(prefix: Path) -> Dict[str, List[int]]:
    """Live processes whose WINEPREFIX is prefix, by command-line basename."""
    want = ("WINEPREFIX=%s" % prefix).encode()
    found: Dict[str, List[int]] = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        pid = int(entry)
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                argv0 = f.read().split(b"\0", 1)[0]
            name = argv0.replace(b"\\", b"/").rsplit(b"/", 1)[-1].decode(errors="replace").lower()
            if not (name.startswith("wineserver") or name.endswith(".exe")):
                continue
            with open("/proc/%d/environ" % pid, "rb") as f:
                if want not in f.read().split(b"\0"):
                    continue
        except OSError:
            continue
        if _alive(pid):
            found.setdefault(name, []).append(pid)
    return found


def _group_members(pgid: int) -> List[int]:
    members = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry, "rb") as f:
                fields = f.read().rsplit(b")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if int(fields[2]) == pgid and fields[0] not in (b"Z", b"X"):
            members.append(int(entry))
    return members


def _write_json(path: Path, data: object) -> None:
    tmp = path.with_name(path.name + ".tmp")
    tmp.write_text(json.dumps(data, indent=1, sort_keys=True) + "\n")
    os.replace(tmp, path)


def _read_json(path: Path) -> Optional[dict]:
    try:
        return json.loads(path.read_text())
    except (OSError, ValueError):
        return None


def _repoint(link: Path, target: str) -> None:
    """Points the symlink link at target, atomically."""
    tmp = link.with_name("%s.%d.%d.new" % (link.name, os.getpid(), threading.get_ident()))
    with contextlib.suppress(FileNotFoundError):
        os.unlink(tmp)
    os.symlink(target, tmp)
    os.replace(tmp, link)


def _ensure_no_port(prefix: Path) -> None:
    path = prefix / NO_PORT
    with contextlib.suppress(FileNotFoundError):
        if stat.S_ISSOCK(os.lstat(path).st_mode):
            return
        os.unlink(path)
    with socket.socket(socket.AF_UNIX) as sock:
        sock.bind(str(path))


def _reg_text(keys: Mapping[str, Mapping[str, object]]) -> str:
    """A REGEDIT4 file; a value of None deletes the value, an int is a DWORD."""
    lines = ["REGEDIT4", ""]
    for key, values in keys.items():
        lines.append("[%s]" % key)
        for name, value in values.items():
            if value is None:
                lines.append('"%s"=-' % name)
            elif isinstance(value, int):
                lines.append('"%s"=dword:%08x' % (name, value))
            else:
                lines.append('"%s"="%s"' % (name, value.replace("\\", "\\\\").replace('"', '\\"')))
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


def _import_reg(prefix: Path, keys: Mapping[str, Mapping[str, Optional[str]]]) -> None:
    with tempfile.NamedTemporaryFile("w", suffix=".reg", dir=prefix, delete=False) as f:
        f.write(_reg_text(keys))
        name = f.name
    try:
        rc = _quiet_run([_wine_binary(), "regedit", "/S", name], _base_env(prefix), 120)
    finally:
        os.unlink(name)
    if rc != 0:
        raise RigError("regedit failed (%d) in %s" % (rc, prefix))


# ---------------------------------------------------------------- template


def _ensure_template(root: Path) -> bool:
    """Builds the template prefix once; returns True if it had to."""
    template = _template(root)
    marker = _read_json(_marker(template))
    if marker and marker.get("layout") == LAYOUT_VERSION:
        return False
    with _flock(root / "setup.lock", LOCK_WAIT_S):
        marker = _read_json(_marker(template))
        if marker and marker.get("layout") == LAYOUT_VERSION:
            return False
        if template.exists():
            _quiet_run([_wineserver_binary(), "-k"], _base_env(template), 60)
            shutil.rmtree(template)
        template.mkdir(parents=True)
        env = _base_env(template)
        if _quiet_run([_wine_binary(), "wineboot", "--init"], env, 300) != 0:
            raise RigError("wineboot --init failed in %s" % template)
        _import_reg(template, {
            r"HKEY_LOCAL_MACHINE\Software\Wine\Ports": PORTS,
            # Xvfb runs no window manager: Wine then draws dialog frames and
            # captions itself, and a dialog ends at once instead of waiting
            # about 2 s for a manager that never answers.
            r"HKEY_CURRENT_USER\Software\Wine\X11 Driver": {"Managed": "N"},
        })
        # Let the template's transient wineserver exit, which writes the
        # registry out; the template is only ever copied afterwards.
        _quiet_run([_wineserver_binary(), "-w"], env, 120)
        for link in (template / "dosdevices").glob("com*"):
            link.unlink()
        _write_json(_marker(template), {"layout": LAYOUT_VERSION, "wine": _wine_version()})
        return True


# ---------------------------------------------------------------- slots


@dataclasses.dataclass
class _Slot:
    root: Path
    index: int
    lock_fd: int
    port_fds: Dict[str, int] = dataclasses.field(default_factory=dict)

    @property
    def prefix(self) -> Path:
        return _slot_prefix(self.root, self.index)

    @property
    def xvfb_state(self) -> Path:
        return self.root / ("slot%d.xvfb.json" % self.index)

    @property
    def desktops_state(self) -> Path:
        return self.prefix / ".quillet-desktops.json"

    def point_ports(self, ptys: Mapping[str, Optional[str]]) -> None:
        """Makes each port of PORT_LINKS the pty at the path given for it, or
        no port at all for None or when it is not given."""
        self.unpoint_ports()
        for port, pty in ptys.items():
            if pty is None:
                continue
            try:
                fd = os.open(pty, os.O_PATH | os.O_CLOEXEC)
            except OSError as e:
                raise RigError("cannot use %s as %s: %s" % (pty, port, e.strerror)) from None
            self.port_fds[port] = fd
            if not stat.S_ISCHR(os.fstat(fd).st_mode):
                self.unpoint_ports()
                raise RigError("%s is not a character device" % pty)
            _repoint(self.prefix / PORT_LINKS[port], "/proc/%d/fd/%d" % (os.getpid(), fd))

    def unpoint_ports(self) -> None:
        for port, link in PORT_LINKS.items():
            _repoint(self.prefix / link, NO_PORT)
            fd = self.port_fds.pop(port, -1)
            if fd >= 0:
                os.close(fd)

    def release(self) -> None:
        if self.lock_fd >= 0:
            self.unpoint_ports()
            os.close(self.lock_fd)
            self.lock_fd = -1


def _acquire_slot(root: Path, wait_s: float) -> _Slot:
    count = slot_count()
    deadline = time.monotonic() + wait_s
    while True:
        for index in range(count):
            fd = _try_lock(root / ("slot%d.lock" % index))
            if fd is not None:
                return _Slot(root, index, fd)
        if time.monotonic() > deadline:
            raise RigError("all %d Wine slots stayed busy for %.0f s" % (count, wait_s))
        time.sleep(0.05)


def _ensure_slot_prefix(slot: _Slot) -> bool:
    """Copies the template into the slot if needed; returns True if it did."""
    prefix = slot.prefix
    template_marker = _read_json(_marker(_template(slot.root)))
    if _read_json(_marker(prefix)) == template_marker and template_marker:
        return False
    if prefix.exists():
        _quiet_run([_wineserver_binary(), "-k"], _base_env(prefix), 60)
        shutil.rmtree(prefix)
    # Copy aside and rename, so a half-made copy never carries a valid
    # marker; the setup lock keeps the template from being rebuilt meanwhile.
    partial = prefix.with_name(prefix.name + ".partial")
    if partial.exists():
        shutil.rmtree(partial)
    with _flock(slot.root / "setup.lock", LOCK_WAIT_S):
        subprocess.run(["cp", "-a", "--reflink=auto", str(_template(slot.root)), str(partial)],
                       check=True)
    os.rename(partial, prefix)
    return True


def _kill_orphans(slot: _Slot) -> List[str]:
    """Kills programs left in the slot by a run whose owner died."""
    killed = []
    for name, pids in _prefix_processes(slot.prefix).items():
        if name.endswith(".exe") and name not in SYSTEM_PROCESSES:
            for pid in pids:
                with contextlib.suppress(ProcessLookupError):
                    os.kill(pid, signal.SIGKILL)
                killed.append("%s[%d]" % (name, pid))
    return killed


def _ensure_services(slot: _Slot, display: Optional[str] = None) -> str:
    """Starts the slot's persistent wineserver and Wine's services if needed.

    `display` is the slot's X display: whichever Wine process first makes a
    window starts the desktop process with its own environment, and a desktop
    process without a display leaves every later window without a driver.
    Returns what it had to do: "" (all running), "services" or "server".
    """
    env = _base_env(slot.prefix)
    if display:
        env["DISPLAY"] = display
    running = _prefix_processes(slot.prefix)
    started = ""
    if not any(name.startswith("wineserver") for name in running):
        rc = _quiet_run([_wineserver_binary(), "-p"], env, 60)
        if rc not in (0, 2):  # 2: a server was started meanwhile
            raise RigError("wineserver -p failed (%d) for %s" % (rc, slot.prefix))
        started = "server"
    if started or not any(name in running for name in SERVICE_NAMES):
        if _quiet_run([_wine_binary(), "wineboot"], env, 300) != 0:
            raise RigError("wineboot failed in %s" % slot.prefix)
        started = started or "services"
    return started


def _find_xvfb(marker: str) -> Optional[int]:
    """Pid of the live Xvfb started with marker in its environment."""
    want = marker.encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if not f.read().split(b"\0", 1)[0].endswith(b"Xvfb"):
                    continue
            with open("/proc/%s/environ" % entry, "rb") as f:
                if want not in f.read().split(b"\0"):
                    continue
        except OSError:
            continue
        if _alive(int(entry)):
            return int(entry)
    return None


def _ensure_xvfb(slot: _Slot) -> int:
    """Returns the slot's X display number, starting Xvfb if it is not running."""
    # Xvfb with -displayfd writes no lock file; it is recognised by a marker
    # in its environment instead.
    marker = "QUILLET_XVFB=%s" % slot.prefix
    state = _read_json(slot.xvfb_state)
    if state and _find_xvfb(marker) and os.path.exists("/tmp/.X11-unix/X%d" % state["display"]):
        return int(state["display"])
    # Wine's desktop process may talk to an old display, or to none (when the
    # services were started before any display existed): restart it.
    _quiet_run([_wineserver_binary(), "-k"], _base_env(slot.prefix), 60)
    xvfb = shutil.which("Xvfb")
    if not xvfb:
        raise RigError("Xvfb is not installed (scripts/bootstrap installs xvfb)")
    read_end, write_end = os.pipe()
    try:
        # setsid -f detaches Xvfb from this process, so it outlives the run.
        # Xvfb picks a free display and writes its number to the pipe once it
        # accepts clients.
        launcher = subprocess.Popen(
            ["setsid", "-f", xvfb, "-displayfd", str(write_end), "-nolisten", "tcp", "-screen",
             "0", "1024x768x24"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            pass_fds=(write_end,), env=dict(os.environ, QUILLET_XVFB=str(slot.prefix)))
        os.close(write_end)
        write_end = -1
        launcher.wait(30)
        text = b""
        deadline = time.monotonic() + 30
        while not text.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read_end], [], [], left)[0]:
                raise RigError("Xvfb did not report a display within 30 s")
            chunk = os.read(read_end, 64)
            if not chunk:
                raise RigError("Xvfb exited before reporting a display")
            text += chunk
    finally:
        os.close(read_end)
        if write_end >= 0:
            os.close(write_end)
    display = int(text.strip())
    _write_json(slot.xvfb_state, {"display": display})
    return display


def _desktop_keys(exe_name: str, desktop: Optional[str]) -> Dict[str, Dict[str, Optional[str]]]:
    app_key = r"HKEY_CURRENT_USER\Software\Wine\AppDefaults\%s\Explorer" % exe_name
    if desktop is None:
        return {app_key: {"Desktop": None}}
    name = "quillet-" + desktop
    return {
        r"HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops": {name: desktop},
        app_key: {"Desktop": name},
    }


def _sync_desktop(slot: _Slot, exe_name: str, desktop: Optional[str]) -> None:
    """Makes exe_name run in a virtual desktop of size desktop (None: none)."""
    state = _read_json(slot.desktops_state) or {}
    if state.get(exe_name.lower()) == desktop:
        return
    _import_reg(slot.prefix, _desktop_keys(exe_name, desktop))
    state[exe_name.lower()] = desktop
    _write_json(slot.desktops_state, state)


DPI_KEY = r"HKEY_CURRENT_USER\Control Panel\Desktop"


def _sync_dpi(slot: _Slot, dpi: Optional[int]) -> None:
    """Gives the programs started from now on a screen of dpi pixels per inch
    (None: Wine's default, 96)."""
    state_file = slot.prefix / ".quillet-dpi.json"
    state = _read_json(state_file) or {}
    if state.get("dpi") == dpi:
        return
    _import_reg(slot.prefix, {DPI_KEY: {"LogPixels": dpi}})
    _write_json(state_file, {"dpi": dpi})


def _parse_desktop(desktop: Optional[str]) -> Optional[str]:
    if desktop is None:
        return None
    width, sep, height = desktop.lower().partition("x")
    if not sep or not width.isdigit() or not height.isdigit():
        raise ValueError("desktop must look like 800x600, not %r" % desktop)
    return "%sx%s" % (int(width), int(height))


def _preload_value(root: Path) -> str:
    """LD_PRELOAD value that picks the shim matching each process's ABI.

    The dynamic loader expands $LIB to lib/i386-linux-gnu or
    lib/x86_64-linux-gnu on Debian (lib or lib64 elsewhere); a directory of
    symlinks under the rig root maps each expansion to the right build.
    """
    built = shim_dir()
    sources = {arch: built / arch / "modemshim.so" for arch in ("i386", "x86_64")}
    missing = [str(p) for p in sources.values() if not p.is_file()]
    if missing:
        raise RigError("modem shim not built (%s); run: cmake --build build/native --target "
                       "modemshim" % ", ".join(missing))
    layout = {
        "lib/i386-linux-gnu": sources["i386"],
        "lib/x86_64-linux-gnu": sources["x86_64"],
        "lib": sources["i386"],
        "lib64": sources["x86_64"],
        "lib32": sources["i386"],
    }
    preload = root / "preload"
    for sub, source in layout.items():
        link = preload / sub / "modemshim.so"
        if os.path.islink(link) and os.readlink(link) == str(source):
            continue
        link.parent.mkdir(parents=True, exist_ok=True)
        _repoint(link, str(source))
    return str(preload / "$LIB" / "modemshim.so")


# ---------------------------------------------------------------- public API


@dataclasses.dataclass
class SetupReport:
    root: str
    slots: List[str]
    template_built: bool
    slots_built: List[int]
    started: Dict[int, str]
    seconds: float


def setup(slots: Optional[int] = None, display: bool = False) -> SetupReport:
    """Prepares the template and every slot (idempotent; fast when warm).

    slots: how many slots to prepare (default QUILLET_WINE_SLOTS or 2).
    display: also start each slot's Xvfb now rather than at its first run.
    """
    began = time.monotonic()
    root = rig_root()
    root.mkdir(parents=True, exist_ok=True)
    template_built = _ensure_template(root)
    count = slots if slots is not None else slot_count()
    built: List[int] = []
    started: Dict[int, str] = {}
    for index in range(count):
        fd = _lock(root / ("slot%d.lock" % index), LOCK_WAIT_S)
        slot = _Slot(root, index, fd)
        try:
            if _ensure_slot_prefix(slot):
                built.append(index)
            _ensure_no_port(slot.prefix)
            slot.unpoint_ports()
            shown = ":%d" % _ensure_xvfb(slot) if display else None
            what = _ensure_services(slot, shown)
            if what:
                started[index] = what
        finally:
            slot.release()
    return SetupReport(str(root), [str(_slot_prefix(root, i)) for i in range(count)],
                       template_built, built, started, round(time.monotonic() - began, 3))


class WineProcess:
    """A program running under Wine in a locked slot.

    stdin and stdout are pipes (binary unless text=True was given); stderr
    goes to a file unless a stream was asked for, readable with stderr_text().
    The program and everything it started in its process group are killed
    when the time bound passes or on close(); the slot is released on close().
    """

    def __init__(self, popen: subprocess.Popen, slot: _Slot, timeout: Optional[float],
                 stderr_file: Optional[IO[bytes]], prepare_s: float) -> None:
        self.popen = popen
        self.pid = popen.pid
        self.pgid = popen.pid  # started in its own session
        self.stdin = popen.stdin
        self.stdout = popen.stdout
        self.stderr = popen.stderr
        self.prefix = slot.prefix
        self.prepare_seconds = prepare_s
        self.timed_out = False
        self._slot = slot
        self._stderr_file = stderr_file
        self._stderr_kept = ""
        self._started = time.monotonic()
        self._closed = False
        self._timer: Optional[threading.Timer] = None
        if timeout is not None:
            self._timer = threading.Timer(timeout, self._expire)
            self._timer.daemon = True
            self._timer.start()

    def __enter__(self) -> "WineProcess":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def _expire(self) -> None:
        if self.popen.poll() is None:
            self.timed_out = True
        self.kill()

    @property
    def elapsed(self) -> float:
        return time.monotonic() - self._started

    def poll(self) -> Optional[int]:
        return self.popen.poll()

    def wait(self, timeout: Optional[float] = None) -> int:
        """Waits for the program itself (not for pipe EOF: Wine's helper
        processes may keep copies of the pipes open)."""
        return self.popen.wait(timeout)

    def kill(self) -> None:
        """Kills the program's whole process group."""
        # Once the leader is reaped its id may be reused; the group id stays
        # reserved only while members are left, so look for them first.
        if self.popen.returncode is not None and not _group_members(self.pgid):
            return
        with contextlib.suppress(ProcessLookupError, PermissionError):
            os.killpg(self.pgid, signal.SIGKILL)

    def stderr_text(self) -> str:
        """What the program wrote to stderr so far (with the default stderr)."""
        if self._stderr_file is None:
            return self._stderr_kept
        self._stderr_file.flush()
        self._stderr_file.seek(0)
        return self._stderr_file.read().decode(errors="replace")

    def close(self) -> int:
        """Ends the run: kills the process group (wait() first for a clean
        end), releases the slot; returns the exit code."""
        if self._closed:
            return self.popen.returncode
        self._closed = True
        if self._timer:
            self._timer.cancel()
        self.kill()
        code = self.popen.wait()
        for stream in (self.stdin, self.stdout, self.stderr):
            with contextlib.suppress(OSError, ValueError):
                if stream:
                    stream.close()
        if self._stderr_file is not None:
            self._stderr_kept = self.stderr_text()
            self._stderr_file.close()
            self._stderr_file = None
        self._slot.release()
        return code


def start(exe: str, args: Sequence[str] = (), *, com1: Optional[str] = None,
          com12: Optional[str] = None, modem_dir: Optional[str] = None,
          env: Optional[Mapping[str, str]] = None,
          timeout: Optional[float] = 60.0, display: bool = True, desktop: Optional[str] = None,
          cwd: Optional[str] = None, shim: bool = True, text: bool = False,
          stderr: Optional[int] = None, lock_wait: float = LOCK_WAIT_S,
          dpi: Optional[int] = None) -> WineProcess:
    """Starts exe under Wine and returns at once.

    com1: path of the pty slave (e.g. /dev/pts/4) the program sees as COM1;
        None leaves COM1 without a device (CreateFile fails with
        ERROR_NO_SUCH_DEVICE), as does the pty once its master is closed.
    com12: the same for COM12, which a program opens only as \\.\COM12
        (the plain name "COM12" is a file name to Windows).
    modem_dir: QUILLET_MODEM_DIR for the shim (the phone's modem-line files);
        None leaves the shim passive, so modem-status calls fail as on a bare pty.
    env: extra environment, applied last (e.g. WINEDEBUG=+comm).
    timeout: seconds from the start of the program until its process group
        is killed (timed_out is then set); None for no bound.
    display: run with the slot's Xvfb display (started on first use).
    desktop: "800x600" runs the program in a Wine virtual desktop of that
        size (dialogs end promptly there); None runs it without one.
    shim: preload the modem-line shim.
    text: text-mode pipes (UTF-8, undecodable bytes replaced).
    stderr: subprocess.PIPE or STDOUT for a stream; default a file.
    lock_wait: seconds to wait for a free slot.
    dpi: the screen's pixels per inch for this run (e.g. 120); None: 96.
    """
    began = time.monotonic()
    exe_path = Path(exe)
    if not exe_path.is_file():
        raise RigError("no such program: %s" % exe)
    desktop = _parse_desktop(desktop)
    root = rig_root()
    root.mkdir(parents=True, exist_ok=True)
    _ensure_template(root)
    preload = _preload_value(root) if shim else None
    slot = _acquire_slot(root, lock_wait)
    stderr_file = None
    try:
        _ensure_slot_prefix(slot)
        _ensure_no_port(slot.prefix)
        _kill_orphans(slot)
        run_env = _base_env(slot.prefix)
        if display:
            run_env["DISPLAY"] = ":%d" % _ensure_xvfb(slot)
        _ensure_services(slot, run_env.get("DISPLAY"))
        _sync_desktop(slot, exe_path.name, desktop)
        _sync_dpi(slot, dpi)
        slot.point_ports({"COM1": com1, "COM12": com12})
        if preload:
            run_env["LD_PRELOAD"] = preload
        if modem_dir is not None:
            run_env["QUILLET_MODEM_DIR"] = str(Path(modem_dir).resolve())
        run_env.update(env or {})
        if stderr is None:
            stderr_file = tempfile.TemporaryFile()
        popen = subprocess.Popen(
            [_wine_binary(), str(exe_path.resolve()), *args], cwd=cwd, env=run_env,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=stderr_file if stderr is None else stderr, start_new_session=True,
            text=text, encoding="utf-8" if text else None, errors="replace" if text else None,
            bufsize=1 if text else -1)
    except BaseException:
        slot.release()
        if stderr_file:
            stderr_file.close()
        raise
    return WineProcess(popen, slot, timeout, stderr_file, time.monotonic() - began)


@dataclasses.dataclass
class RunResult:
    returncode: int
    stdout: bytes
    stderr: str
    timed_out: bool
    seconds: float


def run(exe: str, args: Sequence[str] = (), *, input: bytes = b"",
        **options: object) -> RunResult:
    """Runs exe to completion (or to its time bound); takes start()'s options
    except text (output is bytes)."""
    proc = start(exe, args, **options)  # type: ignore[arg-type]
    chunks: List[bytes] = []

    out = proc.stdout.fileno()

    def pump() -> None:
        # Raw reads: a helper process that kept a copy of the pipe could keep
        # this thread blocked, and it must not hold the stream's lock then.
        with contextlib.suppress(OSError):
            while True:
                data = os.read(out, 65536)
                if not data:
                    break
                chunks.append(data)

    def feed() -> None:
        with contextlib.suppress(OSError, ValueError):
            if input:
                proc.stdin.write(input)
            proc.stdin.close()

    reader = threading.Thread(target=pump, daemon=True)
    reader.start()
    threading.Thread(target=feed, daemon=True).start()
    proc.wait()
    reader.join(0.5)
    err = proc.stderr_text()
    code = proc.close()
    reader.join(1)
    return RunResult(code, b"".join(chunks), err, proc.timed_out, round(proc.elapsed, 3))


def shutdown() -> List[str]:
    """Stops every slot's wineserver (and Wine processes) and Xvfb."""
    root = rig_root()
    done = []
    for lock in sorted(root.glob("slot*.lock")):
        name = lock.name[: -len(".lock")]
        with _flock(lock, LOCK_WAIT_S):
            prefix = root / name
            if prefix.exists():
                _quiet_run([_wineserver_binary(), "-k"], _base_env(prefix), 60)
            pid = _find_xvfb("QUILLET_XVFB=%s" % prefix)
            if pid:
                with contextlib.suppress(ProcessLookupError):
                    os.kill(pid, signal.SIGTERM)
            with contextlib.suppress(FileNotFoundError):
                (root / (name + ".xvfb.json")).unlink()
            done.append(name)
    return done


# ---------------------------------------------------------------- command line


def _main(argv: Sequence[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    p_setup = sub.add_parser("setup", help="prepare the Wine prefixes (idempotent)")
    p_setup.add_argument("--slots", type=int, default=None)
    p_setup.add_argument("--display", action="store_true", help="start the Xvfb displays now")
    sub.add_parser("shutdown", help="stop the rig's wineservers and displays")
    p_run = sub.add_parser("run", help="run a program; stdio is passed through")
    p_run.add_argument("--com1", help="pty slave to present as COM1")
    p_run.add_argument("--com12", help="pty slave to present as COM12")
    p_run.add_argument("--modem-dir", help="QUILLET_MODEM_DIR for the modem-line shim")
    p_run.add_argument("--timeout", type=float, default=60.0)
    p_run.add_argument("--desktop", help="virtual desktop size, e.g. 800x600")
    p_run.add_argument("--no-display", action="store_true")
    p_run.add_argument("--no-shim", action="store_true")
    p_run.add_argument("--env", action="append", default=[], metavar="NAME=VALUE")
    p_run.add_argument("exe")
    p_run.add_argument("args", nargs=argparse.REMAINDER)
    opts = parser.parse_args(argv)

    try:
        if opts.command == "setup":
            print(json.dumps(dataclasses.asdict(setup(opts.slots, opts.display)), indent=1))
            return 0
        if opts.command == "shutdown":
            print("stopped: " + " ".join(shutdown()))
            return 0
        extra = dict(item.split("=", 1) for item in opts.env)
        args = opts.args[1:] if opts.args[:1] == ["--"] else opts.args
        proc = start(opts.exe, args, com1=opts.com1, com12=opts.com12,
                     modem_dir=opts.modem_dir, env=extra,
                     timeout=opts.timeout, display=not opts.no_display, desktop=opts.desktop,
                     shim=not opts.no_shim, stderr=subprocess.STDOUT)
    except (RigError, ValueError) as e:
        print("winerun: %s" % e, file=sys.stderr)
        return 2
    with proc:
        stop = threading.Event()

        def feed() -> None:
            with contextlib.suppress(OSError, ValueError):
                while not stop.is_set():
                    data = os.read(sys.stdin.fileno(), 65536)
                    if not data:
                        break
                    proc.stdin.write(data)
                    proc.stdin.flush()
                proc.stdin.close()

        threading.Thread(target=feed, daemon=True).start()
        out = proc.stdout.fileno()
        while True:
            ready = select.select([out], [], [], 0.1)[0]
            if ready:
                data = os.read(out, 65536)
                if not data:
                    break
                os.write(sys.stdout.fileno(), data)
            elif proc.poll() is not None:
                # The program is gone; anything left came before its exit.
                while select.select([out], [], [], 0.05)[0]:
                    data = os.read(out, 65536)
                    if not data:
                        break
                    os.write(sys.stdout.fileno(), data)
                break
        proc.wait()
        stop.set()
        code = proc.close()
    if proc.timed_out:
        print("winerun: killed after %.1f s" % opts.timeout, file=sys.stderr)
        return 124
    return code if code >= 0 else 128 - code


if __name__ == "__main__":
    sys.exit(_main(sys.argv[1:]))
