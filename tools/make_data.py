#!/usr/bin/python3
"""make_data.py: rebuilds the show's data/ folder: the 33 pictures of the
texture table and the soundtrack data/lall.mp3; also the program's icon for
desktop menus (packaging/icons/, kept out of data/: it is not the show's).

Usage (from anywhere; Debian's python3 with python3-pil and python3-numpy,
fonts-dejavu-core and lame):
    /usr/bin/python3 tools/make_data.py                 # everything
    /usr/bin/python3 tools/make_data.py --pictures      # pictures only
    /usr/bin/python3 tools/make_data.py --music         # soundtrack only
    /usr/bin/python3 tools/make_data.py --icons         # icon only
    /usr/bin/python3 tools/make_data.py --sheet OUT.png # also a contact sheet
Options --out DIR (default: data/ beside tools/), --slots 3,4 (pictures).
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import pictures  # noqa: E402


def contact_sheet(out_dir, path):
    """All pictures in slot order at 160x120 (sprites on a checkerboard),
    for a quick look."""
    from PIL import Image, ImageDraw
    cols, cw, ch = 6, 160, 136
    rows = (len(pictures.TABLE) + cols - 1) // cols
    sheet = Image.new("RGB", (cols * cw, rows * ch), (40, 40, 40))
    d = ImageDraw.Draw(sheet)
    for i, (slot, name, _) in enumerate(pictures.TABLE):
        img = Image.open(os.path.join(out_dir, name))
        img.load()
        size = (120, 120) if img.size[0] == img.size[1] and img.size[0] <= 256 \
            else (160, 120)
        img = img.resize(size, Image.LANCZOS)
        if img.mode == "RGBA":
            bg = Image.new("RGBA", size, (200, 200, 200, 255))
            dd = ImageDraw.Draw(bg)
            for y in range(0, size[1], 10):
                for x in range(0, size[0], 10):
                    if (x // 10 + y // 10) % 2:
                        dd.rectangle([x, y, x + 9, y + 9], fill=(150, 150, 150))
            img = Image.alpha_composite(bg, img).convert("RGB")
        x, y = (i % cols) * cw, (i // cols) * ch
        sheet.paste(img, (x + (cw - size[0]) // 2, y))
        d.text((x + 2, y + 122), "%d %s" % (slot, name[:22]), fill=(255, 255, 255))
    sheet.save(path)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--out", default=os.path.join(os.path.dirname(HERE), "data"))
    ap.add_argument("--pictures", action="store_true")
    ap.add_argument("--music", action="store_true")
    ap.add_argument("--icons", action="store_true")
    ap.add_argument("--icon-out",
                    default=os.path.join(os.path.dirname(HERE), "packaging", "icons"))
    ap.add_argument("--slots", default=None)
    ap.add_argument("--sheet", default=None)
    args = ap.parse_args()
    both = not args.pictures and not args.music and not args.icons
    os.makedirs(args.out, exist_ok=True)
    if args.pictures or both:
        only = None
        if args.slots:
            only = {int(s) for s in args.slots.split(",")}
        for slot, path, size, mode in pictures.make_all(args.out, only):
            print("%2d %-40s %4dx%-4d %s" % (slot, path, size[0], size[1], mode))
    if args.music or both:
        import music
        path = os.path.join(args.out, "lall.mp3")
        music.make(path)
        print("   %s" % path)
    if args.icons or both:
        os.makedirs(args.icon_out, exist_ok=True)
        for path in pictures.make_icons(args.icon_out):
            print("   %s" % path)
        if args.icons and not args.pictures and not args.music:
            return 0
    if args.sheet:
        contact_sheet(args.out, args.sheet)
    import verify
    problems = verify.check(args.out)
    for p in problems:
        print("problem: " + p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
