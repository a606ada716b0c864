"""The configuration dialog of the real DLL, driven through the stand-in
host while it is open on the host's thread: its layout as the resource gives
it at 96 and 120 DPI (no control overlaps another, every text fits), the
port list with the ports the system lists, every setting shown and applied
(the calls box turns call pauses on without any edit of plugin.ini, which
Apply writes at once), the status line updated live, Apply, OK, Cancel,
and quit while it is open. A screenshot is kept in
build/e2e/config_dialog.png."""

import re
import time
import unittest
from pathlib import Path

from rig import CONTROL_IDS as ID
from rig import CALL_COMMANDS, SETUP_COMMANDS, Session, png_from_bmp, win_path

ROOT = Path(__file__).resolve().parents[2]
FIELD = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|\S+)|(\S+)')
PORTS = ["Disabled"] + ["COM%d" % n for n in range(1, 9)]
CONNECTED = "Ready and connected to SimPhone QX-1."

# Id, class, text, x, y, w, h (dialog units), shown; combo heights are their
# drop-down lists, which a closed combo box does not report.
LAYOUT = [
    (-1, "Static", "Port", 7, 9, 14, 8, True),
    (ID["PORT"], "ComboBox", None, 31, 7, 48, 77, True),
    (-1, "Static", "Mode", 95, 9, 18, 8, False),
    (ID["MODE"], "ComboBox", "", 121, 7, 58, 30, False),
    (-1, "Static", "Plug-in menus", 7, 29, 50, 8, True),
    (ID["PLUGIN_MENUS"], "ComboBox", None, 60, 27, 119, 60, True),
    (ID["PAUSE_ON_CALL"], "Button", "Pause the music during calls", 7, 45, 172, 10, True),
    (ID["REMOTE_KEYS"], "Button", "Phone keys as a remote", 7, 58, 172, 10, True),
    (ID["CHARSET"], "Button", "Titles in the phone's character set", 7, 71, 172, 10, True),
    (ID["FIND_TRACK"], "Button", "Find tracks by name", 7, 84, 172, 10, True),
    (ID["FOLLOW_TRACK"], "Button", "Menu follows the playing track", 7, 97, 172, 10, True),
    (ID["PLAY_MODES"], "Button", "Shuffle, repeat and rating in the menu", 7, 110, 172, 10, True),
    (ID["PAUSE_WHEN_AWAY"], "Button", "Pause when the phone goes away", 7, 123, 172, 10, True),
    (ID["LIBRARY"], "Button", "Browse the media library", 7, 136, 172, 10, True),
    (ID["STATUS"], "Static", None, 7, 151, 172, 19, True),
    (ID["OK"], "Button", "OK", 69, 175, 50, 14, True),
    (ID["CANCEL"], "Button", "Cancel", 129, 175, 50, 14, True),
    (ID["APPLY"], "Button", "Apply", 7, 175, 50, 14, True),
]
# The check boxes: the buttons that are not OK, Cancel or Apply.
CHECK_BOXES = [row[0] for row in LAYOUT
               if row[1] == "Button" and row[0] not in (ID["OK"], ID["CANCEL"], ID["APPLY"])]
MENUS = ["Show custom menus directly", "Select which menu to use", "Ignore custom menus"]
# What a drop-down combo box's edit field shares its width with: the arrow
# button and the borders, at most this many pixels at 96 DPI.
COMBO_FRAME_96 = 24


def numbers(text):
    return [int(v) for v in text.split(",")]


def overlaps(a, b):
    ax, ay, aw, ah = a
    bx, by, bw, bh = b
    return ax < bx + bw and bx < ax + aw and ay < by + bh and by < ay + ah


def unquote(value):
    if not value.startswith('"'):
        return value
    return re.sub(r"\\x([0-9A-Fa-f]{2})|\\(.)",
                  lambda m: chr(int(m.group(1), 16)) if m.group(1) else m.group(2), value[1:-1])


def fields(line):
    return {m.group(1): unquote(m.group(2)) for m in FIELD.finditer(line) if m.group(1)}


class Dialog:
    """The plug-in's dialog, opened with `config` and worked as a user would."""

    def __init__(self, test, s):
        self.test, self.s = test, s
        self.marker = 0
        s.host_cmd("config")
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            # A modal dialog exists before it is shown: it shows itself once
            # its loop first finds the queue empty.
            shown = self.show(quiet=True)
            if shown and shown[0]["visible"] == "yes":
                return
            time.sleep(0.1)
        test.fail("the dialog did not open:\n" + s.host_log()[-3000:])

    def show(self, quiet=False):
        """The dialog's lines: the window's fields, then each control's."""
        self.marker += 1
        mark = len(self.s.host_lines.snapshot())
        self.s.host_cmd("dialog show")
        self.s.host_cmd("echo shown %d" % self.marker)
        if not self.s.wait_host(r'^echo text="shown %d"' % self.marker, 15, mark):
            self.test.fail("the host did not answer:\n" + self.s.host_log()[-3000:])
        lines = self.s.host_lines.snapshot()[mark:]
        window = [fields(l) for l in lines if l.startswith("dialog window=")]
        controls = [fields(l) for l in lines if l.startswith("dialog control ")]
        if not window:
            if not quiet:
                self.test.fail("no dialog open:\n" + "\n".join(lines))
            return None
        return window[0], controls

    def control(self, ident):
        _, controls = self.show()
        return next(c for c in controls if c["id"] == str(ident))

    def wait_status(self, text, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.control(ID["STATUS"])["text"] == text:
                return True
            time.sleep(0.2)
        return False

    def press(self, ident):
        mark = len(self.s.host_lines.snapshot())
        self.s.host_cmd("dialog press %d" % ident)
        self.test.assertTrue(self.s.wait_host(r"^dialog pressed id=%d" % ident, 15, mark),
                             self.s.host_log()[-3000:])

    def close_with(self, ident):
        mark = len(self.s.host_lines.snapshot())
        self.press(ident)
        self.test.assertTrue(self.s.wait_host(r"^config done", 15, mark), self.s.host_log()[-3000:])


class ConfigDialog(unittest.TestCase):
    def check_layout(self, d, window, controls):
        """The template's controls in tab order, none over another, inside the
        window, every text fitting its control at this DPI."""
        self.assertEqual(window["title"], "")
        self.assertEqual((window["font"], window["size"]), ("MS Shell Dlg", "8"))
        self.assertEqual(window["client_du"], "186,196")
        self.assertEqual(len(controls), len(LAYOUT))
        client = numbers(window["client"])
        dpi = int(window["dpi"])
        shown = []
        for control, (ident, cls, text, x, y, w, h, visible) in zip(controls, LAYOUT):
            with self.subTest(id=ident, text=text, dpi=dpi):
                self.assertEqual(control["id"], str(ident))
                self.assertEqual(control["class"], cls)
                du = numbers(control["du"])
                self.assertEqual(du[:3], [x, y, w])
                if cls != "ComboBox":
                    self.assertEqual(du[3], h)
                self.assertEqual(control["visible"], "yes" if visible else "no")
                if text is not None:
                    self.assertEqual(control["text"], text)
                if not visible:
                    continue
                rect = numbers(control["rect"])
                self.assertTrue(rect[0] >= 0 and rect[1] >= 0 and rect[0] + rect[2] <= client[0]
                                and rect[1] + rect[3] <= client[1], (rect, client))
                for other_ident, other in shown:
                    self.assertFalse(overlaps(rect, other), (ident, other_ident))
                shown.append((ident, rect))
                width, height = numbers(control["textsize"])
                room = rect[2]
                if "checked" in control:
                    room -= int(window["checkw"]) + 4  # the box and its gap
                elif cls == "Button":
                    room -= 8  # the push button's edges
                if ident != ID["STATUS"]:  # the status text wraps over its two lines
                    self.assertLessEqual(width, room, control)
                    self.assertLessEqual(height, rect[3],
                                         control)
        # Each entry of the plug-in menus list fits its edit field.
        menus = next(c for c in controls if c["id"] == str(ID["PLUGIN_MENUS"]))
        self.assertEqual(menus["items"].split("|"), MENUS)
        for index, entry in enumerate(MENUS):
            self.dialog_cmd(d, "dialog select %d %d" % (ID["PLUGIN_MENUS"], index))
            shown_entry = d.control(ID["PLUGIN_MENUS"])
            self.assertEqual(shown_entry["text"], entry)
            width = numbers(shown_entry["textsize"])[0]
            self.assertLessEqual(width + COMBO_FRAME_96 * dpi // 96,
                                 numbers(shown_entry["rect"])[2], shown_entry)

    def dialog_cmd(self, d, line):
        """Runs a `dialog` command that acts and waits for its log line."""
        mark = len(d.s.host_lines.snapshot())
        d.s.host_cmd(line)
        self.assertTrue(d.s.wait_host(r"^dialog (?!control|window)", 15, mark),
                        d.s.host_log()[-2000:])

    def test_layout_at_96_and_120_dpi_lists_and_screenshot(self):
        for dpi in (96, 120):
            with self.subTest(dpi=dpi), Session(port="COM3", dpi=dpi if dpi != 96 else None) as s:
                self.assertTrue(s.wait_trace("info: OnInit started", 20), s.trace())
                d = Dialog(self, s)
                window, controls = d.show()
                self.assertEqual(window["dpi"], str(dpi))
                # The fixed ports, then the ones the system lists, in number
                # order, once each (Wine's mount manager lists the rig's).
                ports = controls[1]
                items = ports["items"].split("|")
                self.assertEqual(items[:len(PORTS)], PORTS)
                extra = [int(p[3:]) for p in items[len(PORTS):]]
                self.assertEqual(extra, sorted(set(extra)))
                self.assertTrue(all(n > 8 for n in extra), items)
                self.assertIn("COM12", items)
                self.assertEqual(ports["selected"], "3")
                self.assertEqual(ports["text"], "COM3")
                by_id = {c["id"]: c for c in controls}
                self.assertEqual(by_id[str(ID["STATUS"])]["text"], "Comport busy.")
                self.assertEqual(by_id[str(ID["PLUGIN_MENUS"])]["selected"], "0")
                self.assertEqual([c["checked"] for c in controls if "checked" in c],
                                 ["no"] * len(CHECK_BOXES))
                if dpi == 96:
                    shot = s.dir / "dialog.bmp"
                    mark = len(s.host_lines.snapshot())
                    s.host_cmd("dialog shot " + win_path(shot))
                    self.assertTrue(s.wait_host(r"^dialog shot ", 15, mark),
                                    s.host_log()[-2000:])
                    out = ROOT / "build" / "e2e"
                    out.mkdir(parents=True, exist_ok=True)
                    png_from_bmp(shot, out / "config_dialog.png")
                    self.assertGreater((out / "config_dialog.png").stat().st_size, 1000)
                self.check_layout(d, window, controls)
                d.close_with(ID["CANCEL"])

    def test_the_calls_box_applied_pauses_a_ringing_call(self):
        with Session(port="COM1", host_args=["--state", "playing"]) as s:
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)
            self.assertNotIn("PauseOnCall", s.settings())
            d = Dialog(self, s)
            self.assertEqual(d.control(ID["PAUSE_ON_CALL"])["checked"], "no")
            self.dialog_cmd(d, "dialog check %d 1" % ID["PAUSE_ON_CALL"])
            d.press(ID["APPLY"])
            # Written at Apply, while the player runs.
            self.assertRegex(s.settings(), r"(?m)^PauseOnCall=1\r?$")
            self.assertRegex(s.settings(), r"(?m)^Port=COM1\r?$")
            # The link is set up again, now asking for call reports.
            expected = SETUP_COMMANDS * 2 + CALL_COMMANDS[:1]
            self.assertEqual(s.wait_received(len(expected)), expected)
            self.assertTrue(s.wait_trace("info: calls reported\r\n", 10), s.trace())
            d.close_with(ID["OK"])
            mark = len(s.host_lines.snapshot())
            s.phone_cmd("call ring")
            self.assertTrue(s.wait_host(r"^player state=paused", 10, mark), s.host_log()[-2000:])
            # Shown ticked when opened again.
            d = Dialog(self, s)
            self.assertEqual(d.control(ID["PAUSE_ON_CALL"])["checked"], "yes")
            d.close_with(ID["CANCEL"])

    def test_a_port_the_system_lists_as_com12_is_offered_and_connects(self):
        with Session(port="COM3", phone_port="COM12") as s:
            d = Dialog(self, s)
            self.assertTrue(d.wait_status("Comport busy."), d.control(ID["STATUS"]))
            items = d.control(ID["PORT"])["items"].split("|")
            self.assertIn("COM12", items)
            self.dialog_cmd(d, "dialog select %d %d" % (ID["PORT"], items.index("COM12")))
            d.press(ID["APPLY"])
            self.assertRegex(s.settings(), r"(?m)^Port=COM12\r?$")
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertTrue(d.wait_status(CONNECTED), d.control(ID["STATUS"]))
            d.close_with(ID["CANCEL"])

    def test_an_unlisted_port_is_shown_and_kept_by_ok(self):
        with Session(port="COM21") as s:
            d = Dialog(self, s)
            ports = d.control(ID["PORT"])
            self.assertEqual((ports["text"], ports["selected"]), ("COM21", "-1"))
            d.close_with(ID["OK"])
            self.assertIn("Port=COM21", s.settings())
            self.assertTrue(s.quit_plugin(), s.host_log())
            self.assertIn("Port=COM21", s.settings())

    def test_apply_moves_the_link_and_the_status_follows_live(self):
        with Session(port="COM5") as s:
            self.assertTrue(s.wait_trace("info: OnInit started", 20), s.trace())
            d = Dialog(self, s)
            self.assertTrue(d.wait_status("Comport busy."), d.control(ID["STATUS"]))
            # Typed as DOS taught people to: the same port.
            s.host_cmd("dialog type %d COM1:" % ID["PORT"])
            d.press(ID["APPLY"])
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)
            self.assertTrue(d.wait_status(CONNECTED), d.control(ID["STATUS"]))

            # The same name again leaves the link alone: the next code from the
            # phone is answered with a page, and nothing came before it.
            setups = s.trace().count("comport open.")
            d.press(ID["APPLY"])
            s.phone_cmd("open")
            received = s.wait_received(len(SETUP_COMMANDS) + 1)
            self.assertEqual(received[:-1], SETUP_COMMANDS)
            self.assertRegex(received[-1], r"^AT\*EASM=")
            self.assertEqual(s.trace().count("comport open."), setups)

            # Cancel keeps what Apply did, as typed; quit writes it.
            d.close_with(ID["CANCEL"])
            self.assertTrue(s.quit_plugin(), s.host_log())
            self.assertRegex(s.settings(), r"(?m)^Port=COM1:\r?$")

    def test_status_changes_racing_with_apply_never_hang_the_host(self):
        with Session(port="COM1") as s:
            self.assertTrue(s.wait_connected(30), s.trace())
            d = Dialog(self, s)
            began = time.monotonic()
            for i in range(12):
                s.phone_cmd("dsr %s" % ("off" if i % 2 == 0 else "on"))
                s.host_cmd("dialog type %d %s" % (ID["PORT"], "Disabled" if i % 3 == 0 else "COM1"))
                s.host_cmd("dialog press %d" % ID["APPLY"])
            s.host_cmd("dialog type %d COM1" % ID["PORT"])
            s.phone_cmd("dsr on")
            d.press(ID["APPLY"])
            self.assertLess(time.monotonic() - began, 30)
            self.assertTrue(d.wait_status(CONNECTED, 30), s.trace()[-2000:])
            d.close_with(ID["OK"])
            mark = len(s.host_lines.snapshot())
            s.host_cmd("quit")
            self.assertTrue(s.wait_host(r"^quit done", 20, mark), s.host_log()[-2000:])
            log = s.host_log()
            self.assertNotIn("crash", log)
            self.assertNotRegex(log, r"(?m)^stall ")

    def test_quit_while_the_dialog_is_open(self):
        with Session(port="COM1") as s:
            self.assertTrue(s.wait_connected(30), s.trace())
            Dialog(self, s)
            mark = len(s.host_lines.snapshot())
            s.host_cmd("quit now")
            for line in (r"^quit done", r"^config done", r"^unloaded"):
                self.assertTrue(s.wait_host(line, 20, mark), s.host_log()[-3000:])
            s.host_cmd("status")
            self.assertTrue(s.wait_host(r"^status loaded=no", 10, mark))
            self.assertNotIn("crash", s.host_log())
            self.assertIn("Port=COM1", s.settings())


if __name__ == "__main__":
    unittest.main()
