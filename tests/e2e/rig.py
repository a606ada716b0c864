"""The end-to-end tests' session: the one the tour uses too."""

import atexit
import os
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "rig"))

from session import (CONTROL_IDS, NEWER_SETUP_COMMANDS, SAMPLE_MENU,  # noqa: E402,F401
                     SETUP_COMMANDS, THREAD_FAILURES, Session, png_from_bmp, win_path)
from set_up import (CALL_COMMANDS, CHARSET_AUTO_COMMANDS,  # noqa: E402,F401
                    INDICATIONS_FALLBACK_SETUP, NEWER_REGISTRATION)


def _fail_on_thread_tracebacks() -> None:
    """A traceback from any of the rig's threads fails the test run, even
    one printed after its session closed."""
    if THREAD_FAILURES:
        sys.stderr.write("FAILED: %d traceback(s) from the rig's threads\n" % len(THREAD_FAILURES))
        sys.stderr.flush()
        os._exit(1)


atexit.register(_fail_on_thread_tracebacks)
