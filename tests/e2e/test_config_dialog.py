"""The configuration dialog of the real DLL, driven through the stand-in
host while it is open on the host's thread: its layout as the resource gives
it, the port list, the status line updated live, Apply, OK, Cancel, and quit
while it is open. A screenshot is kept in build/e2e/config_dialog.png."""

import re
import time
import unittest
from pathlib import Path

from rig import SETUP_COMMANDS, Session, png_from_bmp, win_path

ROOT = Path(__file__).resolve().parents[2]
FIELD = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|\S+)|(\S+)')
PORTS = ["Disabled"] + ["COM%d" % n for n in range(1, 9)]
CONNECTED = "Ready and connected to SimPhone QX-1."

# Id, class, text, x, y, w, h (dialog units), shown; combo heights are their
# drop-down lists, which a closed combo box does not report.
LAYOUT = [
    (-1, "Static", "Port", 7, 9, 14, 8, True),
    (1001, "ComboBox", None, 31, 7, 48, 77, True),
    (-1, "Static", "Mode", 95, 9, 18, 8, False),
    (1002, "ComboBox", "", 121, 7, 58, 30, False),
    (-1, "Static", "Plug-in menus", 7, 29, 45, 8, False),
    (1003, "ComboBox", "", 60, 27, 119, 43, False),
    (1004, "Static", None, 7, 33, 172, 19, True),
    (1, "Button", "OK", 69, 62, 50, 14, True),
    (2, "Button", "Cancel", 129, 62, 50, 14, True),
    (3, "Button", "Apply", 7, 62, 50, 14, True),
]


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
            if self.control(1004)["text"] == text:
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
    def test_layout_list_and_screenshot(self):
        with Session(port="COM3") as s:
            self.assertTrue(s.wait_trace("info: OnInit started", 20), s.trace())
            d = Dialog(self, s)
            window, controls = d.show()
            self.assertEqual(window["title"], "")
            self.assertEqual((window["font"], window["size"]), ("MS Shell Dlg", "8"))
            self.assertEqual(window["client_du"], "186,83")
            self.assertEqual(len(controls), len(LAYOUT))
            for control, (ident, cls, text, x, y, w, h, shown) in zip(controls, LAYOUT):
                with self.subTest(id=ident, text=text):
                    self.assertEqual(control["id"], str(ident))
                    self.assertEqual(control["class"], cls)
                    du = [int(v) for v in control["du"].split(",")]
                    self.assertEqual(du[:3], [x, y, w])
                    if cls != "ComboBox":
                        self.assertEqual(du[3], h)
                    self.assertEqual(control["visible"], "yes" if shown else "no")
                    if text is not None:
                        self.assertEqual(control["text"], text)
            ports = controls[1]
            self.assertEqual(ports["items"].split("|"), PORTS)
            self.assertEqual(ports["selected"], "3")
            self.assertEqual(ports["text"], "COM3")
            self.assertEqual(controls[6]["text"], "Comport busy.")

            shot = s.dir / "dialog.bmp"
            mark = len(s.host_lines.snapshot())
            s.host_cmd("dialog shot " + win_path(shot))
            self.assertTrue(s.wait_host(r"^dialog shot ", 15, mark), s.host_log()[-2000:])
            out = ROOT / "build" / "e2e"
            out.mkdir(parents=True, exist_ok=True)
            png_from_bmp(shot, out / "config_dialog.png")
            self.assertGreater((out / "config_dialog.png").stat().st_size, 1000)
            d.close_with(2)

    def test_an_unlisted_port_is_shown_and_kept_by_ok(self):
        with Session(port="COM12") as s:
            d = Dialog(self, s)
            ports = d.control(1001)
            self.assertEqual((ports["text"], ports["selected"]), ("COM12", "-1"))
            d.close_with(1)
            self.assertTrue(s.quit_plugin(), s.host_log())
            self.assertIn("Port=COM12", s.settings())

    def test_apply_moves_the_link_and_the_status_follows_live(self):
        with Session(port="COM5") as s:
            self.assertTrue(s.wait_trace("info: OnInit started", 20), s.trace())
            d = Dialog(self, s)
            self.assertTrue(d.wait_status("Comport busy."), d.control(1004))
            # Typed as DOS taught people to: the same port.
            s.host_cmd("dialog type 1001 COM1:")
            d.press(3)
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)
            self.assertTrue(d.wait_status(CONNECTED), d.control(1004))

            # The same name again leaves the link alone: the next code from the
            # phone is answered with a page, and nothing came before it.
            setups = s.trace().count("comport open.")
            d.press(3)
            s.phone_cmd("open")
            received = s.wait_received(len(SETUP_COMMANDS) + 1)
            self.assertEqual(received[:-1], SETUP_COMMANDS)
            self.assertRegex(received[-1], r"^AT\*EASM=")
            self.assertEqual(s.trace().count("comport open."), setups)

            # Cancel keeps what Apply did, as typed; quit writes it.
            d.close_with(2)
            self.assertTrue(s.quit_plugin(), s.host_log())
            self.assertRegex(s.settings(), r"(?m)^Port=COM1:\r?$")

    def test_status_changes_racing_with_apply_never_hang_the_host(self):
        with Session(port="COM1") as s:
            self.assertTrue(s.wait_connected(30), s.trace())
            d = Dialog(self, s)
            began = time.monotonic()
            for i in range(12):
                s.phone_cmd("dsr %s" % ("off" if i % 2 == 0 else "on"))
                s.host_cmd("dialog type 1001 %s" % ("Disabled" if i % 3 == 0 else "COM1"))
                s.host_cmd("dialog press 3")
            s.host_cmd("dialog type 1001 COM1")
            s.phone_cmd("dsr on")
            d.press(3)
            self.assertLess(time.monotonic() - began, 30)
            self.assertTrue(d.wait_status(CONNECTED, 30), s.trace()[-2000:])
            d.close_with(1)
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
