#!/usr/bin/python3
"""storyboard.py: the show at a glance, for the README.

Captures one frame from each window of the show's timeline with
`oargala --capture DIR/ --at T1,T2,...` (every frame in between is still
simulated, so each scene is where it would be) and lays them out in a grid,
each frame labelled with its show time and what is on screen. Writes
docs/storyboard.png.

Run from anywhere, after building oargala (needs Debian's python3-pil):
    /usr/bin/python3 tools/storyboard.py [--oargala build/oargala] [--out docs/storyboard.png]
"""

import argparse
import math
import os
import subprocess
import sys
import tempfile
from fractions import Fraction

from PIL import Image, ImageDraw, ImageFont

# One moment inside each window of the timeline: (show time in seconds, label).
MOMENTS = [
    ("14", "loading"),
    ("38.5", "title cards"),
    ("61", "world"),
    ("68.5", "attack"),
    ("74.5", "crisis"),
    ("86", "slideshow"),
    ("97.5", "pocket knife"),
    ("102", "fallen hero"),
    ("105", "logo"),
    ("111", "cube"),
    ("118.5", "the rowers"),
    ("123.5", "world saved"),
    ("128.5", "greetings"),
    ("133.5", "thanks"),
    ("138.5", "setup"),
    ("143.5", "credits"),
    ("148.5", "fish"),
    ("155", "the end"),
]

FPS = 60
COLUMNS = 6
THUMB_W, THUMB_H = 320, 240
GAP = 8
LABEL_H = 30
BACKGROUND = (24, 24, 28)
TEXT = (235, 235, 235)
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def frame_number(seconds):
    """The frame oargala writes for --at seconds: ceil(t * fps), at least 1."""
    return max(1, math.ceil(Fraction(seconds) * FPS))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--oargala", default=os.path.join(root, "build", "oargala"))
    parser.add_argument("--out", default=os.path.join(root, "docs", "storyboard.png"))
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="storyboard-") as frames:
        times = ",".join(t for t, _ in MOMENTS)
        # Run from the source tree: the show reads data/ below its working folder.
        subprocess.run([os.path.abspath(args.oargala), "--capture", frames + "/", "--fps", str(FPS),
                        "--at", times], cwd=root, check=True, stdout=subprocess.DEVNULL)

        rows = math.ceil(len(MOMENTS) / COLUMNS)
        sheet = Image.new("RGB", (GAP + COLUMNS * (THUMB_W + GAP), GAP + rows * (THUMB_H + LABEL_H + GAP)),
                          BACKGROUND)
        draw = ImageDraw.Draw(sheet)
        font = ImageFont.truetype(FONT, 17)
        for i, (t, label) in enumerate(MOMENTS):
            path = os.path.join(frames, "frame-%05d.png" % frame_number(t))
            with Image.open(path) as frame:
                thumb = frame.convert("RGB").resize((THUMB_W, THUMB_H), Image.LANCZOS)
            x = GAP + (i % COLUMNS) * (THUMB_W + GAP)
            y = GAP + (i // COLUMNS) * (THUMB_H + LABEL_H + GAP)
            sheet.paste(thumb, (x, y))
            text = "%s s  %s" % (t, label)
            width = draw.textlength(text, font=font)
            draw.text((x + (THUMB_W - width) / 2, y + THUMB_H + 5), text, fill=TEXT, font=font)

    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    # No metadata: the same frames give the same file.
    sheet.save(args.out, optimize=True)
    print("wrote", args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
