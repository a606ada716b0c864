#!/usr/bin/env python3
"""End-to-end checks of quillet-host under Wine, driven over stdin/stdout.

The host runs the test plug-in gen_hosttest.dll (tools/host/testplugin),
which prints what the host answered as "plugin ..." lines on the same
output; the companion tests load the sample menu plug-in gen_samplemenu.dll
(tools/sample_menu) beside it. Needs the win32 build (cmake --build --preset
win32 --target quillet-host builds all three), wine and Xvfb.

Environment: QUILLET_WIN32_BUILD (default <repo>/build/win32), WINEPREFIX
(default /tmp/hostprefix, created when missing).
"""

import os
import queue
import re
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("QUILLET_WIN32_BUILD", os.path.join(REPO, "build", "win32"))
HOST_EXE = os.path.join(BUILD, "tools", "host", "quillet-host.exe")
PLUGIN = os.path.join(BUILD, "tools", "host", "testplugin", "gen_hosttest.dll")
SAMPLE = os.path.join(BUILD, "tools", "sample_menu", "gen_samplemenu.dll")
PREFIX = os.environ.get("WINEPREFIX", "/tmp/hostprefix")

sys.path.insert(0, os.path.join(REPO, "tools", "rig"))
from session import png_from_bmp  # noqa: E402

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
    for path in (HOST_EXE, PLUGIN, SAMPLE):
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
    # The host's windows are Wine's own, not a window manager's (there is
    # none on Xvfb): Wine then draws their frames, which `dialog shot`
    # captures, and hiding one does not wait for a manager's answer.
    subprocess.run(["wine", "reg", "add",
                    "HKCU\\Software\\Wine\\AppDefaults\\quillet-host.exe\\X11 Driver",
                    "/v", "Managed", "/t", "REG_SZ", "/d", "N", "/f"], timeout=60, **quiet)
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

    def run(self, *commands):
        """Sends the commands and returns the lines logged up to the end of
        the last one (an echo marker after them)."""
        marker = "end-%d" % len(self.lines)
        start = len(self.lines)
        self.send(*commands, "echo " + marker)
        first, _ = self.expect("cmd", line=commands[0], start=start)
        end, _ = self.expect("echo", text=marker, start=first)
        return self.lines[first:end]

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
        host.expect("plugin", "init", window="ok", instance="ok", unicode="yes")
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

    def send(self, host, wparam, lparam):
        """The result of one `send` and the index of its command line."""
        start = max(len(host.lines), host.base)
        host.send("send %d %d" % (wparam, lparam))
        at, _ = host.expect("cmd", line="send %d %d" % (wparam, lparam), start=start)
        return host.expect("send", start=at)[1].num("result"), at

    def test_shuffle_and_repeat_flip_through_their_toggles_only(self):
        host = self.start("--entries", "3")
        toggles = dict(kind="sent", thread="host", msg="WM_COMMAND")
        # Each set answers 1; only a change sends the toggle, which flips.
        for wparam, lparam, command, field, value in ((7, 252, 40023, "shuffle", "on"),
                                                      (1, 253, 40022, "repeat", "on"),
                                                      (0, 253, 40022, "repeat", "off")):
            result, at = self.send(host, wparam, lparam)
            self.assertEqual(result, 1)
            sent, _ = host.expect("msg", wparam=command, start=at, **toggles)
            host.expect("player", start=sent, **{field: value})
        self.assertEqual([self.send(host, 0, lparam)[0] for lparam in (250, 251)], [1, 0])
        result, at = self.send(host, 1, 252)
        self.assertEqual(result, 1)
        self.assertEqual(len(host.all("msg", wparam=40023, **toggles)), 1)
        # The system menu's toggle flips too; its other commands are the system's.
        host.send("syscommand 40023", "syscommand 40022", "repeat", "status")
        _, status = host.expect("status", start=at)
        self.assertEqual((status["shuffle"], status["repeat"]), ("off", "off"))
        host.expect("msg", msg="WM_SYSCOMMAND", wparam=40023, name="shuffle", handler="host")
        self.finish(host)

    def test_ratings_rate_the_current_entry_or_are_not_kept(self):
        host = self.start("--entries", "3", "--position", "2")
        self.assertEqual(self.send(host, 4, 639)[0], 1)
        host.send("position 0")
        self.assertEqual(self.send(host, 0, 640)[0], 0)
        self.assertEqual(self.send(host, 9, 639)[0], 1)  # clamped
        self.assertEqual(self.send(host, 0, 640)[0], 5)
        host.send("position 2")
        self.assertEqual(self.send(host, 0, 640)[0], 4)
        host.expect("msg", name="set_rating", wparam=9, result=1, handler="host")
        self.finish(host)
        host = self.start("--entries", "3", "--no-ratings")
        self.assertEqual(self.send(host, 4, 639)[0], 0)
        self.assertEqual(self.send(host, 0, 640)[0], 0)
        self.finish(host)

    def told(self, host, command):
        """What the player told its window for a command, in order: the
        playing file's path or the notice's sub-code, by lParam (and kind),
        up to a marker queued behind whatever it posted (sent once a first
        marker shows the command done)."""
        start = len(host.lines)
        host.send(command, "echo done")
        at, _ = host.expect("cmd", line=command, start=start)
        done, _ = host.expect("echo", text="done", start=at)
        host.send("echo told")
        end, _ = host.expect("echo", text="told", start=done)
        told = []
        for line in host.lines[at:end]:
            lparam = line.fields.get("lparam") if line.event == "msg" else None
            if lparam in ("603", "3002", "3003", "13003"):
                what = line.fields.get("text") if lparam == "3003" else line.num("wparam")
                told.append((int(lparam), line["kind"], what if lparam != "13003" else None))
        return told

    def test_the_player_tells_its_window_as_the_player_does(self):
        host = self.start("--entries", "2")

        def posted(*codes):
            return [(603, "posted", code) for code in codes]

        self.assertEqual(self.told(host, "state playing"),
                         [(3003, "sent", "C:\\Music\\Track 1.mp3"), (13003, "sent", None)] +
                         posted(0, 2))
        self.assertEqual(self.told(host, "state paused"), posted(0, 2, 7))
        self.assertEqual(self.told(host, "state playing"), posted(2, 8))
        self.assertEqual(self.told(host, "volume 7"), posted(1))
        self.assertEqual(self.told(host, "state stopped"), posted(0, 2))
        # Cleared, then each entry added.
        self.assertEqual(self.told(host, "entries 3"), [(3002, "sent", 0)] * 4)
        self.finish(host)

    def advance(self, host, *commands):
        """The `advance` line the last command brings, as a tuple."""
        start = len(host.lines)
        host.send(*commands)
        at, _ = host.expect("cmd", line=commands[-1], start=start)
        _, line = host.expect("advance", start=at)
        return line["cause"], line.num("answer"), line["by"], line.num("entry")

    def test_the_next_entry_is_asked_of_the_window_then_chosen(self):
        host = self.start("--entries", "3", "--state", "playing")
        self.assertEqual(self.advance(host, "next"), ("next", -1, "order", 1))
        host.expect("msg", kind="sent", thread="host", lparam=636, name="next_item", result=-1)
        self.assertEqual(self.advance(host, "end"), ("end", -1, "order", 2))
        # After the last entry without repeat the player stops; with it, it
        # goes round.
        self.assertEqual(self.advance(host, "end"), ("end", -1, "stop", -1))
        host.expect("player", state="stopped")
        host.send("end")
        host.expect("error", op="end", reason="nothing is playing")
        self.assertEqual(self.advance(host, "repeat", "play 2", "end"), ("end", -1, "order", 0))
        self.assertEqual(self.advance(host, "shuffle", "end")[2], "shuffle")
        self.finish(host)
        # An entry the window names comes next, shuffle or not.
        host = self.start_with_plugin("--entries", "6", "--state", "playing",
                                      env={"HOSTTEST_NEXT_ITEM": "4"})
        _, line = host.expect("advance")  # the plug-in's round posts Next
        self.assertEqual((line["cause"], line.num("answer"), line["by"], line.num("entry")),
                         ("next", 4, "answer", 4))
        host.expect("msg", name="playing_file", text="C:\\Music\\Track 5.mp3")
        self.assertEqual(self.advance(host, "shuffle", "end"), ("end", 4, "answer", 4))
        host.expect("msg", lparam=636, result=4, handler="plugin")
        self.finish(host)

    def test_million_entries_cost_nothing(self):
        host = self.start()
        host.send("entries 1000000", "position 999999", "status")
        _, status = host.expect("status")
        self.assertEqual(status.num("entries"), 1000000)
        self.assertEqual(status["title"], "Track 1000000")
        self.finish(host)

    def test_title_requests_without_the_log_are_counted_where_answered(self):
        host = self.start("--entries", "3", "--no-message-log")
        # Two sent on the window's thread, one request that is no title, then
        # four timed on its thread and four from another.
        lines = host.run("send 0 212", "send 2 213", "send 0 124", "time-titles 4", "titles")
        titles = [l for l in lines if l.event == "titles"]
        self.assertEqual([t.num("count") for t in titles], [10])
        self.assertGreater(titles[0].num("answer_ns"), 0)
        self.assertEqual([l.text for l in lines if l.event == "msg"], [])
        self.finish(host)

    def test_title_answers_that_are_no_title(self):
        host = self.start("--entries", "3")
        cases = [("-1", "-1", None), ("guard", None, None),
                 ("page-end", None, "Edge of the page"), ("off", None, "Track 1")]
        for answer, result, text in cases:
            start = len(host.lines)
            host.send("title-result " + answer, "send 0 212")
            _, chosen = host.expect("title", answer=answer, start=start)
            _, msg = host.expect("msg", name="entry_title", start=start)
            _, sent = host.expect("send", start=start)
            self.assertEqual(sent["result"], result or msg["result"], answer)
            if answer != "off":
                self.assertEqual(chosen["result"], msg["result"], answer)
            # What the log could read of it: up to the unreadable page, and
            # nothing of a guard page, which stays armed.
            self.assertEqual(msg.fields.get("text"), text, answer)
        host.send("title-result bogus")
        host.expect("error", op="title-result")
        self.assertEqual(host.all("crash"), [])
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
        # The thread may crash before the host has logged the unload.
        done, _ = host.expect("quit", "done")
        _, crash = host.expect("crash", start=done)
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


FORM = {"HOSTTEST_CONFIG_DIALOG": "form"}


def numbers(text):
    return [int(v) for v in text.split(",")]


def mul_div(number, numerator, denominator):
    """Windows' MulDiv for positive values: rounded to nearest, halves up."""
    return (2 * number * numerator + denominator) // (2 * denominator)


def read_bmp(path):
    """Width, height and top-down RGB rows of a bottom-up 24-bit BMP, checked
    field by field against the layout the host writes."""
    with open(path, "rb") as f:
        data = f.read()
    magic, size, offset = struct.unpack_from("<2sI4xI", data, 0)
    header, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    stride = (width * 3 + 3) & ~3
    assert (magic, size, offset, header, planes, bits, compression) == \
        (b"BM", len(data), 54, 40, 1, 24, 0), path
    assert height > 0 and size == 54 + stride * height, path
    rows = []
    for y in range(height):
        start = offset + (height - 1 - y) * stride
        bgr = data[start:start + width * 3]
        rows.append(bytes(b for i in range(0, len(bgr), 3) for b in bgr[i:i + 3][::-1]))
    return width, height, rows


def read_png(path):
    """Width, height and RGB rows of a PNG as png_from_bmp writes it (8-bit
    RGB, filter None on every row)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    i = 8
    chunks = {}
    while i < len(data):
        length, kind = struct.unpack_from(">I4s", data, i)
        body = data[i + 8:i + 8 + length]
        crc = struct.unpack_from(">I", data, i + 8 + length)[0]
        assert crc == zlib.crc32(kind + body) & 0xFFFFFFFF, kind
        chunks[kind] = chunks.get(kind, b"") + body
        i += 12 + length
    width, height, depth, color, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
    assert (depth, color, interlace) == (8, 2, 0) and b"IEND" in chunks, path
    raw = zlib.decompress(chunks[b"IDAT"])
    assert len(raw) == height * (1 + width * 3), path
    rows = []
    for y in range(height):
        row = raw[y * (1 + width * 3):(y + 1) * (1 + width * 3)]
        assert row[0] == 0, path
        rows.append(row[1:])
    return width, height, rows


class PngFromBmpTest(unittest.TestCase):
    """tools/rig/session.py's converter, on BMPs made here."""

    @staticmethod
    def bmp(width, rows, top_down):
        """A 24-bit BMP of RGB rows (top first), padded as the format wants."""
        stride = (width * 3 + 3) & ~3
        stored = rows if top_down else rows[::-1]
        pixels = b"".join(bytes(b for i in range(0, len(r), 3) for b in r[i:i + 3][::-1]) +
                          b"\xEE" * (stride - width * 3) for r in stored)
        height = -len(rows) if top_down else len(rows)
        return (struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54) +
                struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 0, 0, 0, 0) +
                pixels)

    def test_rows_come_out_top_down_in_rgb_without_padding(self):
        rows = [bytes([1, 2, 3, 4, 5, 6, 7, 8, 9]), bytes([10, 11, 12, 13, 14, 15, 16, 17, 18])]
        with tempfile.TemporaryDirectory() as tmp:
            for top_down in (False, True):
                bmp = os.path.join(tmp, "in.bmp")
                png = os.path.join(tmp, "out.png")
                with open(bmp, "wb") as f:
                    f.write(self.bmp(3, rows, top_down))
                png_from_bmp(bmp, png)
                self.assertEqual(read_png(png), (3, 2, rows), top_down)

    def test_other_bmps_are_refused(self):
        with tempfile.TemporaryDirectory() as tmp:
            bmp = os.path.join(tmp, "in.bmp")
            data = bytearray(self.bmp(1, [bytes(3)], False))
            data[28] = 32  # 32 bits a pixel
            with open(bmp, "wb") as f:
                f.write(data)
            with self.assertRaises(ValueError):
                png_from_bmp(bmp, os.path.join(tmp, "out.png"))


class DialogTest(HostTestCase):
    """The `dialog` commands on the test plug-in's form (config with
    HOSTTEST_CONFIG_DIALOG=form) and `quit now` inside config."""

    def open_form(self):
        host = self.start_with_plugin(env=FORM)
        host.send("config")
        begin, _ = host.expect("config", "begin")
        host.expect("plugin", "dialog", "shown", start=begin)
        layout = {l.num("id"): l for l in host.lines[begin:] if l.matches("plugin", "dialog", "item")}
        self.assertEqual(len(layout), 6)
        return host, layout

    def show(self, host):
        """The dialog line and the control lines of one `dialog show`."""
        lines = host.run("dialog show")
        dialogs = [l for l in lines if l.event == "dialog" and "window" in l.fields]
        controls = [l for l in lines if l.matches("dialog", "control")]
        self.assertEqual(len(dialogs), 1, lines)
        return dialogs[0], controls

    def test_show_reports_the_form_as_laid_out(self):
        host, layout = self.open_form()
        dialog, controls = self.show(host)
        self.assertEqual((dialog["title"], dialog["visible"], dialog["font"], dialog.num("size")),
                         ("Host test form", "yes", "MS Shell Dlg", 8))
        base_x, base_y = numbers(dialog["base"])
        self.assertGreater(base_x, 4)
        self.assertGreater(base_y, 8)
        client = numbers(dialog["client"])
        self.assertEqual(client, [mul_div(180, base_x, 4), mul_div(70, base_y, 8)])
        self.assertEqual(numbers(dialog["client_du"]), [180, 70])
        _, _, width, height = numbers(dialog["rect"])
        self.assertGreater(width, client[0])
        self.assertGreater(height, client[1])

        # Z order is the template's order; the unnamed label has id -1.
        self.assertEqual([c.num("id") for c in controls], [-1, 1001, 1004, 1, 2, 3])
        for control in controls:
            item = layout[control.num("id")]
            self.assertEqual(control["class"], item["class"])
            self.assertEqual(control["visible"], "yes")
            du, expected = numbers(control["du"]), numbers(item["du"])
            pixels = numbers(control["rect"])
            scale = (base_x, base_y, base_x, base_y)
            per = (4, 8, 4, 8)
            # A drop-down combo box is as high as its edit field, not its list.
            exact = 3 if control["class"] == "ComboBox" else 4
            self.assertEqual(du[:exact], expected[:exact], control)
            self.assertEqual(pixels[:exact],
                             [mul_div(v, s, p) for v, s, p in zip(expected, scale, per)][:exact],
                             control)
        by_id = {c.num("id"): c for c in controls}
        combo = by_id[1001]
        self.assertLess(numbers(combo["du"])[3], 60)
        self.assertEqual((combo["items"], combo.num("count"), combo.num("selected"), combo["text"]),
                         ("A|B|C", 3, -1, ""))
        self.assertEqual(int(combo["style"], 16) & 3, 2)  # CBS_DROPDOWN
        self.assertEqual([by_id[i]["text"] for i in (-1, 1004, 1, 2, 3)],
                         ["Port:", "Status.", "OK", "Cancel", "Apply"])
        self.assertNotIn("items", by_id[1004].fields)
        host.send("dialog press 2")
        host.expect("config", "done")
        self.finish(host)

    def test_type_select_and_press_drive_the_form(self):
        host, _ = self.open_form()
        lines = host.run("dialog type 1001 Zed", "dialog press 3")
        typed = [l for l in lines if l.matches("dialog", "typed")]
        self.assertEqual([(l.num("id"), l["text"]) for l in typed], [(1001, "Zed")])
        command, _ = host.expect("plugin", "dialog", "command", id=3, text="Zed")
        pressed, _ = host.expect("dialog", "pressed", id=3)
        self.assertLess(command, pressed)
        _, controls = self.show(host)
        combo = [c for c in controls if c.num("id") == 1001][0]
        self.assertEqual((combo["text"], combo.num("selected")), ("Zed", -1))

        host.run("dialog select 1001 1")
        host.expect("dialog", "selected", id=1001, index=1)
        _, controls = self.show(host)
        combo = [c for c in controls if c.num("id") == 1001][0]
        self.assertEqual((combo["text"], combo.num("selected")), ("B", 1))

        at = len(host.lines)
        host.send("dialog press 1")
        command, _ = host.expect("plugin", "dialog", "command", id=1, text="B", start=at)
        pressed, _ = host.expect("dialog", "pressed", id=1, start=command)
        result, _ = host.expect("plugin", "dialog", result=1, start=command)
        done, _ = host.expect("config", "done", start=result)
        self.assertLess(pressed, done)
        lines = host.run("dialog show")
        self.assertTrue(any(l.matches("error", op="dialog", reason="no dialog open") for l in lines))
        self.finish(host)

    def test_mistakes_are_reported(self):
        host = self.start_with_plugin(env=FORM)
        for command in ("dialog show", "dialog press 1", "dialog shot Z:\\tmp\\x.bmp"):
            lines = host.run(command)
            self.assertTrue(any(l.matches("error", op="dialog", reason="no dialog open")
                                for l in lines), command)
        host.send("config")
        begin, _ = host.expect("config", "begin")
        host.expect("plugin", "dialog", "shown", start=begin)
        for command, reason in (("dialog press 77", "no such control"),
                                ("dialog type 77 x", "no such control"),
                                ("dialog type 1001", "needs ID and TEXT"),
                                ("dialog select 1004 0", "not a combo box"),
                                ("dialog select 1001 3", "no such item"),
                                ("dialog select 1001 x", "needs ID and INDEX"),
                                ("dialog press", "needs ID"),
                                ("dialog frob 1", "unknown subcommand"),
                                ("dialog", "unknown subcommand")):
            lines = host.run(command)
            errors = [l for l in lines if l.event == "error"]
            self.assertEqual([(l["op"], l["reason"]) for l in errors], [("dialog", reason)],
                             command)
        # Nothing of that reached the plug-in or ended its dialog.
        self.assertEqual(host.all("plugin", "dialog", "command"), [])
        host.send("dialog cancel")
        host.expect("dialog", "cancelled", count=1)
        host.expect("plugin", "dialog", "command", id=2)
        host.expect("plugin", "dialog", result=2)
        host.expect("config", "done", start=begin)
        self.finish(host)

    def test_shot_captures_the_window(self):
        host, _ = self.open_form()
        dialog, _ = self.show(host)
        _, _, width, height = numbers(dialog["rect"])
        client_width, client_height = numbers(dialog["client"])
        with tempfile.TemporaryDirectory() as tmp:
            bmp = os.path.join(tmp, "form.bmp")
            host.run("dialog shot " + windows_path(bmp))
            _, shot = host.expect("dialog", "shot", path=windows_path(bmp))
            self.assertEqual((shot.num("width"), shot.num("height")), (width, height))
            self.assertEqual(shot["window"], dialog["window"])
            bmp_width, bmp_height, rows = read_bmp(bmp)
            self.assertEqual((bmp_width, bmp_height), (width, height))
            png = os.path.join(tmp, "form.png")
            png_from_bmp(bmp, png)
            self.assertEqual(read_png(png), (width, height, rows))
        # The frame and caption are drawn, above the client area...
        border = (width - client_width) // 2
        frame = b"".join(rows[:height - client_height - border])
        self.assertNotEqual(frame.count(0), len(frame))
        # ...and the client area is mostly the dialog's face, with text on it.
        client = [rows[y][3 * border:3 * (border + client_width)]
                  for y in range(height - client_height - border, height - border)]
        pixels = [row[i:i + 3] for row in client for i in range(0, len(row), 3)]
        counts = {}
        for pixel in pixels:
            counts[pixel] = counts.get(pixel, 0) + 1
        self.assertGreater(max(counts.values()), len(pixels) // 2)
        self.assertGreater(len(counts), 8)
        host.send("dialog press 2")
        host.expect("config", "done")
        self.finish(host)

    def test_quit_now_ends_the_form_and_unloads_after_config(self):
        host, _ = self.open_form()
        at = len(host.lines)
        host.send("quit now")
        steps = (("cmd", (), {"line": "quit now"}),
                 ("quit", ("begin",), {}),
                 ("plugin", ("quit",), {"ended_form": 1}),
                 ("quit", ("done",), {}),
                 ("unload", ("deferred",), {}),
                 ("plugin", ("dialog",), {"result": 2}),
                 ("config", ("done",), {}),
                 ("unloaded", (), {"path": windows_path(PLUGIN)}))
        for event, words, fields in steps:
            at, _ = host.expect(event, *words, start=at, **fields)
        self.assertEqual(host.all("cmd", "deferred"), [])
        lines = host.run("status")
        self.assertTrue(any(l.matches("status", loaded="no") for l in lines))
        self.finish(host)
        self.assertEqual(len(host.all("quit", "begin")), 1)
        self.assertEqual(host.all("crash"), [])

    def test_quit_now_inside_a_message_box_waits_for_it(self):
        host = self.start_with_plugin("--stall-ms", "300", env={"HOSTTEST_CONFIG_DIALOG": "1"})
        host.send("config")
        begin, _ = host.expect("config", "begin")
        host.expect("stall", entry="config", start=begin)
        host.send("quit now", "quit now", "config")
        done, _ = host.expect("quit", "done", start=begin)
        host.expect("plugin", "quit", ended_form=0, start=begin)
        deferred, _ = host.expect("unload", "deferred", start=done)
        host.expect("error", op="quit", reason="quit already called", start=deferred)
        host.expect("cmd", "deferred", line="config", start=deferred)
        # The watchdog is back on config, which still runs, and the module stays.
        host.expect("stall", entry="config", start=deferred)
        self.assertEqual(host.all("unloaded"), [])
        host.send("dialog cancel")
        answer, _ = host.expect("plugin", "dialog", answer=2, start=deferred)
        config_done, _ = host.expect("config", "done", start=answer)
        unloaded, _ = host.expect("unloaded", start=config_done)
        host.expect("error", op="config", reason="no plug-in loaded", start=unloaded)
        self.finish(host)
        self.assertEqual(host.all("crash"), [])

    def test_quit_now_outside_an_entry_point_unloads_at_once(self):
        host = self.start_with_plugin()
        lines = host.run("quit later", "quit now")
        self.assertTrue(any(l.matches("error", op="quit") for l in lines))
        done, _ = host.expect("quit", "done")
        unloaded, _ = host.expect("unloaded", start=done)
        self.assertEqual(host.all("unload", "deferred"), [])
        self.finish(host)


def expect_marked(host, marked, event, *words, start=None, **fields):
    """Host.expect for a companion's lines (marked) or the others only."""
    i = start
    while True:
        i, line = host.expect(event, *words, start=i, **fields)
        if ("companion" in line.words) == marked:
            return i, line
        i += 1


def expect_in_order(host, steps, start=None):
    """Indexes of the steps' lines (marked, event, words, fields), each
    looked for after the one before."""
    found = []
    for marked, event, words, fields in steps:
        i, _ = expect_marked(host, marked, event, *words, start=start, **fields)
        found.append(i)
        start = i + 1
    return found


class CompanionTest(HostTestCase):
    def test_companion_starts_before_and_stops_after_the_main_plugin(self):
        host = self.start("--companion", windows_path(SAMPLE), windows_path(PLUGIN))
        # The companion, whole, before the main plug-in.
        _, _, _, _, _, main_load, main_init = expect_in_order(host, (
            (True, "load", ("ok",), {"path": windows_path(SAMPLE)}),
            (True, "record", (), {"description": "Quillet sample menus"}),
            (True, "init", ("begin",), {}),
            (False, "plugin", ("sample", "registered"), {}),
            (True, "init", (), {"returned": 0}),
            (False, "load", ("ok",), {"path": windows_path(PLUGIN)}),
            (False, "init", (), {"returned": 0})))
        # The companion's lines are marked; the main plug-in's read as in a
        # run without companions.
        for i, line in enumerate(host.lines[:main_init + 1]):
            if line.event in ("load", "export", "record", "init"):
                self.assertEqual("companion" in line.words, i < main_load, line)
        # One registry for both: the companion's names came first.
        host.expect("plugin", "registered", ping=FIRST_ID + 4, unanswered=FIRST_ID + 5)
        _, round1 = host.expect("plugin", round=1)
        self.assertEqual(round1.num("ping"), PING_ANSWER)

        # config, export and status address the main plug-in.
        host.send("config", "export", "status")
        begin, _ = host.expect("config", "begin")
        host.expect("plugin", "config", length=10, start=begin)
        host.expect("export", call=2, returned="null")
        _, status = host.expect("status", loaded="yes")
        self.assertEqual(status["module"], windows_path(PLUGIN))
        self.assertEqual(status.num("companions"), 1)
        self.assertEqual(host.all("plugin", "sample", "config"), [])
        self.assertEqual(host.all("config", "companion"), [])
        self.assertEqual(host.all("export", "companion", call=2), [])

        host.send("exit")
        expect_in_order(host, (
            (False, "quit", ("begin",), {}),
            (False, "plugin", ("quit",), {"leak": 0}),
            (False, "unloaded", (), {"path": windows_path(PLUGIN)}),
            (True, "quit", ("begin",), {}),
            (False, "plugin", ("sample", "quit"), {"on_top": "yes"}),
            (True, "quit", ("done",), {}),
            (True, "unloaded", (), {"path": windows_path(SAMPLE)}),
            (False, "host", ("exit",), {"code": 0})), start=begin)
        self.assertEqual(host.wait(), 0)
        self.assertEqual(host.all("crash"), [])

    def test_companions_quit_in_reverse_order_without_a_main_plugin(self):
        host = self.start("--companion", windows_path(PLUGIN), "--companion", windows_path(SAMPLE))
        expect_in_order(host, (
            (True, "load", ("ok",), {"path": windows_path(PLUGIN)}),
            (False, "plugin", ("registered",), {"ping": FIRST_ID}),
            (True, "init", (), {"returned": 0}),
            (True, "load", ("ok",), {"path": windows_path(SAMPLE)}),
            (False, "plugin", ("sample", "registered"), {}),
            (True, "init", (), {"returned": 0})))
        # The hosttest subclass answers through the sample's, stacked on it.
        _, round1 = host.expect("plugin", round=1)
        self.assertEqual(round1.num("ping"), PING_ANSWER)
        host.send("status", "quit", "config")
        _, status = host.expect("status", loaded="no")
        self.assertEqual(status.num("companions"), 2)
        self.assertNotIn("module", status.fields)
        host.expect("error", op="quit", reason="no plug-in loaded")
        host.expect("error", op="config", reason="no plug-in loaded")
        host.close_stdin()
        eof, _ = host.expect("stdin", "eof")
        expect_in_order(host, (
            (False, "plugin", ("sample", "quit"), {"on_top": "yes"}),
            (True, "unloaded", (), {"path": windows_path(SAMPLE)}),
            (False, "plugin", ("quit",), {"leak": 0}),
            (True, "unloaded", (), {"path": windows_path(PLUGIN)}),
            (False, "host", ("exit",), {"code": 0})), start=eof)
        self.assertEqual(host.wait(), 0)
        self.assertEqual(host.all("crash"), [])
        self.assertEqual([l for l in host.all("quit") if "companion" not in l.words], [])

    def test_companion_command_loads_one_at_run_time(self):
        host = self.start("--companion", "Z:\\no\\such\\companion.dll",
                          windows_path(PLUGIN))
        _, failed = host.expect("load", "companion", "failed")
        self.assertEqual(failed.num("code"), 126)
        expect_marked(host, False, "init", returned=0)
        host.send("status", "companion", "companion " + windows_path(SAMPLE), "status")
        _, status = host.expect("status", loaded="yes")
        self.assertNotIn("companions", status.fields)
        host.expect("error", op="companion", reason="needs a path")
        loaded, _ = host.expect("load", "companion", "ok", path=windows_path(SAMPLE))
        host.expect("init", "companion", returned=0, start=loaded)
        _, status = host.expect("status", loaded="yes", start=loaded)
        self.assertEqual(status.num("companions"), 1)
        # Loaded after the main plug-in, so subclassed over it: it goes first.
        host.send("exit")
        expect_in_order(host, (
            (True, "quit", ("begin",), {}),
            (False, "plugin", ("sample", "quit"), {"on_top": "yes"}),
            (True, "unloaded", (), {"path": windows_path(SAMPLE)}),
            (False, "quit", ("begin",), {}),
            (False, "plugin", ("quit",), {"leak": 0}),
            (False, "unloaded", (), {"path": windows_path(PLUGIN)}),
            (False, "host", ("exit",), {"code": 0})), start=loaded)
        self.assertEqual(host.wait(), 0)
        self.assertEqual(host.all("crash"), [])


class SampleMenuTest(HostTestCase):
    """The sample plug-in's answers, asked with `send` as Quillet would ask."""

    def start_sample(self, env=None):
        host = self.start("--companion", windows_path(SAMPLE), env=env)
        host.expect("init", "companion", returned=0)
        _, ids = host.expect("plugin", "sample", "registered")
        names = ("query_menu", "load_menu", "value_changed", "menu_closed")
        self.assertEqual([ids.num(n) for n in names], [FIRST_ID + i for i in range(4)])
        return host, {n: ids.num(n) for n in names}

    @staticmethod
    def send(host, wparam, lparam):
        """The result of one `send`, and the index of its command line."""
        start = max(len(host.lines), host.base)
        host.send(f"send {wparam} {lparam}")
        at, _ = host.expect("cmd", line=f"send {wparam} {lparam}", start=start)
        _, line = host.expect("send", start=at)
        return line.num("result"), at

    def test_answers_its_menus_and_notes_what_it_is_told(self):
        host, ids = self.start_sample()
        load = ids["load_menu"]
        main, at = self.send(host, 1000, load)
        host.expect("plugin", "sample", "load_menu", id=1000, answered="yes", start=at)
        options, at = self.send(host, 1001, load)
        host.expect("plugin", "sample", "load_menu", id=1001, answered="yes", start=at)
        missing, at = self.send(host, 1002, load)
        host.expect("plugin", "sample", "load_menu", id=1002, answered="no", start=at)
        self.assertNotEqual(main, 0)
        self.assertNotIn(options, (0, main))
        self.assertEqual(missing, 0)
        self.assertEqual(self.send(host, 1000, load)[0], main)  # the same static record
        # Other messages go on to the player.
        _, at = self.send(host, 1000, ids["query_menu"])
        host.expect("msg", lparam=ids["query_menu"], result=0, handler="host", start=at)

        closed = ids["menu_closed"]
        _, at = self.send(host, main, closed)
        host.expect("plugin", "sample", "menu_closed", menu="main", id=2000, text="Quillet",
                    start=at)
        host.expect("msg", lparam=closed, handler="host", start=at)  # passed on
        _, at = self.send(host, options, closed)
        host.expect("plugin", "sample", "menu_closed", menu="options", id=2001, start=at)
        _, at = self.send(host, 0, closed)
        host.expect("plugin", "sample", "menu_closed", menu="unknown", record="null", start=at)
        # Any 8 readable bytes make a value change: the main record begins
        # with its items' address and their count.
        _, at = self.send(host, main, ids["value_changed"])
        _, change = host.expect("plugin", "sample", "value_changed", value=8, start=at)
        self.assertNotEqual(change.num("id"), 0)
        self.assertEqual(len(host.all("plugin", "sample", "load_menu")), 4)
        self.finish(host)

    def test_no_main_switch_leaves_the_main_menu_to_others(self):
        host, ids = self.start_sample(env={"SAMPLEMENU_NO_MAIN": "1"})
        host.expect("plugin", "sample", "registered", no_main=1)
        self.assertEqual(self.send(host, 1000, ids["load_menu"])[0], 0)
        self.assertNotEqual(self.send(host, 1001, ids["load_menu"])[0], 0)
        host.expect("plugin", "sample", "load_menu", id=1000, answered="no")
        host.expect("plugin", "sample", "load_menu", id=1001, answered="yes")
        host.send("send 1000", "send x 1")
        first, _ = host.expect("error", op="send")
        host.expect("error", op="send", start=first + 1)
        self.finish(host)


if __name__ == "__main__":
    unittest.main()
