"""The DLL as the host sees it from outside: one export, system imports only."""

import os
import re
import subprocess
import unittest
from pathlib import Path

DLL = Path(os.environ.get("QUILLET_DLL", Path(__file__).resolve().parents[2] /
                          "build/win32/gen_quillet.dll"))
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "msvcrt.dll", "advapi32.dll", "gdi32.dll"}


class DllSurface(unittest.TestCase):
    def setUp(self):
        self.dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(DLL)], check=True,
                                   capture_output=True, text=True).stdout

    def test_only_export_is_the_plugin_entry(self):
        table = self.dump.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
        names = re.findall(r"^\s+\[\s*\d+\]\s+(\S+)", table, re.M)
        self.assertEqual(names, ["winampGetGeneralPurposePlugin"])

    def test_imports_are_system_dlls(self):
        imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", self.dump)}
        self.assertTrue(imports)
        self.assertLessEqual(imports, SYSTEM_DLLS)

    def test_is_a_32_bit_dll(self):
        self.assertRegex(self.dump, r"file format pei-i386")


if __name__ == "__main__":
    unittest.main()
