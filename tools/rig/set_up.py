"""The commands the plug-in's set-up sends, as the phone receives them, for
the rig, the end-to-end tests and the Wine benches. They are read from the
link's own strings in src/link/phone_commands.h, so they follow a change
there; the set-up's bytes written out by hand, which the unit tests check the
link's output against, are in tests/support/set_up_sequence.h."""

import re
from pathlib import Path
from typing import Dict

HEADER = Path(__file__).resolve().parents[2] / "src" / "link" / "phone_commands.h"


def read_strings(header: Path = HEADER) -> Dict[str, str]:
    """Every `constexpr char kName[] = "...";` of the header, by name, with
    its escapes undone."""
    text = header.read_text()
    strings = {}
    for name, literal in re.findall(r'constexpr char (k\w+)\[\] = "((?:[^"\\]|\\.)*)";', text):
        strings[name] = re.sub(r"\\(.)", r"\1", literal)
    return strings


PHONE = read_strings()


def at(name: str) -> str:
    """The command named `name` in the header, as the phone receives it."""
    return PHONE["kCommandPrefix"] + PHONE[name]


# A phone that accepts every command.
SETUP_COMMANDS = [at(n) for n in ("kRegisterMenu", "kIndications", "kErrorReporting",
                                  "kManufacturer", "kModel")]
# One that refuses "+CNMI=3,1".
INDICATIONS_FALLBACK_SETUP = SETUP_COMMANDS[:2] + [at("kIndicationsFallback")] + SETUP_COMMANDS[2:]
# What PauseOnCall=1 or RemoteKeys=1 adds: call reports on, the calls listed.
CALL_COMMANDS = [at("kCallMonitoringOn"), at("kListCalls")]
# What Charset=auto adds on a phone that offers UTF-8: the sets listed, the
# phone's own read, UTF-8 chosen.
CHARSET_AUTO_COMMANDS = [at("kListCharsets"), at("kReadCharset"), at("kSelectCharset") + '"UTF-8"']
# The newer registration after the refused "*EAM".
NEWER_REGISTRATION = [at("kNewerMenuTest"), at("kNewerRegisterMenu")]
# A phone that speaks only the newer accessory commands; there a Charset left
# out counts as auto.
NEWER_SETUP_COMMANDS = (SETUP_COMMANDS[:1] + NEWER_REGISTRATION + SETUP_COMMANDS[1:] +
                        CHARSET_AUTO_COMMANDS)
