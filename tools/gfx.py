"""gfx.py: small drawing kit for the show's pictures.

Full-screen pictures are drawn on a 640x480 design canvas (the shape they
have once the show stretches them over the screen) at SS times the size for
anti-aliasing, then resampled to their power-of-two texture size. Sprites are
drawn on a square canvas the same way. Depends on Pillow and numpy only;
fonts come from Debian's fonts-dejavu-core.
"""
import math
import os

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

SS = 2                      # supersampling factor of every canvas
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
FONTS = {
    "sans": "DejaVuSans.ttf",
    "bold": "DejaVuSans-Bold.ttf",
    "boldob": "DejaVuSans-BoldOblique.ttf",
    "cond": "DejaVuSansCondensed-Bold.ttf",
    "serif": "DejaVuSerif.ttf",
    "serifb": "DejaVuSerif-Bold.ttf",
    "serifbi": "DejaVuSerif-BoldItalic.ttf",
    "serifi": "DejaVuSerif-Italic.ttf",
    "mono": "DejaVuSansMono.ttf",
    "monob": "DejaVuSansMono-Bold.ttf",
    "light": "DejaVuSans-ExtraLight.ttf",
}
_font_cache = {}


def font(name, size):
    """A DejaVu face at a size in design units (scaled by SS)."""
    key = (name, size)
    if key not in _font_cache:
        path = os.path.join(FONT_DIR, FONTS[name])
        _font_cache[key] = ImageFont.truetype(path, int(round(size * SS)))
    return _font_cache[key]


def rgb(c):
    """'#rrggbb' or a tuple -> tuple of ints."""
    if isinstance(c, str):
        c = c.lstrip("#")
        return tuple(int(c[i:i + 2], 16) for i in (0, 2, 4))
    return tuple(int(v) for v in c)


def mix(a, b, t):
    a, b = rgb(a), rgb(b)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Canvas:
    """An RGB or RGBA picture addressed in design units (top-left origin,
    y down, as Pillow draws); the pixels are SS times finer."""

    def __init__(self, w=640, h=480, bg=(0, 0, 0), mode="RGB"):
        self.w, self.h, self.mode = w, h, mode
        if mode == "RGBA" and len(bg) == 3:
            bg = tuple(bg) + (255,)
        self.img = Image.new(mode, (w * SS, h * SS), bg)
        self.draw = ImageDraw.Draw(self.img)

    # -- coordinates ---------------------------------------------------
    @staticmethod
    def p(v):
        return int(round(v * SS))

    def pts(self, points):
        return [(x * SS, y * SS) for x, y in points]

    # -- primitives ----------------------------------------------------
    def rect(self, x0, y0, x1, y1, fill=None, outline=None, width=1, radius=0):
        box = [x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1]
        if radius:
            self.draw.rounded_rectangle(box, radius=self.p(radius), fill=fill,
                                        outline=outline, width=self.p(width))
        else:
            self.draw.rectangle(box, fill=fill, outline=outline,
                                width=self.p(width))

    def ellipse(self, cx, cy, rx, ry, fill=None, outline=None, width=1):
        self.draw.ellipse([(cx - rx) * SS, (cy - ry) * SS, (cx + rx) * SS,
                           (cy + ry) * SS], fill=fill, outline=outline,
                          width=self.p(width))

    def circle(self, cx, cy, r, fill=None, outline=None, width=1):
        self.ellipse(cx, cy, r, r, fill, outline, width)

    def poly(self, points, fill=None, outline=None, width=1):
        self.draw.polygon(self.pts(points), fill=fill, outline=outline,
                          width=self.p(width))

    def line(self, points, fill, width=1, joint="curve"):
        self.draw.line(self.pts(points), fill=fill, width=max(1, self.p(width)),
                       joint=joint)

    def thick(self, x0, y0, x1, y1, fill, width):
        """A line segment with round caps."""
        self.line([(x0, y0), (x1, y1)], fill, width)
        r = width / 2
        self.circle(x0, y0, r, fill)
        self.circle(x1, y1, r, fill)

    def arc(self, cx, cy, r, a0, a1, fill, width=1):
        self.draw.arc([(cx - r) * SS, (cy - r) * SS, (cx + r) * SS,
                       (cy + r) * SS], a0, a1, fill=fill, width=self.p(width))

    # -- text ----------------------------------------------------------
    def text_size(self, text, fnt, spacing=0):
        l, t, r, b = self.draw.textbbox((0, 0), text, font=fnt)
        return (r - l) / SS + spacing * max(0, len(text) - 1), (b - t) / SS

    def text(self, x, y, text, fnt, fill, anchor="mm", stroke=0,
             stroke_fill=None, align="center", spacing=4):
        self.draw.text((x * SS, y * SS), text, font=fnt, fill=fill,
                       anchor=anchor, stroke_width=self.p(stroke),
                       stroke_fill=stroke_fill, align=align,
                       spacing=self.p(spacing))

    def glow_text(self, x, y, text, fnt, fill, glow, radius=8, strength=2.0,
                  anchor="mm", stroke=0, stroke_fill=None, align="center",
                  spacing=4):
        """Text over a blurred halo of colour glow."""
        mask = Image.new("L", self.img.size, 0)
        ImageDraw.Draw(mask).text((x * SS, y * SS), text, font=fnt, fill=255,
                                  anchor=anchor, stroke_width=self.p(stroke + 2),
                                  align=align, spacing=self.p(spacing))
        halo = mask.filter(ImageFilter.GaussianBlur(radius * SS))
        a = np.clip(np.asarray(halo, np.float32) / 255.0 * strength, 0, 1)
        self.blend_color(glow, a)
        self.text(x, y, text, fnt, fill, anchor, stroke, stroke_fill, align,
                  spacing)

    # -- whole-picture operations ---------------------------------------
    def array(self):
        return np.asarray(self.img, np.float32)

    def set_array(self, arr):
        arr = np.clip(np.round(arr), 0, 255).astype(np.uint8)
        self.img = Image.fromarray(arr, self.mode)
        self.draw = ImageDraw.Draw(self.img)

    def blend_color(self, color, alpha):
        """Paint colour over the canvas with a per-pixel alpha (0..1 array
        at pixel resolution)."""
        arr = self.array()
        c = np.array(rgb(color), np.float32)
        a = alpha[..., None]
        arr[..., :3] = arr[..., :3] * (1 - a) + c * a
        if self.mode == "RGBA":
            arr[..., 3] = np.maximum(arr[..., 3], alpha * 255)
        self.set_array(arr)

    def paste_rgb(self, arr, alpha=None):
        """Lay a full-size float RGB array over the canvas."""
        base = self.array()
        if alpha is None:
            base[..., :3] = arr
        else:
            a = alpha[..., None]
            base[..., :3] = base[..., :3] * (1 - a) + arr * a
        self.set_array(base)

    def layer(self):
        """A transparent layer of the same size, to draw and then
        composite with composite()."""
        lay = Canvas.__new__(Canvas)
        lay.w, lay.h, lay.mode = self.w, self.h, "RGBA"
        lay.img = Image.new("RGBA", self.img.size, (0, 0, 0, 0))
        lay.draw = ImageDraw.Draw(lay.img)
        return lay

    def composite(self, lay, blur=0, opacity=1.0):
        img = lay.img
        if blur:
            img = img.filter(ImageFilter.GaussianBlur(blur * SS))
        if opacity != 1.0:
            a = np.asarray(img, np.float32).copy()
            a[..., 3] *= opacity
            img = Image.fromarray(np.clip(a, 0, 255).astype(np.uint8), "RGBA")
        if self.mode == "RGBA":
            self.img = Image.alpha_composite(self.img, img)
        else:
            self.img = Image.alpha_composite(self.img.convert("RGBA"),
                                             img).convert("RGB")
        self.draw = ImageDraw.Draw(self.img)

    def blur(self, radius):
        self.img = self.img.filter(ImageFilter.GaussianBlur(radius * SS))
        self.draw = ImageDraw.Draw(self.img)

    def grid(self):
        """Pixel-centre coordinates in design units: (x, y) arrays."""
        H, W = self.img.size[1], self.img.size[0]
        y, x = np.mgrid[0:H, 0:W].astype(np.float32)
        return (x + 0.5) / SS, (y + 0.5) / SS

    def finish(self, size):
        """Resample to the texture size; transparent pixels of an RGBA
        picture take the colour of the nearest opaque ones, so filtering
        in the show leaves no dark fringe."""
        img = self.img.resize(size, Image.LANCZOS)
        if img.mode == "RGBA":
            img = bleed_colour(img)
        return img


# -- backgrounds --------------------------------------------------------

def vgradient(cv, stops):
    """Vertical gradient from a list of (position 0..1, colour)."""
    x, y = cv.grid()
    t = y / cv.h
    out = np.zeros(y.shape + (3,), np.float32)
    pos = [s[0] for s in stops]
    for ch in range(3):
        out[..., ch] = np.interp(t, pos, [rgb(s[1])[ch] for s in stops])
    cv.paste_rgb(out)


def radial(cv, cx, cy, r, color, strength=1.0, power=2.0):
    """A soft round light: colour added with falloff (1 - d/r)^power."""
    x, y = cv.grid()
    d = np.sqrt((x - cx) ** 2 + (y - cy) ** 2) / r
    a = np.clip(1 - d, 0, 1) ** power * strength
    arr = cv.array()
    arr[..., :3] += a[..., None] * np.array(rgb(color), np.float32)
    cv.set_array(arr)


def vignette(cv, amount=0.5):
    x, y = cv.grid()
    d = np.sqrt(((x - cv.w / 2) / (cv.w / 2)) ** 2 +
                ((y - cv.h / 2) / (cv.h / 2)) ** 2) / math.sqrt(2)
    f = 1 - amount * np.clip(d, 0, 1) ** 2
    arr = cv.array()
    arr[..., :3] *= f[..., None]
    cv.set_array(arr)


def noise(cv, rng, amount=6.0):
    """Fine film grain (seeded), for the JPEG pictures."""
    arr = cv.array()
    n = rng.normal(0, amount, arr.shape[:2]).astype(np.float32)
    arr[..., :3] += n[..., None]
    cv.set_array(arr)


def scanlines(cv, amount=0.18, period=3):
    arr = cv.array()
    H = arr.shape[0]
    rows = (np.arange(H) // SS) % period == 0
    arr[rows, :, :3] *= (1 - amount)
    cv.set_array(arr)


def bleed_colour(img):
    """Give fully transparent pixels the colour of nearby opaque ones."""
    arr = np.asarray(img, np.float32).copy()
    a = arr[..., 3:4] / 255.0
    rgb_p = arr[..., :3] * a
    filled = arr[..., :3].copy()
    done = (arr[..., 3] > 0)
    for radius in (1, 2, 4, 8, 16, 32, 64):
        num = Image.fromarray(np.clip(rgb_p, 0, 255).astype(np.uint8))
        num = np.asarray(num.filter(ImageFilter.BoxBlur(radius)), np.float32)
        den = Image.fromarray(np.clip(a[..., 0] * 255, 0, 255).astype(np.uint8))
        den = np.asarray(den.filter(ImageFilter.BoxBlur(radius)), np.float32) / 255.0
        ok = (den > 0.002) & ~done
        filled[ok] = num[ok] / den[ok][..., None]
        done |= ok
    arr[..., :3] = np.where((arr[..., 3:4] > 0), arr[..., :3], filled)
    return Image.fromarray(np.clip(np.round(arr), 0, 255).astype(np.uint8),
                           "RGBA")


# -- writers --------------------------------------------------------------

def save_png(img, path):
    """8-bit RGB or RGBA PNG with no metadata chunks."""
    assert img.mode in ("RGB", "RGBA")
    img.save(path, "PNG", optimize=True)


def save_jpg(img, path, quality=90):
    """Baseline JFIF JPEG."""
    assert img.mode == "RGB"
    img.save(path, "JPEG", quality=quality, optimize=False, progressive=False,
             subsampling="4:2:0")


# -- text with fills --------------------------------------------------------

def text_mask(cv, x, y, text, fnt, anchor="mm", stroke=0, align="center",
              spacing=4):
    """Coverage of a text as a float array (0..1) at pixel resolution."""
    mask = Image.new("L", cv.img.size, 0)
    ImageDraw.Draw(mask).text((x * SS, y * SS), text, font=fnt, fill=255,
                              anchor=anchor, stroke_width=cv.p(stroke),
                              align=align, spacing=cv.p(spacing))
    return np.asarray(mask, np.float32) / 255.0


def gradient_fill(cv, mask, stops, y0, y1):
    """Paint a mask with a vertical gradient running from design row y0
    to y1 (stops as in vgradient)."""
    x, y = cv.grid()
    t = np.clip((y - y0) / max(1e-6, (y1 - y0)), 0, 1)
    col = np.zeros(y.shape + (3,), np.float32)
    pos = [s[0] for s in stops]
    for ch in range(3):
        col[..., ch] = np.interp(t, pos, [rgb(s[1])[ch] for s in stops])
    arr = cv.array()
    a = mask[..., None]
    arr[..., :3] = arr[..., :3] * (1 - a) + col * a
    if cv.mode == "RGBA":
        arr[..., 3] = np.maximum(arr[..., 3], mask * 255)
    cv.set_array(arr)


def glow_mask(cv, mask, color, radius, strength=1.5):
    """A blurred halo of a mask in colour, painted under what follows."""
    m = Image.fromarray(np.clip(mask * 255, 0, 255).astype(np.uint8))
    m = m.filter(ImageFilter.GaussianBlur(radius * SS))
    a = np.clip(np.asarray(m, np.float32) / 255.0 * strength, 0, 1)
    cv.blend_color(color, a)


def fancy_text(cv, x, y, text, fnt, stops, glow=None, glow_radius=10,
               outline=None, outline_width=3, anchor="mm", half=None):
    """Gradient-filled text with an optional outline and glow. half is the
    text's half height for the gradient span (measured when not given)."""
    if half is None:
        half = cv.text_size(text, fnt)[1] / 2 + 2
    if glow is not None:
        glow_mask(cv, text_mask(cv, x, y, text, fnt, anchor, outline_width),
                  glow, glow_radius)
    if outline is not None:
        cv.blend_color(outline, text_mask(cv, x, y, text, fnt, anchor,
                                          outline_width))
    gradient_fill(cv, text_mask(cv, x, y, text, fnt, anchor), stops,
                  y - half, y + half)
