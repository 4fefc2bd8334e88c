#!/usr/bin/python3
# make_pictures.py: writes the pictures in this folder with Pillow, an encoder
# and decoder independent of ours, and next to each one a .pam file holding
# Pillow's decoding of it (top row first). The loader tests compare our
# decoding with it; fuzz/run.sh seeds its corpus with the pictures.
# Run from anywhere: /usr/bin/python3 tests/data/pictures/make_pictures.py
import os
from PIL import Image, ImageDraw

here = os.path.dirname(os.path.abspath(__file__))
W, H = 61, 47   # odd sizes: BMP/TGA rows of any length, partial JPEG blocks


def picture(alpha):
    im = Image.new("RGBA" if alpha else "RGB", (W, H))
    px = im.load()
    for y in range(H):
        for x in range(W):
            c = (40 + 200 * x // (W - 1), 220 - 180 * y // (H - 1), 90 + 100 * (x + y) // (W + H))
            px[x, y] = c + ((255 * x // (W - 1)) ^ (y * 4),) if alpha else c
    d = ImageDraw.Draw(im)
    d.rectangle([5, 5, 20, 14], fill=(255, 255, 0, 255) if alpha else (255, 255, 0))
    d.ellipse([30, 20, 55, 42], fill=(20, 20, 160, 128) if alpha else (20, 20, 160))
    return im


def write_pam(im, name):
    im = im.convert("RGBA" if im.mode in ("RGBA", "LA") else "RGB")
    depth, kind = (4, "RGB_ALPHA") if im.mode == "RGBA" else (3, "RGB")
    with open(os.path.join(here, name), "wb") as f:
        f.write(f"P7\nWIDTH {im.width}\nHEIGHT {im.height}\nDEPTH {depth}\nMAXVAL 255\nTUPLTYPE {kind}\nENDHDR\n".encode())
        f.write(im.tobytes())


def save(im, name, **options):
    path = os.path.join(here, name)
    im.save(path, **options)
    write_pam(Image.open(path), name + ".pam")


rgb, rgba = picture(False), picture(True)
save(rgb, "photo.jpg", quality=85)                        # baseline, 4:2:0
save(rgb, "photo-progressive.jpg", quality=85, progressive=True)
save(rgb, "photo-444.jpg", quality=95, subsampling=0)
save(rgb.convert("L"), "photo-grey.jpg", quality=90)
save(rgb, "photo.tga")                                    # uncompressed, bottom-left
save(rgb, "photo-rle-top.tga", rle=True, orientation=1)   # RLE, top-left
save(rgba, "alpha-rle.tga", rle=True)
save(rgba, "alpha-top.tga", orientation=1)
save(rgb, "photo.bmp")
