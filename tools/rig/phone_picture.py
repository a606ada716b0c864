#!/usr/bin/env python3
"""Draws the simulated phone's screen, as its `screen` event reports it
(tour.py --screen-json keeps one), into a PNG: the menu page with its
selection, a dialog over it, and the calls going on.

    phone_picture.py SCREEN.json OUT.png

Needs Pillow (Debian: python3-pil) and the DejaVu fonts (fonts-dejavu-core)."""

import json
import sys
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

FONTS = Path("/usr/share/fonts/truetype/dejavu")
WIDTH, HEIGHT = 360, 660
SCREEN = (30, 70, 330, 560)  # left, top, right, bottom
ROW = 30

CALL_TEXTS = {
    "alerting": "Incoming call",
    "waiting": "Call waiting",
    "calling": "Calling",
    "connecting": "Calling",
    "active": "On the phone",
    "hold": "On hold",
    "busy": "Busy",
}


def font(size: int, bold: bool = False) -> ImageFont.FreeTypeFont:
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(str(FONTS / name), size)


def fit(draw: ImageDraw.ImageDraw, text: str, face, room: int) -> str:
    if draw.textlength(text, font=face) <= room:
        return text
    while text and draw.textlength(text + "…", font=face) > room:
        text = text[:-1]
    return text + "…"


def draw_menu(draw: ImageDraw.ImageDraw, menu: dict, top: int, bottom: int) -> None:
    left, right = SCREEN[0], SCREEN[2]
    draw.rectangle((left, top, right, top + 36), fill=(32, 74, 135))
    draw.text((left + 12, top + 8), fit(draw, menu["title"], font(17, True), right - left - 24),
              font=font(17, True), fill="white")
    y = top + 44
    entries = menu["entries"]
    rows = (bottom - y) // ROW
    selected = menu["selected"] - 1
    first = max(0, min(selected - rows // 2, len(entries) - rows))
    for i, entry in enumerate(entries[first:first + rows], first):
        if i == selected:
            draw.rectangle((left + 4, y - 2, right - 4, y + ROW - 4), fill=(255, 205, 60))
        draw.text((left + 12, y + 2), "%d" % (i + 1), font=font(15), fill=(90, 90, 90))
        draw.text((left + 40, y + 2), fit(draw, entry, font(16), right - left - 52),
                  font=font(16), fill="black")
        y += ROW


def draw_dialog(draw: ImageDraw.ImageDraw, dialog: dict) -> None:
    left, top, right = SCREEN[0] + 18, SCREEN[1] + 120, SCREEN[2] - 18
    draw.rounded_rectangle((left, top, right, top + 150), 8, fill=(245, 245, 245),
                           outline=(60, 60, 60), width=2)
    draw.text((left + 12, top + 10), fit(draw, dialog.get("title", ""), font(16, True),
                                         right - left - 24), font=font(16, True), fill="black")
    detail = dialog.get("text") or dialog.get("prompt") or dialog.get("kind", "")
    draw.text((left + 12, top + 44), fit(draw, str(detail), font(15), right - left - 24),
              font=font(15), fill="black")


def draw_call(draw: ImageDraw.ImageDraw, call: dict, bottom: int) -> int:
    left, right = SCREEN[0], SCREEN[2]
    top = bottom - 76
    ringing = call["state"] in ("alerting", "waiting")
    draw.rectangle((left, top, right, bottom), fill=(40, 150, 70) if ringing else (70, 70, 70))
    draw.text((left + 12, top + 8), CALL_TEXTS.get(call["state"], call["state"]),
              font=font(18, True), fill="white")
    draw.text((left + 12, top + 40), fit(draw, call["number"], font(17), right - left - 24),
              font=font(17), fill="white")
    return top


def render(screen: dict, out: Path) -> None:
    image = Image.new("RGB", (WIDTH, HEIGHT), (250, 250, 250))
    draw = ImageDraw.Draw(image)
    draw.rounded_rectangle((6, 6, WIDTH - 6, HEIGHT - 6), 38, fill=(38, 40, 44))
    draw.rounded_rectangle((WIDTH // 2 - 40, 30, WIDTH // 2 + 40, 38), 4, fill=(70, 72, 78))
    left, top, right, bottom = SCREEN
    draw.rectangle(SCREEN, fill="white")
    # The status bar: the accessory menu the phone offers.
    draw.rectangle((left, top, right, top + 24), fill=(225, 228, 235))
    accessory = screen.get("accessory")
    draw.text((left + 8, top + 4), "Accessory: %s" % accessory if accessory else "No accessory",
              font=font(13), fill=(60, 60, 60))
    calls = screen.get("calls") or []
    if calls:
        bottom = draw_call(draw, calls[-1], bottom)
    if screen.get("menu"):
        draw_menu(draw, screen["menu"], top + 24, bottom)
    if screen.get("dialog"):
        draw_dialog(draw, screen["dialog"])
    for x in (WIDTH // 2 - 70, WIDTH // 2 + 70):
        draw.ellipse((x - 16, 588, x + 16, 620), fill=(70, 72, 78))
    image.save(out)


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    render(json.loads(Path(sys.argv[1]).read_text()), Path(sys.argv[2]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
