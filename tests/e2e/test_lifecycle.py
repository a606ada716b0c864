"""The plug-in's life in the host: export, record, registration, quit, unload."""

import re
import unittest

from rig import SETUP_COMMANDS, Session

STOP_TIMEOUT_MS = 15000  # how long quit waits for the monitor thread


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

    def test_quit_while_the_monitor_waits_on_the_busy_host(self):
        # The host's thread sleeps as the phone opens the menu, so the monitor
        # thread sits in its first request to the host window when quit comes.
        with Session() as s:
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)
            mark = len(s.host_lines.snapshot())
            s.host_cmd("sleep 2000")
            s.phone_cmd("open")
            self.assertTrue(s.wait_trace("got:  *EAAI\r\n", 10), s.trace())
            s.host_cmd("quit")
            done = s.wait_host(r"^quit done ", 2 * STOP_TIMEOUT_MS / 1000 + 10, mark)
            self.assertTrue(done, s.host_log()[-3000:])
            self.assertLess(int(re.search(r" ms=(\d+)", done).group(1)), STOP_TIMEOUT_MS)
            self.assertTrue(s.wait_host(r"^unloaded ", 10, mark))
            log = "\n".join(s.settle_host()[mark:])
            self.assertRegex(log, r"(?m)^msg kind=sent thread=monitor .*name=registered")
            self.assertNotRegex(log, r"(?m)^(crash|stall) ")

    def test_settings_round_trip(self):
        with Session(port="COM12", pluginmenus="2x", com1=False) as s:
            self.assertTrue(s.quit_plugin(), s.host_log())
            ini = s.settings()
            self.assertRegex(ini, r"(?m)^Port=COM12\r?$")
            self.assertRegex(ini, r"(?m)^PluginMenus=2\r?$")


if __name__ == "__main__":
    unittest.main()
