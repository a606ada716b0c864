#!/usr/bin/env python3
"""End-to-end checks of quillet-host under Wine, driven over stdin/stdout.

The host runs the test plug-in gen_hosttest.dll (tools/host/testplugin),
which prints what the host answered as "plugin ..." lines on the same
output. Needs the win32 build (cmake --build --preset win32 --target
quillet-host), wine and Xvfb.

Environment: QUILLET_WIN32_BUILD (default <repo>/build/win32), WINEPREFIX
(default /tmp/hostprefix, created when missing).
"""

import os
import queue
import re
import subprocess
import tempfile
import threading
import time
import unittest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("QUILLET_WIN32_BUILD", os.path.join(REPO, "build", "win32"))
HOST_EXE = os.path.join(BUILD, "tools", "host", "quillet-host.exe")
PLUGIN = os.path.join(BUILD, "tools", "host", "testplugin", "gen_hosttest.dll")
PREFIX = os.environ.get("WINEPREFIX", "/tmp/hostprefix")

WAIT_S = 20.0  # bound of every wait for a line
PING_ANSWER = 0x1234 + 7  # what the plug-in's subclass answers to its ping
FIRST_ID = 0xC000

_TOKEN = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|\S+)|(\S+)')


def unquote(value):
    """Undoes the log's quoting: \\\\, \\" and \\xNN."""
    if not (value.startswith('"') and value.endswith('"')):
        return value
    out = bytearray()
    body = value[1:-1]
    i = 0
    while i < len(body):
        c = body[i]
        if c == "\\" and body[i + 1] == "x":
            out.append(int(body[i + 2:i + 4], 16))
            i += 4
        elif c == "\\":
            out += body[i + 1].encode("latin-1")
            i += 2
        else:
            out += c.encode("latin-1")
            i += 1
    return out.decode("latin-1")


class Line:
    """One log line: event word, bare words and key=value fields."""

    def __init__(self, text):
        self.text = text
        self.words = []
        self.fields = {}
        for m in _TOKEN.finditer(text):
            if m.group(3) is not None:
                self.words.append(m.group(3))
            else:
                self.fields[m.group(1)] = unquote(m.group(2))
        self.event = self.words[0] if self.words else ""

    def __getitem__(self, key):
        return self.fields[key]

    def num(self, key):
        return int(self.fields[key])

    def matches(self, event, *words, **fields):
        if self.event != event:
            return False
        if any(w not in self.words[1:] for w in words):
            return False
        return all(self.fields.get(k) == str(v) for k, v in fields.items())

    def __repr__(self):
        return self.text


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


_xvfb = None
_env = None


def setUpModule():
    global _xvfb, _env
    for path in (HOST_EXE, PLUGIN):
        if not os.path.exists(path):
            raise RuntimeError(f"{path} missing: build the win32 preset first")
    env = dict(os.environ)
    env.update(WINEPREFIX=PREFIX, WINEARCH="win32", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    # One X server for the whole module: the host window needs a display.
    read_fd, write_fd = os.pipe()
    _xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-nolisten", "tcp",
                              "-screen", "0", "640x480x24"], pass_fds=(write_fd,),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        display = f.readline().strip()
    if not display:
        raise RuntimeError("Xvfb did not start")
    env["DISPLAY"] = ":" + display
    quiet = dict(env=env, check=False, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                 stderr=subprocess.DEVNULL)
    # A persistent wineserver with its services already up: runs whose
    # output is a pipe then neither start them nor wait for them.
    subprocess.run(["wineserver", "-p"], timeout=60, **quiet)
    subprocess.run(["wineboot"], timeout=300, **quiet)
    _env = env


def tearDownModule():
    if _xvfb is not None:
        _xvfb.terminate()
        _xvfb.wait(timeout=10)


class Host:
    """One quillet-host process; collects its output lines."""

    def __init__(self, *args, env=None):
        run_env = dict(_env)
        run_env.update(env or {})
        self.proc = subprocess.Popen(["wine", HOST_EXE, *args], env=run_env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        self.lines = []
        self._incoming = queue.Queue()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        # Waits start after the state the host reports at start-up.
        self.base = 0
        self.base = self.expect("status")[0] + 1

    def _read(self):
        for raw in self.proc.stdout:
            self._incoming.put(Line(raw.decode("latin-1").rstrip("\r\n")))
        self._incoming.put(None)

    def send(self, *commands):
        self.proc.stdin.write("".join(c + "\n" for c in commands).encode("latin-1"))
        self.proc.stdin.flush()

    def close_stdin(self):
        self.proc.stdin.close()

    def expect(self, event, *words, start=None, **fields):
        """Index and line of the first match at or after `start`."""
        deadline = time.monotonic() + WAIT_S
        i = self.base if start is None else start
        while True:
            while i < len(self.lines):
                if self.lines[i].matches(event, *words, **fields):
                    return i, self.lines[i]
                i += 1
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                break
            try:
                line = self._incoming.get(timeout=remaining)
            except queue.Empty:
                break
            if line is None:
                break
            self.lines.append(line)
        raise AssertionError(f"no '{event} {words} {fields}' after line {start}; got:\n" +
                             "\n".join(map(str, self.lines)))

    def all(self, event, *words, **fields):
        return [l for l in self.lines if l.matches(event, *words, **fields)]

    def wait(self):
        code = self.proc.wait(timeout=WAIT_S)
        self._reader.join(timeout=WAIT_S)
        while True:
            try:
                line = self._incoming.get_nowait()
            except queue.Empty:
                break
            if line is not None:
                self.lines.append(line)
        return code

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(timeout=WAIT_S)
        for pipe in (self.proc.stdin, self.proc.stdout):
            if not pipe.closed:
                pipe.close()


class HostTestCase(unittest.TestCase):
    def start(self, *args, env=None):
        host = Host(*args, env=env)
        self.addCleanup(host.stop)
        return host

    def start_with_plugin(self, *args, env=None):
        host = self.start(*args, windows_path(PLUGIN), env=env)
        host.expect("init", returned=0)
        return host

    def finish(self, host):
        host.send("exit")
        host.expect("host", "exit", code=0)
        self.assertEqual(host.wait(), 0)


class LifecycleTest(HostTestCase):
    def test_loads_runs_and_unloads_like_the_player(self):
        host = self.start_with_plugin("--entries", "5")
        _, load = host.expect("load", "ok")
        self.assertEqual(load["path"], windows_path(PLUGIN))
        host.expect("export", call=1, returned="non-null")
        _, record = host.expect("record", version=16)
        self.assertEqual(record["description"], "Host test plug-in")
        host.expect("plugin", "init", window="ok", instance="ok")
        host.expect("plugin", "registered", ping=FIRST_ID, unanswered=FIRST_ID + 1,
                    again=FIRST_ID)

        # Registrations come from init, on the host's own thread.
        for text, result in (("HostTest_Ping", FIRST_ID), ("HostTest_Unanswered", FIRST_ID + 1),
                             ("hosttest_PING", FIRST_ID)):
            host.expect("msg", kind="sent", thread="host", msg="WM_USER", lparam=65536,
                        name="register", text=text, result=result, handler="host")

        _, round1 = host.expect("plugin", round=1)
        self.assertEqual(round1.num("volume_before"), 200)
        self.assertEqual(round1.num("volume_clamped"), 255)
        self.assertEqual(round1.num("length"), 5)
        self.assertEqual(round1.num("position"), 0)
        self.assertEqual(round1["title"], "Track 1")
        self.assertEqual(round1.num("beyond"), 0)
        self.assertEqual(round1.num("state"), 0)
        self.assertEqual(round1.num("video"), 0)
        self.assertEqual(round1.num("ping"), PING_ANSWER)
        self.assertEqual(round1.num("unanswered"), 0)

        # Requests from the plug-in's thread, each logged once with its result.
        monitor = dict(kind="sent", thread="monitor", msg="WM_USER")
        host.expect("msg", wparam=-666, lparam=122, name="get_volume", result=200,
                    handler="host", **monitor)
        clamp, _ = host.expect("msg", wparam=300, lparam=122, name="set_volume", **monitor)
        host.expect("player", volume=255, start=clamp)
        host.expect("msg", wparam=0, lparam=212, name="entry_title", text="Track 1", **monitor)
        host.expect("msg", wparam=5, lparam=212, name="entry_title", result=0, **monitor)
        host.expect("msg", lparam=FIRST_ID, name="registered", text="HostTest_Ping",
                    result=PING_ANSWER, handler="plugin", **monitor)
        host.expect("msg", lparam=FIRST_ID + 1, name="registered", text="HostTest_Unanswered",
                    result=0, handler="host", **monitor)
        self.assertEqual(len(host.all("msg", name="get_volume")), 2)
        nxt, _ = host.expect("msg", kind="posted", msg="WM_COMMAND", wparam=40048, name="next")
        host.expect("player", position=1, start=nxt)

        host.send("export")
        host.expect("export", call=2, returned="null")
        host.send("status")
        _, status = host.expect("status", loaded="yes")
        self.assertEqual(status.num("volume"), 100)
        self.assertEqual(status.num("position"), 1)
        self.assertEqual(status.num("registered"), 2)
        self.assertEqual(status["title"], "Track 2")

        host.send("quit")
        begin, _ = host.expect("quit", "begin")
        host.expect("plugin", "quit", leak=0, start=begin)
        done, _ = host.expect("quit", "done", start=begin)
        host.expect("unloaded", start=done)
        # The host outlives the plug-in.
        host.send("export", "status")
        host.expect("error", op="export")
        host.expect("status", loaded="no")
        self.finish(host)

    def test_unload_leaves_no_plugin_thread(self):
        host = self.start()
        host.send("status")
        _, before = host.expect("status", loaded="no")
        host.send("load " + windows_path(PLUGIN))
        host.expect("init", returned=0)
        host.expect("plugin", round=1)
        host.send("quit", "status")
        host.expect("unloaded")
        _, after = host.expect("status", loaded="no", start=host.lines.index(before) + 1)
        self.assertEqual(after.num("threads"), before.num("threads"))
        self.finish(host)

    def test_second_load_and_missing_module_are_refused(self):
        host = self.start()
        host.send("load Z:\\no\\such\\module.dll")
        _, failed = host.expect("load", "failed")
        self.assertEqual(failed.num("code"), 126)
        host.send("load " + windows_path(PLUGIN))
        host.expect("init", returned=0)
        host.send("load " + windows_path(PLUGIN))
        _, error = host.expect("error", op="load")
        self.assertEqual(error["reason"], "a plug-in is already loaded")
        self.assertEqual(len(host.all("load", "ok")), 1)
        self.finish(host)
        self.assertEqual(len(host.all("unloaded")), 1)

    def test_end_of_input_quits_unloads_and_exits(self):
        host = self.start_with_plugin()
        host.expect("plugin", round=1)
        host.close_stdin()
        eof, _ = host.expect("stdin", "eof")
        quit_done, _ = host.expect("quit", "done", start=eof)
        unloaded, _ = host.expect("unloaded", start=quit_done)
        host.expect("host", "exit", code=0, start=unloaded)
        self.assertEqual(host.wait(), 0)


class PlayerModelTest(HostTestCase):
    def test_state_commands_change_the_model(self):
        host = self.start("--entries", "3")
        host.send("volume 300", "volume -4", "state paused", "state bogus", "video on",
                  "position 2", "position 3", "status")
        host.expect("player", volume=255)
        host.expect("player", volume=0)
        host.expect("player", state="paused")
        host.expect("error", op="state")
        host.expect("player", video="on")
        host.expect("error", op="position", reason="outside the playlist")
        _, status = host.expect("status")
        self.assertEqual((status.num("volume"), status["state"], status["video"],
                          status.num("position"), status["title"]),
                         (0, "paused", "on", 2, "Track 3"))
        self.finish(host)

    def test_million_entries_cost_nothing(self):
        host = self.start()
        host.send("entries 1000000", "position 999999", "status")
        _, status = host.expect("status")
        self.assertEqual(status.num("entries"), 1000000)
        self.assertEqual(status["title"], "Track 1000000")
        self.finish(host)

    def test_m3u_playlist_titles(self):
        with tempfile.NamedTemporaryFile("wb", suffix=".m3u", delete=False) as f:
            f.write(b"#EXTM3U\r\n#EXTINF:123,Artist - First\r\nC:\\music\\one.mp3\r\n"
                    b"\r\nC:\\music\\two.mp3\r\n#EXTINF:5,Caf\xe9 \"Third\"\r\nthree.mp3\r\n")
        self.addCleanup(os.unlink, f.name)
        host = self.start()
        host.send("playlist " + windows_path(f.name), "status", "position 1", "status",
                  "position 2", "status")
        host.expect("player", entries=3)
        titles = []
        start = host.base
        for _ in range(3):
            i, status = host.expect("status", start=start)
            titles.append(status["title"])
            start = i + 1
        self.assertEqual(titles, ["Artist - First", "C:\\music\\two.mp3", "Caf\xe9 \"Third\""])
        self.finish(host)

    def test_plugin_sees_large_playlist_and_next_wraps(self):
        host = self.start_with_plugin("--entries", "1000000", "--position", "999999",
                                      "--state", "playing", "--video", "on")
        _, round1 = host.expect("plugin", round=1)
        self.assertEqual((round1.num("length"), round1.num("position"), round1["title"],
                          round1.num("state"), round1.num("video")),
                         (1000000, 999999, "Track 1000000", 1, 1))
        host.expect("player", position=0)
        host.send("config")
        begin, _ = host.expect("config", "begin")
        host.expect("msg", kind="sent", thread="host", name="playlist_length", result=1000000,
                    start=begin)
        host.expect("config", "done", start=begin)
        _, round2 = host.expect("plugin", round=2)
        self.assertEqual((round2.num("position"), round2["title"]), (0, "Track 1"))
        self.finish(host)

    def test_busy_host_holds_the_plugin_thread(self):
        host = self.start_with_plugin(env={"HOSTTEST_ROUND_DELAY_MS": "200"})
        host.expect("plugin", round=1)
        # config starts a round 200 ms later, when the host is asleep.
        host.send("config", "sleep 800")
        slept, line = host.expect("sleep", "done")
        self.assertGreaterEqual(line.num("ms"), 790)
        round2, line = host.expect("plugin", round=2)
        self.assertGreater(round2, slept)
        self.assertGreaterEqual(line.num("ms"), 300)
        first = host.expect("msg", thread="monitor", start=slept)[1]
        self.assertGreaterEqual(first.num("t"), host.lines[slept].num("t"))
        self.finish(host)


class FailureTest(HostTestCase):
    def test_thread_left_behind_crashes_after_unload(self):
        host = self.start_with_plugin(env={"HOSTTEST_LEAK_THREAD": "1"})
        host.expect("plugin", round=1)
        host.send("quit")
        unloaded, _ = host.expect("unloaded")
        _, crash = host.expect("crash", start=unloaded)
        self.assertEqual(crash["code"], "0xC0000005")
        self.assertEqual(crash["in"], "unloaded_module")
        self.assertEqual(crash["module"], windows_path(PLUGIN))
        self.assertEqual(host.wait(), 3)

    def test_exit_during_config_dialog_is_deferred(self):
        host = self.start_with_plugin("--stall-ms", "300", env={"HOSTTEST_CONFIG_DIALOG": "1"})
        host.expect("plugin", round=1)
        host.send("config")
        begin, _ = host.expect("config", "begin")
        host.expect("stall", entry="config", start=begin)
        # The dialog's message loop still delivers commands.
        host.send("status", "exit")
        host.expect("status", loaded="yes", start=begin)
        deferred, _ = host.expect("cmd", "deferred", line="exit", start=begin)
        host.expect("dialog", "cancel", start=deferred)
        answer, _ = host.expect("plugin", "dialog", answer=2, start=deferred)
        done, _ = host.expect("config", "done", start=answer)
        quit_done, _ = host.expect("quit", "done", start=done)
        host.expect("host", "exit", code=0, start=quit_done)
        self.assertEqual(host.wait(), 0)

    def test_timeout_ends_a_stuck_run(self):
        host = self.start("--timeout", "1500")
        _, line = host.expect("host", "timeout")
        self.assertEqual(line.num("limit_ms"), 1500)
        self.assertEqual(host.wait(), 2)


if __name__ == "__main__":
    unittest.main()
