"""The plug-in's life in the host: export, record, registration, quit, unload."""

import re
import unittest

from rig import Session


class Lifecycle(unittest.TestCase):
    def test_export_init_quit_unload(self):
        with Session(port=None) as s:
            log = s.host_log()
            self.assertRegex(log, r"(?m)^export call=1 returned=non-null")
            self.assertRegex(log, r'(?m)^record version=16 description="Quillet v0\.1"')
            names = re.findall(r'(?m)^msg .*name=register .*text="([^"]*)"', log)
            self.assertEqual(names, ["Quillet_QueryMenu", "Quillet_LoadMenu",
                                     "Quillet_ValueChanged", "Quillet_MenuClosed"])
            for line in re.findall(r"(?m)^msg .*name=register .*$", log):
                self.assertIn("thread=host", line)
                self.assertIn("lparam=65536", line)
            s.host_cmd("export")
            self.assertTrue(s.wait_host(r"^export call=2 returned=null"))
            self.assertTrue(s.quit_plugin(), s.host_log())
            # The settings file is written at quit, with both keys and defaults.
            ini = s.settings()
            self.assertIn("[Quillet]", ini)
            self.assertRegex(ini, r"(?m)^Port=Disabled\r?$")
            self.assertRegex(ini, r"(?m)^PluginMenus=0\r?$")
            self.assertNotIn("PauseOnCall", ini)  # written back only when the file had it
            # The host keeps running after the unload, with no crash and no thread left.
            s.host_cmd("echo after-unload")
            self.assertTrue(s.wait_host(r"after-unload"))
            self.assertNotRegex(s.host_log(), r"(?m)^crash")
            quit_line = s.wait_host(r"^quit done")
            self.assertTrue(quit_line)

    def test_settings_round_trip(self):
        with Session(port="COM12", pluginmenus="2x", com1=False) as s:
            self.assertTrue(s.quit_plugin(), s.host_log())
            ini = s.settings()
            self.assertRegex(ini, r"(?m)^Port=COM12\r?$")
            self.assertRegex(ini, r"(?m)^PluginMenus=2\r?$")


if __name__ == "__main__":
    unittest.main()
