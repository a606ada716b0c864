"""The menu records' layout as a third-party plug-in compiled against
quillet_menus.h sees it, in the player beside gen_quillet.dll."""

import re
import unittest

from rig import Session
from session import SAMPLE_MENU, win_path

# The binding 32-bit layout: sizes, and each field's offset in bytes.
BINDING = {
    "menu": 64, "item": 104, "value_change": 8,
    "item.kind": 40, "item.id": 44, "item.value": 48, "item.labels": 52, "item.prompt": 56,
    "item.minimum": 96, "item.maximum": 100,
    "menu.count": 4, "menu.selection": 8, "menu.id": 12, "menu.parent": 16, "menu.title": 20,
    "menu.text": 60,
}
NAMES = ["Quillet_QueryMenu", "Quillet_LoadMenu", "Quillet_ValueChanged", "Quillet_MenuClosed"]


def layout_fields(line):
    return {key: int(value) for key, value in re.findall(r"([\w.]+)=(\d+)", line)}


class RecordLayout(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with Session(port=None, companions=[SAMPLE_MENU]) as s:
            cls.layout = s.wait_host(r"^plugin sample layout ", 5)
            s.host_cmd("exit")
            cls.exited = s.wait_host(r"^host exit code=0 ", 30)
            cls.log = s.host_log()

    def test_sample_plugin_sees_the_binding_layout(self):
        self.assertIsNotNone(self.layout, self.log)
        self.assertEqual(layout_fields(self.layout), BINDING)

    def test_both_plugins_got_the_same_message_ids(self):
        registrations = re.findall(
            r'(?m)^msg kind=sent thread=host .*name=register text="([^"]*)" result=(\d+) ',
            self.log)
        ids = {}
        for name, result in registrations:
            ids.setdefault(name, []).append(int(result))
        # The sample plug-in registers first (companions start first), then
        # gen_quillet.dll: each name twice, with one id.
        self.assertEqual(sorted(ids), sorted(NAMES), self.log)
        for name in NAMES:
            self.assertEqual(len(ids[name]), 2, name)
            self.assertEqual(len(set(ids[name])), 1, name)
            self.assertNotEqual(ids[name][0], 0, name)
        self.assertEqual(len({ids[name][0] for name in NAMES}), 4)
        # The sample's own view of its ids matches the host's answers.
        mine = re.search(r"(?m)^plugin sample registered query_menu=(\d+) load_menu=(\d+) "
                         r"value_changed=(\d+) menu_closed=(\d+)", self.log)
        self.assertIsNotNone(mine, self.log)
        self.assertEqual([int(v) for v in mine.groups()], [ids[name][0] for name in NAMES])

    def test_both_plugins_started_and_stopped(self):
        self.assertIsNotNone(self.exited, self.log)
        self.assertRegex(self.log, r"(?m)^init companion returned=0 ")
        self.assertRegex(self.log, r"(?m)^init returned=0 ")
        # gen_quillet.dll, started last, stops first and takes its subclass
        # off, so the sample's is on top again when its turn comes.
        main_unloaded = re.search(r"(?m)^unloaded path=", self.log)
        sample_quit = re.search(r"(?m)^plugin sample quit on_top=yes$", self.log)
        self.assertIsNotNone(main_unloaded, self.log)
        self.assertIsNotNone(sample_quit, self.log)
        self.assertLess(main_unloaded.start(), sample_quit.start())
        self.assertNotRegex(self.log, r"(?m)^crash ")


class SupplierQuitsFirst(unittest.TestCase):
    def test_a_record_quillet_still_holds_outlives_its_suppliers_unload(self):
        # Loaded after gen_quillet.dll, the sample quits before it, while the
        # menu it supplied is still on the phone.
        with Session() as s:
            self.assertTrue(s.wait_connected(30), s.trace())
            mark = len(s.host_lines.snapshot())
            s.host_cmd("companion " + win_path(SAMPLE_MENU))
            self.assertIsNotNone(s.wait_host(r"^init companion returned=0 ", 15, mark), s.host_log())
            opened = len(s.phone_events.snapshot())
            s.phone_cmd("open")
            page = s.phone_events.wait(lambda e: e.get("ev") == "menu", 15, opened)
            self.assertEqual(page["menu"]["title"], "Sample menu", page)
            s.host_cmd("exit")
            self.assertIsNotNone(s.wait_host(r"^host exit code=0 ", 30), s.host_log())
            log = s.host_log()
            kept = log.find("plugin sample kept_loaded lent=1")
            self.assertNotEqual(kept, -1, log)
            self.assertLess(kept, log.find("unloaded companion"))
            self.assertNotRegex(log, r"(?m)^crash ")


if __name__ == "__main__":
    unittest.main()
