"""The end-to-end tests' session: the one the tour uses too."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "rig"))

from session import SAMPLE_MENU, SETUP_COMMANDS, Session, png_from_bmp, win_path  # noqa: E402,F401
