"""The release artefact that scripts/package builds: the installer run silently
under Wine into a stand-in player folder, the installed DLL started in the
stand-in host with the phone attached, a reinstall over it, the uninstaller;
the default folder the installer finds in Winamp's registry entries; the
version resources of the DLL and of the installer.

Nothing is built here: without the installer every test is skipped."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path
from typing import Dict, List, Optional, Tuple

from rig import SETUP_COMMANDS, Session, win_path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools" / "winerun"))
import winerun  # noqa: E402

VERSION = "0.1.0"
SETUP = ROOT / "build" / "package" / ("QuilletSetup-%s.exe" % VERSION)
RELEASE_DLL = ROOT / "build" / "win32-release" / "gen_quillet.dll"
UNINSTALLER = "Uninstall Quillet.exe"
INSTALLED = ["Quillet-README.txt", UNINSTALLER, "gen_quillet.dll"]
ARP_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet"
WINAMP_KEY = r"HKCU\Software\Winamp"
WINAMP_ARP_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp"


def setUpModule():
    if not SETUP.is_file():
        raise unittest.SkipTest("run scripts/package first (no %s)" % SETUP.relative_to(ROOT))


# --------------------------------------------------------------- PE resources


def _align4(offset: int) -> int:
    return (offset + 3) & ~3


def _version_node(block: bytes, offset: int) -> Tuple[dict, int]:
    """One VS_VERSIONINFO node (wLength, wValueLength, wType, key, value,
    children), offsets relative to the block, which starts 4-aligned."""
    length, value_length, kind = struct.unpack_from("<HHH", block, offset)
    end = offset + length
    if length < 6 or end > len(block):
        raise ValueError("version node at %d runs past the resource" % offset)
    key_end = offset + 6
    while block[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = block[offset + 6:key_end].decode("utf-16-le")
    start = _align4(key_end + 2)
    size = value_length * 2 if kind == 1 else value_length  # text counts WCHARs
    value = block[start:min(start + size, end)]
    node = {"key": key, "text": kind == 1, "value": value, "children": []}
    child = _align4(start + size)
    while child + 6 <= end:
        sub, child_end = _version_node(block, child)
        node["children"].append(sub)
        child = _align4(child_end)
    return node, end


def version_resource(path: Path) -> Tuple[Tuple[int, ...], Tuple[int, ...], Dict[str, str]]:
    """(file version, product version, strings) of a PE file's first
    RT_VERSION resource."""
    data = path.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("%s: not a PE file" % path)
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * i)
             for i in range(sections)]

    def file_offset(rva: int) -> int:
        for virtual_size, address, raw_size, raw in table:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise ValueError("%s: RVA %#x is in no section" % (path, rva))

    base = file_offset(resource_rva)

    def entries(directory: int) -> List[Tuple[int, int]]:
        named, numbered = struct.unpack_from("<12xHH", data, base + directory)
        return [struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
                for i in range(named + numbered)]

    RT_VERSION = 16
    by_type = [target for name, target in entries(0) if name == RT_VERSION]
    if not by_type:
        raise ValueError("%s: no version resource" % path)
    directory = by_type[0]
    for _level in ("name", "language"):
        if not directory & 0x80000000:
            raise ValueError("%s: malformed resource tree" % path)
        directory = entries(directory & 0x7FFFFFFF)[0][1]
    data_rva, data_size = struct.unpack_from("<II", data, base + directory)
    start = file_offset(data_rva)
    root, _ = _version_node(data[start:start + data_size], 0)
    if root["key"] != "VS_VERSION_INFO":
        raise ValueError("%s: version resource key %r" % (path, root["key"]))
    fixed = struct.unpack("<13I", root["value"][:52])
    if fixed[0] != 0xFEEF04BD:
        raise ValueError("%s: no VS_FIXEDFILEINFO" % path)

    def quad(high: int, low: int) -> Tuple[int, ...]:
        return (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)

    strings: Dict[str, str] = {}
    for info in root["children"]:
        if info["key"] == "StringFileInfo":
            for language in info["children"]:
                for entry in language["children"]:
                    strings[entry["key"]] = entry["value"].decode("utf-16-le").split("\0")[0]
    return quad(fixed[2], fixed[3]), quad(fixed[4], fixed[5]), strings


# --------------------------------------------------------------- Wine runs


def wait_for(condition, timeout: float) -> bool:
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def wine_cmd() -> Path:
    """Wine's cmd.exe, by the copy in the rig's template prefix: whichever
    prefix the run gets, Wine starts its built-in cmd for it."""
    root = winerun.rig_root()
    winerun._ensure_template(root)  # a fresh rig has no prefix yet
    return root / "template" / "drive_c" / "windows" / "system32" / "cmd.exe"


class Installer(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="quillet-installer-"))
        self.addCleanup(shutil.rmtree, self.tmp, True)

    def install(self, plugins: Path) -> None:
        # /D= last and unquoted: the installer takes the rest of its command line.
        result = winerun.run(str(SETUP), ["/S", "/D=" + win_path(plugins)], timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertFalse(result.timed_out)

    def uninstall(self, plugins: Path) -> None:
        """Runs the uninstaller as Add/Remove Programs does: it starts a copy
        of itself from TEMP ("Un.exe", so that the copy can delete it) and
        exits at once. The copy is not in the run's process group, so the run
        (and its slot) is kept until the copy has deleted the uninstaller, its
        last step, and has ended."""
        uninstaller = plugins / UNINSTALLER
        with winerun.start(str(uninstaller), ["/S"], timeout=120) as run:
            self.assertEqual(run.wait(60), 0, run.stderr_text())
            self.assertTrue(wait_for(lambda: not uninstaller.exists(), 60),
                            "the uninstaller is still there: %s" % os.listdir(plugins))
            self.assertTrue(wait_for(lambda: "un.exe" not in winerun._prefix_processes(run.prefix),
                                     60), "the uninstaller's copy kept running")

    def test_install_start_reinstall_uninstall(self):
        plugins = self.tmp / "Winamp" / "Plugins"
        plugins.parent.mkdir()
        self.install(plugins)
        self.assertEqual(sorted(os.listdir(plugins)), INSTALLED)
        dll = plugins / "gen_quillet.dll"
        # Not assertEqual: its message would print the whole DLL.
        self.assertTrue(dll.read_bytes() == RELEASE_DLL.read_bytes(),
                        "the installed DLL is not the release build")
        readme = (plugins / "Quillet-README.txt").read_bytes()
        self.assertIn(b"QUILLET_TRACE", readme)
        self.assertNotRegex(readme, rb"[^\r]\n", "the read-me's lines must end in CRLF")

        with Session(dll=dll, port="COM1") as s:
            # The installed DLL itself, as the player would load it.
            self.assertIn('load ok path="%s"' % win_path(dll).replace("\\", "\\\\"),
                          s.host_log())
            self.assertRegex(s.host_log(), r"(?m)^init returned=0\b")
            self.assertTrue(s.wait_connected(30), s.trace())
            self.assertEqual(s.wait_received(len(SETUP_COMMANDS)), SETUP_COMMANDS)
            self.assertTrue(s.quit_plugin(), s.host_log())
            settings = s.settings()
        # Written by the plug-in at quit: PluginMenus was not in the file before.
        self.assertRegex(settings, r"(?m)^Port=COM1\r?$")
        self.assertRegex(settings, r"(?m)^PluginMenus=0\r?$")
        ini = (plugins / "plugin.ini").read_bytes()

        # An upgrade over the same folder keeps the settings.
        self.install(plugins)
        self.assertEqual(sorted(os.listdir(plugins)), sorted(INSTALLED + ["plugin.ini"]))
        self.assertTrue(dll.read_bytes() == RELEASE_DLL.read_bytes())
        self.assertEqual((plugins / "plugin.ini").read_bytes(), ini)

        self.uninstall(plugins)
        self.assertEqual(os.listdir(plugins), ["plugin.ini"])
        self.assertEqual((plugins / "plugin.ini").read_bytes(), ini)

    # The default folder comes from registry keys of the Wine prefix; a run
    # may land in either of the rig's prefixes, so each case sets the keys,
    # installs, reads the Add/Remove Programs entry, uninstalls and removes
    # the keys again in one batch file, i.e. in one prefix.
    def run_batch(self, winamp_key: Optional[str], winamp_uninstaller: Optional[str],
                  expected: str) -> Dict[str, str]:
        """Installs with /S alone, Winamp's keys set as given; expected is the
        folder the installer should pick (it may use %ProgramFiles%).
        Returns the entry's values after the install, "setup-exit",
        "uninstall-exit", "programfiles", "installed" (the files found in the
        expected folder) and "entry-after" (reg query's exit code)."""
        fallback = r"%ProgramFiles%\Winamp\Plugins"
        lines = ["@echo off",
                 'reg delete "%s" /f >nul 2>&1' % WINAMP_KEY,
                 'reg delete "%s" /f >nul 2>&1' % WINAMP_ARP_KEY]
        if winamp_key is not None:
            # A value ending in a backslash needs it doubled before the quote.
            value = winamp_key + ("\\" if winamp_key.endswith("\\") else "")
            lines.append('reg add "%s" /ve /d "%s" /f >nul' % (WINAMP_KEY, value))
        if winamp_uninstaller is not None:
            lines.append('reg add "%s" /v UninstallString /d "%s" /f >nul'
                         % (WINAMP_ARP_KEY, winamp_uninstaller.replace('"', '\\"')))
        lines += ['start "" /wait "%s" /S' % win_path(SETUP),
                  "echo setup-exit=%ERRORLEVEL%",
                  "echo programfiles=%ProgramFiles%",
                  'reg query "%s"' % ARP_KEY]
        for name in INSTALLED:
            lines.append('if exist "%s\\%s" echo installed=%s' % (expected, name, name))
        # With _?= the uninstaller runs in place, so start /wait waits for it,
        # and it cannot delete itself: that is done here. The fallback folder
        # is cleared too, in case the install went there by mistake.
        for index, folder in enumerate(dict.fromkeys([expected, fallback])):
            uninstaller = "%s\\%s" % (folder, UNINSTALLER)
            lines += ['if not exist "%s" goto skip%d' % (uninstaller, index),
                      'start "" /wait "%s" /S _?=%s' % (uninstaller, folder)]
            if folder == expected:
                lines.append("echo uninstall-exit=%ERRORLEVEL%")
            lines += ['if exist "%s" del "%s"' % (uninstaller, uninstaller), ":skip%d" % index]
        lines += ['rmdir "%s" >nul 2>&1' % fallback,
                  r'rmdir "%ProgramFiles%\Winamp" >nul 2>&1',
                  'reg query "%s" >nul 2>&1' % ARP_KEY,
                  "echo entry-after=%ERRORLEVEL%",
                  # Whatever went wrong, the prefix keeps no entry.
                  'reg delete "%s" /f >nul 2>&1' % ARP_KEY,
                  'reg delete "%s" /f >nul 2>&1' % WINAMP_KEY,
                  'reg delete "%s" /f >nul 2>&1' % WINAMP_ARP_KEY,
                  "exit /b 0"]
        batch = self.tmp / "steps.cmd"
        batch.write_bytes(("\r\n".join(lines) + "\r\n").encode())
        result = winerun.run(str(wine_cmd()), ["/c", win_path(batch)], timeout=180)
        out = result.stdout.decode("latin-1")
        self.assertEqual(result.returncode, 0, out + result.stderr)
        found: Dict[str, str] = {"installed": ""}
        for line in out.splitlines():
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                found[parts[0]] = parts[2]
            elif "=" in line:
                name, value = line.strip().split("=", 1)
                if name == "installed":
                    found[name] = " ".join(filter(None, [found[name], value]))
                else:
                    found[name] = value
        return found

    def check_installed_in(self, found: Dict[str, str], folder: str) -> None:
        self.assertEqual(found.get("setup-exit"), "0", found)
        self.assertEqual(found.get("InstallLocation"), folder, found)
        self.assertEqual(found.get("installed"), " ".join(INSTALLED), found)
        self.assertEqual(found.get("UninstallString"), '"%s\\%s"' % (folder, UNINSTALLER))
        self.assertEqual(found.get("QuietUninstallString"), '"%s\\%s" /S' % (folder, UNINSTALLER))
        self.assertEqual(found.get("DisplayVersion"), VERSION)
        self.assertTrue(found.get("DisplayName", "").startswith("Quillet"), found)
        self.assertEqual(found.get("uninstall-exit"), "0", found)
        self.assertEqual(found.get("entry-after"), "1", "the entry outlived the uninstall")

    def test_default_folder_is_winamps_recorded_folder(self):
        winamp = self.tmp / "Winamp"
        other = self.tmp / "Other"
        winamp.mkdir()
        other.mkdir()
        found = self.run_batch(win_path(winamp) + "\\",
                               '"%s\\UninstWA.exe"' % win_path(other), win_path(winamp / "Plugins"))
        self.check_installed_in(found, win_path(winamp / "Plugins"))
        self.assertEqual(os.listdir(winamp / "Plugins"), [])
        self.assertEqual(os.listdir(other), [])

    def test_default_folder_from_winamps_uninstaller(self):
        winamp = self.tmp / "Winamp"
        winamp.mkdir()
        found = self.run_batch(None, '"%s\\UninstWA.exe" /quiet' % win_path(winamp),
                               win_path(winamp / "Plugins"))
        self.check_installed_in(found, win_path(winamp / "Plugins"))

    def test_default_folder_without_winamp_in_the_registry(self):
        # A recorded folder that is gone does not count.
        found = self.run_batch(win_path(self.tmp / "Gone"), None, r"%ProgramFiles%\Winamp\Plugins")
        self.check_installed_in(found, found.get("programfiles", "?") + r"\Winamp\Plugins")
        self.assertFalse((self.tmp / "Gone").exists())

    # ------------------------------------------------------------ resources

    def test_version_resources(self):
        file_version, product_version, strings = version_resource(RELEASE_DLL)
        self.assertEqual(file_version, (0, 1, 0, 0))
        self.assertEqual(product_version, (0, 1, 0, 0))
        self.assertEqual(strings, {
            "CompanyName": "Quillet",
            "FileDescription": "Quillet: phone remote control for Winamp",
            "FileVersion": "0.1.0.0",
            "InternalName": "gen_quillet",
            "LegalCopyright": "Copyright (C) 2026 the Quillet authors",
            "OriginalFilename": "gen_quillet.dll",
            "ProductName": "Quillet",
            "ProductVersion": "0.1.0.0",
        })
        file_version, product_version, strings = version_resource(SETUP)
        self.assertEqual(file_version, (0, 1, 0, 0))
        self.assertEqual(product_version, (0, 1, 0, 0))
        self.assertEqual(strings.get("ProductName"), "Quillet")
        self.assertEqual(strings.get("ProductVersion"), "0.1.0.0")

    def test_version_resource_agrees_with_windres(self):
        # The parser above against binutils' own reading of the same DLL.
        listing = subprocess.run(["i686-w64-mingw32-windres", "-i", str(RELEASE_DLL), "-O", "rc"],
                                 check=True, capture_output=True, text=True).stdout
        _, _, strings = version_resource(RELEASE_DLL)
        self.assertEqual(len(strings), 8, strings)
        for name, value in strings.items():
            self.assertIn('VALUE "%s", "%s"' % (name, value), listing)
        self.assertIn("FILEVERSION 0, 1, 0, 0", listing)


if __name__ == "__main__":
    unittest.main()
