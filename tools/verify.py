"""verify.py: checks the files in data/ against what the show's loader and
the texture upload need: power-of-two sizes, 8-bit RGB/RGBA PNG without
extra chunks, baseline JFIF JPEG, and an MP3 of at most 4 MB.
Returns a list of problems (empty when all is well). Depends on Pillow."""
import os
import struct

from PIL import Image

import pictures

SPRITES = {"baat1.png", "baat2.png", "baat3.png", "baat4.png", "hopper.png"}


def _pow2(v):
    return v > 0 and (v & (v - 1)) == 0


def _png_chunks(data):
    pos, out = 8, []
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        out.append((kind.decode("latin-1"), data[pos + 8:pos + 8 + length]))
        pos += 12 + length
    return out


def _jpeg_markers(data):
    pos, out = 2, []
    while pos + 4 <= len(data) and data[pos] == 0xFF:
        marker = data[pos + 1]
        length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
        out.append(marker)
        if marker == 0xDA:
            break
        pos += 2 + length
    return out


def check(out_dir):
    problems = []
    for slot, name, _ in pictures.TABLE:
        path = os.path.join(out_dir, name)
        if not os.path.exists(path):
            problems.append("%s: missing" % name)
            continue
        data = open(path, "rb").read()
        img = Image.open(path)
        img.load()
        w, h = img.size
        if not (_pow2(w) and _pow2(h)):
            problems.append("%s: %dx%d is not a power of two" % (name, w, h))
        if name.endswith(".png"):
            chunks = [k for k, _ in _png_chunks(data)]
            ihdr = _png_chunks(data)[0][1]
            depth, ctype = ihdr[8], ihdr[9]
            want = 6 if name in SPRITES else 2
            if depth != 8 or ctype != want:
                problems.append("%s: bit depth %d colour type %d, want 8/%d"
                                % (name, depth, ctype, want))
            extra = set(chunks) - {"IHDR", "IDAT", "IEND"}
            if extra:
                problems.append("%s: extra chunks %s" % (name, sorted(extra)))
        else:
            if data[6:10] != b"JFIF":
                problems.append("%s: no JFIF marker at byte 6" % name)
            markers = _jpeg_markers(data)
            if 0xC0 not in markers or any(m in markers for m in (0xC2, 0xC1)):
                problems.append("%s: not baseline" % name)
            if img.mode != "RGB":
                problems.append("%s: mode %s" % (name, img.mode))
    mp3 = os.path.join(out_dir, "lall.mp3")
    if not os.path.exists(mp3):
        problems.append("lall.mp3: missing")
    elif os.path.getsize(mp3) > 4 * 1000 * 1000:
        problems.append("lall.mp3: larger than 4 MB")
    return problems
