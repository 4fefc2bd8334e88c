"""pictures.py: the show's 33 pictures, one function each.

Every full-screen picture is drawn on the 640x480 design canvas of gfx.py
(top-left origin, y down) and resampled to its texture size; the show
stretches it back over the 640x480 screen. Screen heights quoted in the
comments are the show's (origin bottom-left): screen y = 480 - design row.
Depends on gfx.py (Pillow, numpy, DejaVu fonts). All randomness comes from
seeded generators, so the output is the same on every run.
"""
import math

import numpy as np
from PIL import Image

import gfx
from gfx import Canvas, font, mix, rgb

CARD = (512, 512)       # full-screen cards
WIDE = (1024, 512)      # backdrops with detail
SPRITE = (256, 256)

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def rng(seed):
    return np.random.default_rng(seed)


# ===========================================================================
# shared figures
# ===========================================================================

def crossed_oars(cv, cx, cy, size, color, blade=None):
    """The group's emblem: two oars crossed in an X."""
    blade = blade or color
    for sgn in (-1, 1):
        ang = math.radians(45 * sgn)
        dx, dy = math.sin(ang) * size, math.cos(ang) * size
        x0, y0 = cx - dx, cy - dy          # handle end
        x1, y1 = cx + dx * 0.55, cy + dy * 0.55
        cv.thick(x0, y0, x1, y1, color, size * 0.09)
        # blade: an elongated ellipse along the shaft
        bx, by = cx + dx * 0.8, cy + dy * 0.8
        pts = []
        for i in range(24):
            t = 2 * math.pi * i / 24
            u, v = math.cos(t) * size * 0.3, math.sin(t) * size * 0.11
            ca, sa = math.cos(-ang), math.sin(-ang)
            # u runs along the shaft direction (dx, dy)
            ux, uy = dx / size, dy / size
            vx, vy = -uy, ux
            pts.append((bx + ux * u + vx * v, by + uy * u + vy * v))
        cv.poly(pts, fill=blade)
        cv.thick(x0, y0, x0 + dx * 0.12, y0 + dy * 0.12, color, size * 0.13)


def star_shape(cx, cy, r_out, r_in, n=5, rot=-90):
    pts = []
    for i in range(2 * n):
        r = r_out if i % 2 == 0 else r_in
        a = math.radians(rot + 180 * i / n)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def boat(cv, x, y, w, hull="#c23b2c", stripe="#f2e6c8", wood="#8a5a32",
         rower=True, oar_phase=None, flip=False):
    """A small rowing boat seen from the side, waterline at design row y,
    bow at the right (at the left when flip). w is the hull length."""
    s = w / 176.0

    def X(u):
        return x + (w - u * s if flip else u * s)

    def P(u, v):
        return (X(u), y + v * s)

    # hull: gunwale at v -30, keel at v +12, bow rising at the right
    hull_pts = [P(0, -30), P(150, -30), P(176, -42), P(168, -20), P(150, 6),
                P(120, 12), P(30, 12), P(8, 2)]
    if rower:
        # rower behind the hull: body, head, cap; faces the stern
        lean = 0 if oar_phase is None else [-10, -2, 8, 0][oar_phase]
        sx, sy = 88 + lean, -70
        cv.thick(*P(92, -32), *P(sx, sy), "#2f6db5", 22 * s)      # torso
        cv.circle(*P(sx - 2 + lean * 0.2, sy - 20), 13 * s, fill="#f0c090")
        cv.poly([P(sx - 16, sy - 24), P(sx + 12, sy - 24), P(sx + 8, sy - 38),
                 P(sx - 10, sy - 40)], fill="#f2c230")               # cap
        cv.circle(*P(sx - 1, sy - 42), 5 * s, fill="#f2c230")
    # oar: handle H, oarlock L on the gunwale, blade B
    if oar_phase is not None:
        lock = (112, -32)
        handles = [(72, -58), (96, -54), (122, -56), (98, -66)]
        blades = [(178, 22), (138, 40), (62, 24), (150, -4)]
        hx, hy = handles[oar_phase]
        bx, by = blades[oar_phase]
        cv.thick(*P(hx, hy), *P(*lock), wood, 5 * s)
        cv.thick(*P(*lock), *P(bx, by), wood, 5 * s)
        # arms from the shoulder to the handle
        lean = [-10, -2, 8, 0][oar_phase]
        cv.thick(*P(88 + lean, -62), *P(hx, hy), "#2f6db5", 8 * s)
        cv.circle(*P(hx, hy), 5 * s, fill="#f0c090")
        # blade
        ang = math.atan2(by - lock[1], bx - lock[0])
        ux, uy = math.cos(ang), math.sin(ang)
        pts = []
        for i in range(20):
            t = 2 * math.pi * i / 20
            u, v = math.cos(t) * 16, math.sin(t) * 6
            pts.append(P(bx - ux * 10 + ux * u - uy * v,
                         by - uy * 10 + uy * u + ux * v))
        cv.poly(pts, fill="#e8d8a0", outline=wood, width=1.5 * s)
    cv.poly(hull_pts, fill=hull)
    # stripe and gunwale
    cv.poly([P(4, -4), P(160, -4), P(156, 2), P(8, 2)], fill=stripe)
    cv.poly([P(0, -30), P(150, -30), P(176, -42), P(174, -36), P(150, -24),
             P(2, -24)], fill=wood)


def waves(cv, y, color, amp, length, width=2, phase=0.0, x0=0, x1=None):
    x1 = cv.w if x1 is None else x1
    pts = []
    for i in range(0, int((x1 - x0) * 2) + 1):
        xx = x0 + i / 2
        pts.append((xx, y + amp * math.sin(2 * math.pi * xx / length + phase)))
    cv.line(pts, color, width)


def hero_bust(cv, cx, cy, s, mood="smile"):
    """The show's hero from the chest up: our own cartoon handyman with a
    big brown quiff, a tan jacket over a blue shirt. (cx, cy) is the
    centre of the face; s the scale (face half-height in units)."""
    skin, hair, jacket = "#e9b48c", "#6b3d1f", "#b07a3c"
    # shoulders and jacket
    cv.poly([(cx - 4.2 * s, cy + 5.5 * s), (cx - 3.6 * s, cy + 2.4 * s),
             (cx - 1.2 * s, cy + 1.6 * s), (cx + 1.2 * s, cy + 1.6 * s),
             (cx + 3.6 * s, cy + 2.4 * s), (cx + 4.2 * s, cy + 5.5 * s)],
            fill=jacket)
    cv.poly([(cx - 1.1 * s, cy + 1.6 * s), (cx + 1.1 * s, cy + 1.6 * s),
             (cx + 0.7 * s, cy + 5.5 * s), (cx - 0.7 * s, cy + 5.5 * s)],
            fill="#6fa6d8")                                        # shirt
    cv.poly([(cx - 1.1 * s, cy + 1.6 * s), (cx - 0.2 * s, cy + 3.2 * s),
             (cx - 1.5 * s, cy + 3.0 * s)], fill="#8a5c2a")         # lapels
    cv.poly([(cx + 1.1 * s, cy + 1.6 * s), (cx + 0.2 * s, cy + 3.2 * s),
             (cx + 1.5 * s, cy + 3.0 * s)], fill="#8a5c2a")
    cv.rect(cx - 0.45 * s, cy + 0.6 * s, cx + 0.45 * s, cy + 1.9 * s,
            fill=skin)                                             # neck
    # hair behind, ears, face
    cv.ellipse(cx, cy - 0.5 * s, 1.35 * s, 1.45 * s, fill=hair)
    cv.ellipse(cx - 1.05 * s, cy + 0.05 * s, 0.22 * s, 0.32 * s, fill=skin)
    cv.ellipse(cx + 1.05 * s, cy + 0.05 * s, 0.22 * s, 0.32 * s, fill=skin)
    cv.ellipse(cx, cy + 0.1 * s, 1.0 * s, 1.15 * s, fill=skin)
    # the quiff
    cv.poly([(cx - 1.2 * s, cy - 0.4 * s), (cx - 1.1 * s, cy - 1.3 * s),
             (cx - 0.3 * s, cy - 1.9 * s), (cx + 0.9 * s, cy - 1.8 * s),
             (cx + 1.35 * s, cy - 1.0 * s), (cx + 1.1 * s, cy - 0.35 * s),
             (cx + 0.6 * s, cy - 0.85 * s), (cx - 0.4 * s, cy - 0.75 * s)],
            fill=hair)
    # eyebrows, eyes, nose, mouth
    ink = "#3a2414"
    cv.thick(cx - 0.62 * s, cy - 0.35 * s, cx - 0.22 * s, cy - 0.42 * s, ink,
             0.1 * s)
    cv.thick(cx + 0.22 * s, cy - 0.42 * s, cx + 0.62 * s, cy - 0.35 * s, ink,
             0.1 * s)
    if mood == "closed":
        cv.arc(cx - 0.42 * s, cy - 0.2 * s, 0.16 * s, 20, 160, ink, 0.07 * s)
        cv.arc(cx + 0.42 * s, cy - 0.2 * s, 0.16 * s, 20, 160, ink, 0.07 * s)
    else:
        cv.circle(cx - 0.42 * s, cy - 0.12 * s, 0.1 * s, fill=ink)
        cv.circle(cx + 0.42 * s, cy - 0.12 * s, 0.1 * s, fill=ink)
        cv.circle(cx - 0.39 * s, cy - 0.15 * s, 0.03 * s, fill=WHITE)
        cv.circle(cx + 0.45 * s, cy - 0.15 * s, 0.03 * s, fill=WHITE)
    cv.line([(cx, cy - 0.05 * s), (cx + 0.12 * s, cy + 0.3 * s),
             (cx - 0.05 * s, cy + 0.34 * s)], "#b97e5a", 0.06 * s)
    if mood == "smile":
        cv.arc(cx, cy + 0.3 * s, 0.42 * s, 25, 155, ink, 0.08 * s)
    elif mood == "grin":
        cv.draw.chord([(cx - 0.45 * s) * gfx.SS, (cy + 0.2 * s) * gfx.SS,
                       (cx + 0.45 * s) * gfx.SS, (cy + 0.85 * s) * gfx.SS],
                      0, 180, fill=WHITE, outline=ink, width=cv.p(0.06 * s))
    else:
        cv.thick(cx - 0.25 * s, cy + 0.6 * s, cx + 0.25 * s, cy + 0.6 * s, ink,
                 0.06 * s)


def silhouette(cv, cx, base, s, color):
    """A faceless figure from the waist up: head and shoulders."""
    cv.rect(cx - 1.5 * s, base - 2.3 * s, cx + 1.5 * s, base, fill=color,
            radius=0.7 * s)
    cv.rect(cx - 0.35 * s, base - 2.8 * s, cx + 0.35 * s, base - 2.0 * s,
            fill=color)
    cv.ellipse(cx, base - 3.35 * s, 0.75 * s, 0.9 * s, fill=color)


def pocket_knife(cv, cx, cy, s, angle, open_blade):
    """The hero's red pocket knife with a small oar on its side; angle in
    degrees, counter-clockwise on the picture."""
    a = math.radians(-angle)
    ca, sa = math.cos(a), math.sin(a)

    def T(u, v):
        return (cx + (u * ca - v * sa) * s, cy + (u * sa + v * ca) * s)

    if open_blade:
        blade = [T(1.9, -0.3), T(6.2, -0.45), T(7.4, -0.15), T(6.4, 0.05),
                 T(1.9, 0.2)]
        cv.poly(blade, fill="#d8dde2", outline="#7a8088", width=0.05 * s)
        cv.poly([T(2.2, -0.2), T(6.2, -0.32), T(7.0, -0.16), T(2.2, -0.02)],
                fill="#f4f7fa")
    # steel bolsters, red scales
    body = [T(-2.4, -0.75), T(2.4, -0.75), T(2.65, -0.4), T(2.65, 0.4),
            T(2.4, 0.75), T(-2.4, 0.75), T(-2.65, 0.4), T(-2.65, -0.4)]
    cv.poly(body, fill="#9aa0a6")
    cv.poly([T(-2.3, -0.62), T(2.3, -0.62), T(2.45, -0.35), T(2.45, 0.35),
             T(2.3, 0.62), T(-2.3, 0.62), T(-2.45, 0.35), T(-2.45, -0.35)],
            fill="#c8202a")
    cv.poly([T(-2.2, -0.55), T(2.2, -0.55), T(2.3, -0.4), T(-2.3, -0.4)],
            fill="#e24a4f")                                       # highlight
    # emblem: a tiny white oar
    cv.thick(*T(-0.9, 0.15), *T(0.5, -0.1), WHITE, 0.12 * s)
    pts = []
    for i in range(16):
        t = 2 * math.pi * i / 16
        pts.append(T(0.75 + math.cos(t) * 0.4, -0.14 + math.sin(t) * 0.17))
    cv.poly(pts, fill=WHITE)
    cv.circle(*T(1.9, 0.0), 0.18 * s, fill="#6a7076")               # pivot
    cv.circle(*T(-1.9, 0.0), 0.18 * s, fill="#6a7076")
    if not open_blade:
        cv.poly([T(1.4, -0.78), T(2.2, -0.78), T(2.1, -0.9), T(1.5, -0.9)],
                fill="#b8bcc0")                                   # nail nick


def globe(cv, cx, cy, r, seed=7):
    """A made-up planet: blue sea with green continents from smooth
    random noise, lit from the upper left."""
    x, y = cv.grid()
    d = np.sqrt((x - cx) ** 2 + (y - cy) ** 2)
    inside = d < r
    g = rng(seed)
    u, v = (x - cx) / r, (y - cy) / r
    field = np.zeros_like(d)
    for k in range(14):
        fx, fy = g.normal(0, 3.2, 2)
        field += np.sin(u * fx + v * fy + g.uniform(0, 6.28)) / (1 + 0.15 * k)
    level = np.quantile(field[inside], 0.6)
    col = np.zeros(d.shape + (3,), np.float32)
    sea = np.array(rgb("#2a7fd0"), np.float32)
    green = np.array(rgb("#4cb050"), np.float32)
    sand = np.array(rgb("#d8c080"), np.float32)
    col[:] = sea
    col[field > level - 0.08] = sand
    col[field > level] = green
    polar = np.abs(v) > 0.9
    col[polar] = np.array(rgb("#f0f4f8"), np.float32)
    shade = np.clip(1.1 - ((x - cx + 0.4 * r) ** 2 + (y - cy + 0.4 * r) ** 2)
                    ** 0.5 / (1.8 * r), 0.35, 1.0)
    col *= shade[..., None]
    edge = np.clip((r - d) * gfx.SS / 1.5, 0, 1) * inside
    cv.paste_rgb(col, edge)


# ===========================================================================
# slot 1: the star
# ===========================================================================

def star():
    """Soft white glow with a four-point sparkle on black; black is
    transparent under the show's colour blending, so the edges fade to 0.
    That blending squares the colour (source times source), so the picture
    stores the square root of the glow it should show."""
    n = 64 * 4
    y, x = np.mgrid[0:n, 0:n].astype(np.float64)
    u = (x + 0.5) / n * 2 - 1
    v = (y + 0.5) / n * 2 - 1
    r = np.sqrt(u * u + v * v)
    core = np.exp(-(r / 0.13) ** 2)
    halo = np.exp(-(r / 0.40) ** 2) * 0.5
    rays = (np.exp(-np.abs(v) / 0.025) * np.exp(-(u / 0.75) ** 2) +
            np.exp(-np.abs(u) / 0.025) * np.exp(-(v / 0.75) ** 2)) * 0.8
    diag = (np.exp(-np.abs(u - v) / 0.03) + np.exp(-np.abs(u + v) / 0.03)) * \
        np.exp(-(r / 0.38) ** 2) * 0.3
    val = core + halo + rays + diag
    window = np.clip(1 - r ** 2, 0, 1) ** 2
    val = np.sqrt(np.clip(val * window, 0, 1))
    # a cold blue-white tint
    img = np.stack([val * 0.92 + val ** 3 * 0.08, val * 0.96 + val ** 3 * 0.04,
                    val], -1) * 255
    img = Image.fromarray(np.clip(np.round(img), 0, 255).astype(np.uint8))
    return img.resize((64, 64), Image.LANCZOS)


# ===========================================================================
# slots 2, 3: the loading screens; the boat crosses rows 148..340
# ===========================================================================

WATER_ROW = 285      # the sea's surface, where the boat sprite's waterline sits


def _loading_sea(cv, g, sky, sea, wave_col, amp):
    gfx.vgradient(cv, sky + [(WATER_ROW / 480.0, sky[-1][1])] +
                  [(WATER_ROW / 480.0 + 0.001, sea[0]), (1.0, sea[1])])
    for i in range(9):
        y = WATER_ROW + 6 + i * 20
        waves(cv, y, wave_col, amp * (1 + i * 0.25), 60 + i * 12, 1.5 + i * 0.2,
              phase=g.uniform(0, 6.28))


def loading():
    cv = Canvas()
    g = rng(2)
    _loading_sea(cv, g, [(0.0, "#070b24"), (0.45, "#16305e"),
                         (0.59, "#3a78a8")], ["#1d4f80", "#06142c"],
                 "#3f7fb8", 2.0)
    # stars and a moon
    for _ in range(90):
        x, y = g.uniform(0, 640), g.uniform(0, 200)
        b = int(g.uniform(90, 230))
        cv.circle(x, y, g.uniform(0.5, 1.4), fill=(b, b, min(255, b + 20)))
    gfx.radial(cv, 540, 70, 90, "#2a3a60", 1.0, 2)
    cv.circle(540, 70, 30, fill="#f4eed0")
    cv.circle(552, 62, 27, fill="#1a2a50")  # crescent
    # moonlight on the water
    for i in range(10):
        w = 46 - i * 3
        cv.rect(540 - w / 2 + g.uniform(-6, 6), WATER_ROW + 8 + i * 16,
                540 + w / 2 + g.uniform(-6, 6), WATER_ROW + 10 + i * 16,
                fill=mix("#1d4f80", "#f4eed0", 0.5 - i * 0.04))
    # title
    gfx.fancy_text(cv, 320, 62, "OAR GALA", font("bold", 58),
                   [(0, "#fff6c8"), (0.55, "#f2b632"), (1, "#c86a18")],
                   glow="#6a4010", glow_radius=10, outline="#2a1808",
                   outline_width=3)
    cv.text(320, 112, "is loading.  please stay in the boat.", font("sans", 19),
            "#cfe2f4")
    # the progress scale along the sea: the boat's middle travels it
    y = WATER_ROW + 62
    cv.rect(146, y, 496, y + 12, fill="#0a1a34", outline="#7fb0e0", width=1.5)
    cv.rect(148, y + 2, 230, y + 10, fill="#f2b632")
    for i in range(11):
        xx = 146 + 35 * i
        cv.line([(xx, y + 14), (xx, y + 20 if i % 5 else y + 26)], "#7fb0e0", 1.5)
    cv.text(146, y + 38, "0%", font("bold", 13), "#9cc4ea")
    cv.text(496, y + 38, "100%", font("bold", 13), "#9cc4ea")
    cv.text(320, 452, "rowing texels ashore:  data/oars.dat  . . .  23%",
            font("mono", 14), "#7fa8d0")
    return cv.finish(CARD)


def loading2():
    cv = Canvas()
    g = rng(3)
    _loading_sea(cv, g, [(0.0, "#1a0614"), (0.4, "#4a1030"),
                         (0.59, "#b04a3a")], ["#5a2438", "#12040c"],
                 "#c0605a", 4.5)
    # storm clouds
    lay = cv.layer()
    for _ in range(40):
        x, y = g.uniform(-40, 680), g.uniform(-20, 150)
        r = g.uniform(30, 70)
        c = int(g.uniform(30, 70))
        lay.circle(x, y, r, fill=(c + 20, c // 2, c, 235))
    cv.composite(lay, blur=6)
    # lightning
    pts = [(470, 0), (452, 60), (476, 64), (440, 150), (462, 152), (430, 230)]
    lay = cv.layer()
    lay.line(pts, (255, 240, 255, 255), 10)
    cv.composite(lay, blur=8)
    cv.line(pts, "#fff8ff", 3, joint=None)
    gfx.fancy_text(cv, 320, 60, "STILL LOADING", font("bold", 54),
                   [(0, "#ffffff"), (0.5, "#ffb0a0"), (1, "#e0303a")],
                   glow="#801020", glow_radius=12, outline="#200408",
                   outline_width=3)
    cv.text(320, 110, "the boat seems to be stuck.  keep rowing!",
            font("sans", 19), "#f4d0d0")
    y = WATER_ROW + 62
    cv.rect(146, y, 496, y + 12, fill="#20080e", outline="#e08080", width=1.5)
    cv.rect(148, y + 2, 485, y + 10, fill="#e0303a")
    for i in range(11):
        xx = 146 + 35 * i
        cv.line([(xx, y + 14), (xx, y + 20 if i % 5 else y + 26)], "#e08080", 1.5)
    cv.text(146, y + 38, "0%", font("bold", 13), "#e8a0a0")
    cv.text(496, y + 38, "99%", font("bold", 13), "#e8a0a0")
    cv.text(320, 452, "waiting for the sea to calm down . . .  99%",
            font("mono", 14), "#e0a0a0")
    return cv.finish(CARD)


# ===========================================================================
# slots 4..7: the boat frames; waterline at 70 % of the frame's height
# ===========================================================================

def boat_frame(phase):
    cv = Canvas(256, 256, (0, 0, 0, 0), "RGBA")
    boat(cv, 40, 180, 176, oar_phase=phase)
    # splashes where the blade enters and leaves the water
    if phase in (0, 2):
        bx = [218, 0, 102][phase]
        for dx, dy, r in ((-10, -6, 3), (-2, -12, 2.5), (8, -8, 3), (14, -3, 2),
                          (-16, -2, 2)):
            cv.circle(bx + dx, 178 + dy, r, fill=(220, 240, 255, 230))
    for i, (x0, x1) in enumerate(((30, 70), (190, 232))):
        cv.line([(x0, 186 + i * 2), (x1, 186 + i * 2)], (210, 235, 255, 200), 2)
    return cv.finish(SPRITE)


# ===========================================================================
# slots 0, 8, 9: title cards on black
# ===========================================================================

def title_dedozuvo():
    cv = Canvas()
    gfx.fancy_text(cv, 320, 230, "DEDOZUVO", font("bold", 92),
                   [(0, "#f4e8ff"), (0.45, "#b48cff"), (0.55, "#6a2ad0"),
                    (1, "#2a0a60")],
                   glow="#5020a0", glow_radius=16, outline="#120428",
                   outline_width=3)
    cv.text(320, 318, "a menace from beyond the sea", font("serifi", 22),
            "#9a88c0")
    return cv.finish(CARD)


def title_in_the_year():
    cv = Canvas()
    cv.text(320, 190, "In the year 2187 . . .", font("serifbi", 46), "#e8eef8")
    cv.text(320, 280, "every boat on Earth had a pair of oars,\n"
            "and the seas were calm.", font("serifi", 24), "#9fb4d0",
            spacing=10)
    return cv.finish(CARD)


def title_attack():
    cv = Canvas()
    g = rng(9)
    # speed lines bursting from the centre
    lay = cv.layer()
    for _ in range(70):
        a = g.uniform(0, 2 * math.pi)
        r0, r1 = g.uniform(150, 220), g.uniform(260, 420)
        c = (int(g.uniform(120, 200)), 20, 20, 150)
        lay.line([(320 + math.cos(a) * r0, 240 + math.sin(a) * r0 * 0.75),
                  (320 + math.cos(a) * r1, 240 + math.sin(a) * r1 * 0.75)],
                 c, g.uniform(1, 3))
    cv.composite(lay, blur=1)
    gfx.fancy_text(cv, 320, 180, "DEDOZUVO", font("bold", 80),
                   [(0, "#f4e8ff"), (0.5, "#b48cff"), (1, "#4a1aa0")],
                   glow="#5020a0", glow_radius=12, outline="#120428",
                   outline_width=3)
    gfx.fancy_text(cv, 320, 300, "ATTACK!", font("boldob", 104),
                   [(0, "#fff4a0"), (0.45, "#ff9a20"), (1, "#c01010")],
                   glow="#c02000", glow_radius=18, outline="#300000",
                   outline_width=4)
    return cv.finish(CARD)


# ===========================================================================
# slots 10, 11: the world and the jumping figure
# ===========================================================================

GROUND_ROW = 330      # screen height 150


def world():
    cv = Canvas()
    g = rng(10)
    gfx.vgradient(cv, [(0, "#3f8fe0"), (0.55, "#a8d8f8"), (0.69, "#e0f2fc")])
    gfx.radial(cv, 520, 80, 170, "#fff2b0", 0.9, 2)
    cv.circle(520, 80, 38, fill="#fff4c0")
    cv.circle(520, 80, 32, fill="#ffe070")
    # clouds
    for cx, cy, s in ((120, 70, 1.0), (330, 120, 0.8), (600, 180, 0.7),
                      (40, 190, 0.6)):
        for dx, dy, r in ((-40, 6, 22), (-15, -8, 30), (15, -4, 26),
                          (40, 8, 20), (0, 10, 24)):
            cv.circle(cx + dx * s, cy + dy * s, r * s, fill="#ffffff")
    # far hills, near hills
    def hill_line(base, amp, seed, color):
        h = rng(seed)
        ph = h.uniform(0, 6.28, 3)
        pts = [(0, 480)]
        for i in range(0, 641, 4):
            y = base - amp * (0.6 * math.sin(i / 97 + ph[0]) +
                              0.3 * math.sin(i / 41 + ph[1]) +
                              0.1 * math.sin(i / 17 + ph[2]))
            pts.append((i, y))
        pts.append((640, 480))
        cv.poly(pts, fill=color)
    hill_line(250, 40, 11, "#8cc0a0")
    hill_line(290, 30, 12, "#5caa5a")
    # a few trees and a cottage on the near hills
    for tx in (40, 90, 470, 590):
        ty = 292 + g.uniform(-6, 4)
        cv.rect(tx - 3, ty - 4, tx + 3, ty + 14, fill="#6a4a2a")
        cv.circle(tx, ty - 14, 15, fill="#2f7a3a")
        cv.circle(tx - 7, ty - 6, 10, fill="#358a40")
    cv.rect(530, 262, 566, 292, fill="#f0e0c0")
    cv.poly([(524, 264), (548, 242), (572, 264)], fill="#c0402a")
    cv.rect(544, 276, 552, 292, fill="#7a4a2a")
    # ground: grass edge at GROUND_ROW, earth below with stones
    cv.rect(0, GROUND_ROW, 640, 480, fill="#8a5a32")
    gfx.vgradient  # (keeps the earth flat coloured; stones give texture)
    for _ in range(70):
        x, y = g.uniform(0, 640), g.uniform(GROUND_ROW + 24, 480)
        r = g.uniform(2, 7)
        c = mix("#6e4624", "#a07048", g.uniform(0, 1))
        cv.ellipse(x, y, r * 1.4, r, fill=c)
    for i in range(4):
        cv.line([(0, GROUND_ROW + 40 + i * 30), (640, GROUND_ROW + 44 + i * 30)],
                "#7a4e2a", 2)
    cv.rect(0, GROUND_ROW, 640, GROUND_ROW + 14, fill="#4caa3a")
    cv.rect(0, GROUND_ROW - 1, 640, GROUND_ROW + 4, fill="#6ccc4a")
    for i in range(0, 640, 6):
        h = 4 + 3 * math.sin(i * 1.7)
        cv.poly([(i, GROUND_ROW + 1), (i + 3, GROUND_ROW - h),
                 (i + 6, GROUND_ROW + 1)], fill="#5cbc42")
    # flowers and a signpost
    for _ in range(14):
        x = g.uniform(5, 635)
        cv.circle(x, GROUND_ROW + g.uniform(4, 10), 2.5,
                  fill=["#ffffff", "#ffe040", "#ff80b0"][int(g.integers(0, 3))])
    cv.rect(80, GROUND_ROW - 46, 85, GROUND_ROW + 2, fill="#7a4a2a")
    cv.poly([(60, GROUND_ROW - 52), (118, GROUND_ROW - 52),
             (128, GROUND_ROW - 42), (118, GROUND_ROW - 32),
             (60, GROUND_ROW - 32)], fill="#c09060", outline="#6a4020", width=1.5)
    cv.text(90, GROUND_ROW - 42, "SEA  2 km", font("bold", 10), "#4a2a10")
    return cv.finish(WIDE)


def hopper():
    """The jumper: arms up, knees tucked; the soles touch the picture's
    bottom edge so the figure stands on the world's ground line."""
    cv = Canvas(256, 256, (0, 0, 0, 0), "RGBA")
    skin, shirt, stripe, pants = "#f0c090", "#ffffff", "#2f6db5", "#25406a"
    cx = 128
    # legs and shoes (soles at row 256)
    cv.thick(cx - 14, 170, cx - 26, 212, pants, 18)
    cv.thick(cx - 26, 212, cx - 20, 240, pants, 16)
    cv.thick(cx + 14, 170, cx + 26, 212, pants, 18)
    cv.thick(cx + 26, 212, cx + 20, 240, pants, 16)
    cv.rect(cx - 42, 238, cx - 10, 256, fill="#c23b2c", radius=6)
    cv.rect(cx + 10, 238, cx + 42, 256, fill="#c23b2c", radius=6)
    cv.rect(cx - 42, 251, cx - 10, 256, fill="#3a1a10")
    cv.rect(cx + 10, 251, cx + 42, 256, fill="#3a1a10")
    # arms up
    cv.thick(cx - 28, 104, cx - 58, 64, shirt, 16)
    cv.thick(cx - 58, 64, cx - 66, 28, skin, 12)
    cv.thick(cx + 28, 104, cx + 58, 64, shirt, 16)
    cv.thick(cx + 58, 64, cx + 66, 28, skin, 12)
    cv.circle(cx - 66, 24, 10, fill=skin)
    cv.circle(cx + 66, 24, 10, fill=skin)
    # striped body
    cv.rect(cx - 34, 94, cx + 34, 178, fill=shirt, radius=16)
    for i in range(5):
        cv.rect(cx - 33, 104 + i * 15, cx + 33, 111 + i * 15, fill=stripe)
    cv.rect(cx - 34, 164, cx + 34, 180, fill=pants, radius=6)
    # head with a yellow beanie and a big smile
    cv.circle(cx, 68, 30, fill=skin)
    cv.draw.chord([(cx - 32) * gfx.SS, (38 - 20) * gfx.SS, (cx + 32) * gfx.SS,
                   (38 + 40) * gfx.SS], 180, 360, fill="#f2c230")
    cv.rect(cx - 33, 44, cx + 33, 54, fill="#e0a820", radius=4)
    cv.circle(cx, 14, 8, fill="#f2c230")
    cv.circle(cx - 11, 68, 4, fill="#222222")
    cv.circle(cx + 11, 68, 4, fill="#222222")
    cv.draw.chord([(cx - 15) * gfx.SS, 70 * gfx.SS, (cx + 15) * gfx.SS,
                   92 * gfx.SS], 0, 180, fill="#902020")
    cv.circle(cx - 20, 80, 5, fill="#f4a090")
    cv.circle(cx + 20, 80, 5, fill="#f4a090")
    return cv.finish(SPRITE)


# ===========================================================================
# slots 12, 32: the attack flip-book; slot 13: the crisis card
# ===========================================================================

def _hazard(cv, y0, y1, c1, c2, offset=0):
    cv.rect(0, y0, 640, y1, fill=c1)
    h = y1 - y0
    for i in range(-2, 30):
        x = i * 40 + offset
        cv.poly([(x, y1), (x + 20, y1), (x + 20 + h, y0), (x + h, y0)], fill=c2)


def _saucer(cv, cx, cy, s, body, dome, lights):
    cv.ellipse(cx, cy - 8 * s, 26 * s, 20 * s, fill=dome)
    cv.ellipse(cx, cy, 70 * s, 16 * s, fill=body)
    cv.ellipse(cx, cy - 4 * s, 62 * s, 8 * s, fill=mix(body, WHITE, 0.25))
    for i in range(-2, 3):
        cv.circle(cx + i * 24 * s, cy + 4 * s, 4 * s, fill=lights)


def attack(variant):
    if variant == 0:
        cv = Canvas(bg=rgb("#c8101a"))
        gfx.radial(cv, 320, 240, 360, "#ff6a30", 0.6, 1.5)
        _hazard(cv, 0, 44, "#141414", "#f2c230")
        _hazard(cv, 436, 480, "#141414", "#f2c230")
        _saucer(cv, 150, 130, 1.0, "#2a2a30", "#7ae0ff", "#ffe040")
        _saucer(cv, 500, 110, 0.7, "#2a2a30", "#7ae0ff", "#ffe040")
        gfx.fancy_text(cv, 320, 270, "ATTACK!", font("bold", 120),
                       [(0, "#ffffff"), (1, "#ffe0d0")], outline="#200000",
                       outline_width=5)
        cv.text(320, 370, "DEDOZUVO IS TAKING ALL THE OARS", font("bold", 24),
                "#1a0000")
    else:
        cv = Canvas(bg=rgb("#0a0a10"))
        _hazard(cv, 0, 44, "#f2c230", "#141414", offset=20)
        _hazard(cv, 436, 480, "#f2c230", "#141414", offset=20)
        # tractor beams pulling oars up
        lay = cv.layer()
        for bx in (150, 500):
            lay.poly([(bx - 20, 130), (bx + 20, 130), (bx + 90, 436),
                      (bx - 90, 436)], fill=(120, 255, 160, 90))
        cv.composite(lay, blur=4)
        for bx, oy in ((150, 330), (500, 250), (130, 220), (520, 380)):
            cv.thick(bx - 20, oy + 20, bx + 20, oy - 20, "#c09060", 4)
        _saucer(cv, 150, 130, 1.0, "#b0b4c0", "#ff4060", "#40ff80")
        _saucer(cv, 500, 110, 0.7, "#b0b4c0", "#ff4060", "#40ff80")
        gfx.fancy_text(cv, 320, 270, "ATTACK!", font("bold", 120),
                       [(0, "#ffe040"), (1, "#ff2010")], glow="#ff2010",
                       glow_radius=14, outline="#000000", outline_width=5)
        cv.text(320, 370, "THIS IS NOT A DRILL", font("bold", 24), "#ffe040")
    return cv.finish(CARD)


def crisis():
    cv = Canvas(bg=rgb("#2a2622"))
    g = rng(13)
    # a newspaper front page, slightly darker at the edges
    cv.rect(40, 16, 600, 470, fill="#ece4d0")
    cv.text(320, 56, "The Daily Oar", font("serifb", 46), "#1a1610")
    cv.line([(60, 86), (580, 86)], "#1a1610", 2)
    cv.text(60, 96, "SPECIAL EDITION", font("bold", 11), "#1a1610", anchor="lm")
    cv.text(580, 96, "price: one fish", font("serifi", 12), "#1a1610",
            anchor="rm")
    cv.line([(60, 106), (580, 106)], "#1a1610", 1)
    gfx.fancy_text(cv, 320, 150, "WORLD IN CRISIS", font("bold", 56),
                   [(0, "#b01010"), (1, "#701010")])
    cv.text(320, 198, "Every oar on the planet stolen overnight.\n"
            "Boats adrift from pole to pole.", font("serifi", 17), "#2a2218",
            spacing=6)
    # a photo: a lonely boat with no oars
    cv.rect(66, 234, 330, 420, fill="#5a6a78")
    cv.rect(66, 330, 330, 420, fill="#3a4a5a")
    for i in range(5):
        waves(cv, 340 + i * 16, "#6a7a88", 2, 40, 1.2, x0=66, x1=330)
    boat(cv, 130, 332, 130, hull="#4a4a4a", stripe="#8a8a8a", wood="#5a5040",
         rower=True)
    cv.text(268, 260, "?", font("bold", 40), "#e0e0e0")
    cv.rect(66, 420, 330, 438, fill="#ece4d0")
    cv.text(198, 430, "A rower without oars, yesterday.", font("serifi", 11),
            "#2a2218")
    # columns of text, drawn as grey lines
    for col in (350, 470):
        y = 238
        while y < 446:
            w = 110 if g.uniform() > 0.12 else g.uniform(40, 90)
            cv.rect(col, y, col + w, y + 4, fill="#8a8070")
            y += 9 if g.uniform() > 0.1 else 16
    cv.text(410, 452, "continued on page 7", font("serifi", 10), "#2a2218")
    gfx.vignette(cv, 0.35)
    return cv.finish(CARD)


# ===========================================================================
# slots 14..17: the slideshow; 18, 19: the knife; 23: the hero fallen
# ===========================================================================

def _tv_room(cv, g):
    gfx.vgradient(cv, [(0, "#2a1e18"), (0.7, "#3a2a20"), (0.71, "#4a3020"),
                       (1, "#2a1a10")])
    # wallpaper stripes
    for x in range(0, 640, 32):
        cv.rect(x, 0, x + 12, 336, fill="#30241c")
    gfx.radial(cv, 560, 60, 220, "#604020", 0.7, 2)          # a lamp
    # the TV cabinet
    cv.rect(110, 40, 530, 380, fill="#6a4428", radius=18)
    cv.rect(118, 48, 522, 372, fill="#7a5030", radius=14)
    cv.rect(480, 90, 512, 330, fill="#5a3820", radius=6)
    for i, yy in enumerate((120, 170)):
        cv.circle(496, yy, 11, fill="#c0b090")
        cv.line([(496, yy), (496 + 8 * math.cos(i * 2 + 1),
                             yy + 8 * math.sin(i * 2 + 1))], "#3a2a1a", 2)
    for i in range(6):
        cv.line([(486, 220 + i * 12), (506, 220 + i * 12)], "#3a2414", 2)
    cv.rect(170, 380, 200, 410, fill="#4a2e18")
    cv.rect(440, 380, 470, 410, fill="#4a2e18")
    # antenna
    cv.line([(320, 40), (250, -10)], "#a0a0a0", 3)
    cv.line([(320, 40), (400, -10)], "#a0a0a0", 3)


def _tv_screen(cv, draw_picture):
    """Draw the screen content through draw_picture(canvas) into the TV's
    rounded screen, with scanlines and glass glare."""
    scr = Canvas(bg=rgb("#102030"))
    draw_picture(scr)
    gfx.scanlines(scr, 0.22, 3)
    x0, y0, x1, y1 = 140, 70, 470, 350
    pic = scr.img.resize(((x1 - x0) * gfx.SS, (y1 - y0) * gfx.SS),
                         Image.LANCZOS)
    mask = Image.new("L", pic.size, 0)
    from PIL import ImageDraw
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, pic.size[0] - 1,
                                            pic.size[1] - 1],
                                           radius=30 * gfx.SS, fill=255)
    cv.rect(x0 - 6, y0 - 6, x1 + 6, y1 + 6, fill="#1a1a1a", radius=34)
    cv.img.paste(pic, (x0 * gfx.SS, y0 * gfx.SS), mask)
    cv.draw = gfx.ImageDraw.Draw(cv.img)
    lay = cv.layer()
    lay.ellipse(230, 120, 110, 40, fill=(255, 255, 255, 40))
    cv.composite(lay, blur=12)
    gfx.radial(cv, 305, 210, 300, "#203850", 0.35, 2)         # screen glow


def tv_hero(variant):
    cv = Canvas()
    g = rng(14 + variant)
    _tv_room(cv, g)

    def picture(scr):
        gfx.vgradient(scr, [(0, "#3a7ad0"), (1, "#a0d0f0")])
        if variant == 0:
            # a workshop behind the hero: a pegboard with tools
            scr.rect(0, 300, 640, 480, fill="#7a6040")
            for i in range(7):
                scr.rect(40 + i * 90, 60, 70 + i * 90, 150 + (i % 3) * 30,
                         fill="#5a6a80")
            hero_bust(scr, 320, 200, 62, "smile")
            scr.rect(0, 392, 640, 452, fill="#c01818")
            scr.text(28, 422, "LIVE", font("bold", 30), WHITE, anchor="lm")
            scr.rect(120, 392, 640, 452, fill="#f4f4f4")
            scr.text(380, 422, "SIGURD SKRU FIXES ANYTHING",
                     font("bold", 26), "#101010", anchor="mm")
        else:
            gfx.radial(scr, 320, 200, 400, "#ffffff", 0.25, 1)
            hero_bust(scr, 300, 220, 95, "grin")
            # the hero holds up his pocket knife
            pocket_knife(scr, 520, 260, 22, 60, True)
            scr.rect(0, 392, 640, 452, fill="#1848c0")
            scr.text(320, 422, "\"A KNIFE, A PAPER CLIP AND A PLAN\"",
                     font("bold", 26), WHITE)
    _tv_screen(cv, picture)
    gfx.vignette(cv, 0.45)
    return cv.finish(CARD)


def _flag(cv, x, y, colors, symbol):
    cv.line([(x, y), (x, y + 120)], "#b0b0b0", 3)
    cv.rect(x + 2, y, x + 56, y + 36, fill=colors[0])
    cv.rect(x + 2, y + 18, x + 56, y + 36, fill=colors[1])
    if symbol == "fish":
        cv.ellipse(x + 26, y + 18, 11, 6, fill=colors[2])
        cv.poly([(x + 36, y + 18), (x + 45, y + 11), (x + 45, y + 25)],
                fill=colors[2])
    elif symbol == "star":
        cv.poly(star_shape(x + 29, y + 18, 11, 4.5), fill=colors[2])
    else:
        cv.circle(x + 29, y + 18, 8, fill=colors[2])


def leaders(variant):
    cv = Canvas()
    g = rng(16 + variant)
    gfx.vgradient(cv, [(0, "#1a2438"), (0.6, "#2a3650"), (1, "#141a28")])
    # wooden panels and a banner
    for x in range(0, 640, 80):
        cv.rect(x + 4, 60, x + 76, 300, fill="#232e44")
    flags = [(("#6a2aa0", "#e0e0e0", "#f2c230"), "fish"),
             (("#108070", "#f0a020", "#ffffff"), "star"),
             (("#e0e0e0", "#3050b0", "#c02030"), "dot"),
             (("#f08020", "#204020", "#ffffff"), "fish"),
             (("#a01040", "#10a0c0", "#ffffff"), "star")]
    if variant == 0:
        cv.rect(80, 14, 560, 58, fill="#0e3a6a")
        cv.text(320, 36, "EMERGENCY SUMMIT OF WORLD LEADERS", font("bold", 22),
                "#f0f4ff")
        for i, (cols, sym) in enumerate(flags):
            _flag(cv, 40 + i * 126, 90, cols, sym)
        tones = ["#0b0f18", "#0e121c", "#0a0d16", "#10141e", "#0c1019"]
        for i in range(5):
            silhouette(cv, 80 + i * 120, 350, 26 + (i % 2) * 3, tones[i])
        # the table with microphones and name plates
        cv.rect(0, 340, 640, 480, fill="#4a2a18")
        cv.rect(0, 340, 640, 352, fill="#6a4028")
        for i in range(5):
            x = 80 + i * 120
            cv.line([(x + 18, 340), (x + 8, 300)], "#202020", 2.5)
            cv.ellipse(x + 8, 298, 4, 6, fill="#303030")
            cv.rect(x - 30, 360, x + 30, 384, fill="#e8e0c8")
            cv.rect(x - 22, 368, x + 22, 376, fill="#8a8070")
            cv.rect(x - 20, 400, x + 16, 430, fill="#f4f4f0")       # papers
        cv.text(320, 458, "Talks have lasted nine hours.  Nobody can row home.",
                font("serifi", 17), "#e8d8c0")
    else:
        cv.rect(60, 14, 580, 58, fill="#8a1010")
        cv.text(320, 36, "THE LEADERS AGREE: CALL THE HANDYMAN",
                font("bold", 21), "#fff0f0")
        # a wall screen showing the hero's face on the left
        cv.rect(40, 90, 280, 250, fill="#0a0a0a", radius=6)
        scr = Canvas(bg=rgb("#5a90d0"))
        hero_bust(scr, 320, 230, 90, "smile")
        pic = scr.img.resize((228 * gfx.SS, 148 * gfx.SS), Image.LANCZOS)
        cv.img.paste(pic, (46 * gfx.SS, 96 * gfx.SS))
        cv.draw = gfx.ImageDraw.Draw(cv.img)
        tones = ["#0b0f18", "#0d1119", "#0a0d16"]
        for i, (x, s) in enumerate(((400, 44), (540, 40), (300, 36))):
            silhouette(cv, x, 480, s, tones[i])
        # the nearest figure raises an arm and points at the screen
        arm = "#0b0f18"
        cv.poly([(372, 392), (404, 372), (318, 262), (296, 276)], fill=arm)
        cv.ellipse(300, 262, 18, 14, fill=arm)
        cv.thick(296, 254, 270, 232, arm, 9)
    gfx.vignette(cv, 0.5)
    gfx.noise(cv, g, 3.0)
    return cv.finish(CARD)


def knife(striking):
    cv = Canvas()
    g = rng(18 + striking)
    if not striking:
        gfx.vgradient(cv, [(0, "#143a5a"), (1, "#06121e")])
        gfx.radial(cv, 320, 250, 300, "#2a6a9a", 0.6, 2)
        # a shadow, then the closed knife
        lay = cv.layer()
        lay.ellipse(330, 300, 170, 26, fill=(0, 0, 0, 150))
        cv.composite(lay, blur=10)
        pocket_knife(cv, 320, 250, 52, 8, False)
        cv.text(320, 420, "the tool", font("serifi", 30), "#9ac0e0")
    else:
        cv.set_array(cv.array() + np.array(rgb("#f2c230"), np.float32))
        gfx.radial(cv, 420, 170, 420, "#ffffff", 0.8, 1.5)
        # action burst
        lay = cv.layer()
        for i in range(36):
            a = 2 * math.pi * i / 36 + g.uniform(-0.05, 0.05)
            r0 = g.uniform(60, 120)
            lay.poly([(420 + math.cos(a) * r0, 170 + math.sin(a) * r0),
                      (420 + math.cos(a - 0.04) * 700,
                       170 + math.sin(a - 0.04) * 700),
                      (420 + math.cos(a + 0.04) * 700,
                       170 + math.sin(a + 0.04) * 700)],
                     fill=(255, 120, 20, 110) if i % 2 else (255, 255, 255, 90))
        cv.composite(lay)
        # motion lines behind the blade
        for i in range(5):
            cv.thick(110 + i * 10, 420 - i * 40, 220 + i * 10, 330 - i * 40,
                     "#c08010", 4)
        pocket_knife(cv, 250, 320, 46, 32, True)
        gfx.fancy_text(cv, 470, 400, "SHING!", font("boldob", 72),
                       [(0, "#ffffff"), (1, "#ff4020")], outline="#300000",
                       outline_width=4)
    return cv.finish(CARD)


def hero_fallen():
    cv = Canvas()
    g = rng(23)
    gfx.vgradient(cv, [(0, "#10141c"), (0.62, "#283040"), (0.63, "#30343a"),
                       (1, "#14161a")])
    gfx.radial(cv, 320, 330, 320, "#3a4660", 0.5, 2)
    # the hero lies on his back, knife dropped beside his hand
    skin, hair, jacket = "#c8a088", "#5a3a20", "#8a6030"
    cv.ellipse(320, 378, 250, 18, fill="#1a1c20")
    cv.thick(360, 360, 520, 362, "#2a3e60", 28)           # legs
    cv.thick(360, 344, 520, 346, "#30466a", 28)
    cv.rect(516, 332, 544, 376, fill="#3a2010", radius=8)  # shoes
    cv.rect(210, 326, 380, 372, fill=jacket, radius=20)   # body
    cv.rect(240, 330, 340, 344, fill="#6fa6d8")
    cv.thick(250, 368, 200, 384, jacket, 20)               # arm flung out
    cv.circle(190, 388, 10, fill=skin)
    pocket_knife(cv, 140, 398, 12, -10, False)
    cv.ellipse(172, 346, 36, 30, fill=hair)
    cv.circle(180, 350, 26, fill=skin)
    cv.ellipse(166, 330, 22, 14, fill=hair)
    ink = "#2a1a10"
    cv.arc(176, 346, 6, 20, 160, ink, 2)
    cv.arc(192, 346, 6, 20, 160, ink, 2)
    cv.thick(178, 364, 190, 364, ink, 2)
    # rain
    lay = cv.layer()
    for _ in range(260):
        x, y = g.uniform(-40, 680), g.uniform(-20, 480)
        lay.line([(x, y), (x - 6, y + 22)], (170, 190, 220, 110), 1.2)
    cv.composite(lay)
    cv.text(320, 110, "THE HERO HAS FALLEN", font("serifb", 40), "#d8dce8")
    cv.text(320, 160, "the paper clip was not enough", font("serifi", 20),
            "#8a94aa")
    gfx.vignette(cv, 0.6)
    gfx.noise(cv, g, 3.0)
    return cv.finish(CARD)


# ===========================================================================
# slots 20..22: the group's logo, the box texture, the logo background
# ===========================================================================

def _wordmark(cv, x, y, size, anchor="mm"):
    gfx.fancy_text(cv, x, y, "pelmatox", font("bold", size),
                   [(0, "#eafff6"), (0.5, "#40d8b0"), (1, "#0a7a80")],
                   glow="#0a5a60", glow_radius=size * 0.18, outline="#021a1e",
                   outline_width=size * 0.04, anchor=anchor)


def logo_still():
    cv = Canvas()
    gfx.vgradient(cv, [(0, "#04161c"), (1, "#000000")])
    gfx.radial(cv, 320, 220, 330, "#0a4048", 0.8, 2)
    crossed_oars(cv, 320, 150, 80, "#d8c090", "#f0dca8")
    _wordmark(cv, 320, 290, 86)
    waves(cv, 350, "#40d8b0", 5, 80, 3, x0=150, x1=490)
    cv.text(320, 400, "presents", font("serifi", 24), "#80b0b0")
    return cv.finish(CARD)


def cube_face():
    """Mapped on all six faces, some mirrored: a symmetric emblem, no text."""
    cv = Canvas(256, 256, rgb("#0a4a50"))
    gfx.vgradient(cv, [(0, "#16707a"), (1, "#06303a")])
    cv.rect(0, 0, 256, 256, outline="#d8c090", width=10)
    cv.rect(14, 14, 242, 242, outline="#40d8b0", width=3)
    for cx, cy in ((28, 28), (228, 28), (28, 228), (228, 228)):
        cv.circle(cx, cy, 6, fill="#d8c090")
    cv.circle(128, 128, 82, fill="#042a30", outline="#40d8b0", width=4)
    crossed_oars(cv, 128, 128, 78, "#d8c090", "#f0dca8")
    for i in range(8):
        a = math.radians(i * 45 + 22.5)
        cv.poly(star_shape(128 + math.cos(a) * 100, 128 + math.sin(a) * 100,
                           7, 3), fill="#f0dca8")
    return cv.finish((256, 256))


def app_icon(size):
    """The program's icon for desktop menus: the cube's emblem (crossed oars
    in a ring under a star) on a rounded tile, at size x size pixels. Small
    sizes get fewer, bolder shapes so the oars still read at 16 pixels."""
    cv = Canvas(256, 256, (0, 0, 0, 0), mode="RGBA")
    tile = cv.layer()
    tile.rect(8, 8, 248, 248, fill="#0e5a62", outline="#d8c090", width=10,
              radius=44)
    cv.composite(tile)
    small = size <= 32
    if not small:
        gfx.radial(cv, 128, 96, 150, "#1a8078", 0.6, 2)
        cv.rect(22, 22, 234, 234, outline="#40d8b0", width=3, radius=32)
    cv.circle(128, 138, 84, fill="#042a30",
              outline="#40d8b0", width=8 if small else 4)
    crossed_oars(cv, 128, 138, 86 if small else 76, "#d8c090", "#f0dca8")
    cv.poly(star_shape(128, 44, 30 if small else 22, 13 if small else 9),
            fill="#ffe890")
    return cv.finish((size, size))


ICON_SIZES = (16, 32, 48, 64, 128, 256)


def make_icons(out_dir):
    """Writes oargala-N.png for every size of ICON_SIZES into out_dir."""
    import os
    written = []
    for size in ICON_SIZES:
        path = os.path.join(out_dir, "oargala-%d.png" % size)
        gfx.save_png(app_icon(size), path)
        written.append(path)
    return written


def logo_backdrop():
    """Behind the turning box, which sits on the left third: the wordmark
    on the right, soft light behind the box."""
    cv = Canvas()
    g = rng(22)
    gfx.vgradient(cv, [(0, "#021014"), (0.5, "#06262c"), (1, "#010608")])
    # a floor grid in perspective
    for i in range(-12, 13):
        cv.line([(320 + i * 12, 300), (320 + i * 110, 480)], "#0c4a50", 1.5)
    for j in range(8):
        y = 300 + (j / 7.0) ** 1.8 * 180
        cv.line([(0, y), (640, y)], "#0c4a50", 1.5)
    gfx.radial(cv, 150, 240, 200, "#1a8078", 0.55, 2)
    for _ in range(60):
        cv.circle(g.uniform(0, 640), g.uniform(0, 280), g.uniform(0.5, 1.5),
                  fill="#8ad8d0")
    _wordmark(cv, 455, 220, 72)
    cv.text(455, 290, "rows for you since the last millennium",
            font("serifi", 16), "#80c0c0")
    crossed_oars(cv, 455, 120, 44, "#d8c090", "#f0dca8")
    return cv.finish(WIDE)


# ===========================================================================
# slots 24..31: the closing cards
# ===========================================================================

def saves():
    cv = Canvas()
    g = rng(24)
    gfx.vgradient(cv, [(0, "#2a1850"), (0.35, "#d05a60"), (0.6, "#ffc070"),
                       (0.61, "#3a6090"), (1, "#142a48")])
    gfx.radial(cv, 320, 292, 200, "#ffe0a0", 0.8, 2)
    cv.draw.chord([(320 - 60) * gfx.SS, (292 - 60) * gfx.SS,
                   (320 + 60) * gfx.SS, (292 + 60) * gfx.SS], 180, 360,
                  fill="#ffe8b0")
    # sun glitter, then a fleet of rowing boats coming home
    for i in range(14):
        w = 90 - i * 5
        cv.rect(320 - w / 2 + g.uniform(-8, 8), 298 + i * 12,
                320 + w / 2 + g.uniform(-8, 8), 300 + i * 12, fill="#ffd890")
    for (x, y, w, ph) in ((60, 340, 90, 0), (200, 372, 110, 2),
                          (400, 350, 96, 1), (500, 410, 130, 3),
                          (110, 440, 120, 2)):
        boat(cv, x, y, w, hull="#1a1420", stripe="#3a2a3a", wood="#1a1420",
             oar_phase=ph)
    cv.text(320, 60, "But from the sea came the rowers . . .",
            font("serifbi", 30), "#fff0e0")
    cv.text(320, 104, "every boat with an oar to spare", font("serifi", 19),
            "#ffd8c8")
    return cv.finish(CARD)


def saved():
    cv = Canvas(bg=rgb("#0a1840"))
    g = rng(25)
    gfx.radial(cv, 320, 250, 360, "#3060c0", 0.8, 1.5)
    for i in range(24):
        a = 2 * math.pi * i / 24
        cv.poly([(320, 250), (320 + math.cos(a) * 600, 250 + math.sin(a) * 600),
                 (320 + math.cos(a + 0.12) * 600,
                  250 + math.sin(a + 0.12) * 600)],
                fill="#14307a" if i % 2 else "#0e2060")
    gfx.radial(cv, 320, 250, 220, "#80a0ff", 0.5, 2)
    globe(cv, 320, 260, 120)
    # a smile and a pair of oars crossed behind
    cv.arc(320, 262, 58, 25, 155, "#1a1a2a", 7)
    for ex in (288, 352):
        cv.ellipse(ex, 228, 14, 18, fill=WHITE, outline="#1a1a2a", width=3)
        cv.circle(ex + 3, 232, 7, fill="#1a1a2a")
    for _ in range(140):
        x, y = g.uniform(0, 640), g.uniform(0, 480)
        c = ["#ff4060", "#ffe040", "#40e0ff", "#80ff60", "#ff80ff"][
            int(g.integers(0, 5))]
        a = g.uniform(0, math.pi)
        dx, dy = math.cos(a) * 5, math.sin(a) * 5
        cv.poly([(x - dx, y - dy), (x + dy * 0.4, y - dx * 0.4), (x + dx, y + dy),
                 (x - dy * 0.4, y + dx * 0.4)], fill=c)
    gfx.fancy_text(cv, 320, 70, "THE WORLD IS SAVED!", font("bold", 50),
                   [(0, "#ffffff"), (1, "#ffe040")], glow="#2040a0",
                   outline="#0a1030", outline_width=3)
    cv.text(320, 430, "all oars returned.  all boats accounted for.",
            font("serifi", 20), "#e0e8ff")
    return cv.finish(CARD)


def _greet_card(title, names, bg_stops, accent, seed, deco=None):
    cv = Canvas()
    g = rng(seed)
    gfx.vgradient(cv, bg_stops)
    if deco:
        deco(cv, g)
    gfx.fancy_text(cv, 320, 62, title, font("bold", 46),
                   [(0, "#ffffff"), (1, accent)], glow="#000000",
                   glow_radius=8, outline="#000000", outline_width=2)
    top = 140
    step = min(44, 300 / max(1, len(names)))
    for i, name in enumerate(names):
        cv.text(320, top + i * step, name, font("cond", 28), "#ffffff",
                stroke=2, stroke_fill="#00000080")
    return cv


def fendrask():
    def deco(cv, g):
        for _ in range(16):
            x, y = g.uniform(0, 640), g.uniform(0, 480)
            r = g.uniform(20, 90)
            lay = cv.layer()
            lay.circle(x, y, r, fill=(255, 255, 255, 18))
            cv.composite(lay)
        for i in range(4):
            waves(cv, 420 + i * 16, "#5ac0e0", 5, 70, 3, phase=i)
    cv = _greet_card("greetings to",
                     ["the Fendrask Rowing Society", "Kvakk & Knott",
                      "Mosegrodd", "Pixelkaia", "Team Lunsjpause",
                      "everyone with a boat"],
                     [(0, "#0a3a5a"), (1, "#0a1626")], "#7ae0ff", 26, deco)
    return cv.finish(CARD)


def fuglemat():
    def deco(cv, g):
        # seagulls over a pier, crumbs on the boards
        cv.rect(0, 400, 640, 480, fill="#7a5030")
        for x in range(0, 640, 40):
            cv.line([(x, 400), (x, 480)], "#5a3820", 2)
        for _ in range(50):
            cv.circle(g.uniform(20, 620), g.uniform(410, 470),
                      g.uniform(1.5, 3), fill="#e8c070")
        for x, y, s in ((90, 380, 1.0), (540, 370, 1.2), (470, 120, 0.6),
                        (150, 110, 0.5), (600, 90, 0.4)):
            if y > 300:
                # a seagull standing on the pier
                cv.ellipse(x, y, 26 * s, 16 * s, fill="#f4f4f4")
                cv.poly([(x - 24 * s, y - 6 * s), (x - 46 * s, y - 2 * s),
                         (x - 24 * s, y + 6 * s)], fill="#b0b8c0")
                cv.circle(x + 22 * s, y - 16 * s, 11 * s, fill="#f4f4f4")
                cv.poly([(x + 31 * s, y - 18 * s), (x + 46 * s, y - 14 * s),
                         (x + 31 * s, y - 12 * s)], fill="#f0b020")
                cv.circle(x + 26 * s, y - 19 * s, 2.2 * s, fill="#101010")
                cv.line([(x - 5 * s, y + 14 * s), (x - 5 * s, y + 22 * s)],
                        "#f0b020", 3 * s)
                cv.line([(x + 6 * s, y + 14 * s), (x + 6 * s, y + 22 * s)],
                        "#f0b020", 3 * s)
            else:
                cv.arc(x - 14 * s, y, 14 * s, 200, 340, "#f4f4f4", 4 * s)
                cv.arc(x + 14 * s, y, 14 * s, 200, 340, "#f4f4f4", 4 * s)
    cv = _greet_card("the seagulls thank",
                     ["Brødsmule Crew", "Fuglemat Inc.", "The Pier Cats",
                      "Hungry Hans", "whoever dropped that bun"],
                     [(0, "#5aa8e0"), (0.83, "#b8e0f8"), (1, "#b8e0f8")],
                     "#ffe080", 27, deco)
    return cv.finish(CARD)


def optimize():
    cv = Canvas(bg=rgb("#000010"))
    g = rng(28)
    cv.rect(30, 30, 610, 450, fill="#0a0a4a", outline="#a0a0ff", width=2)
    cv.rect(30, 30, 610, 58, fill="#a0a0ff")
    cv.text(320, 44, "OAR GALA SETUP", font("monob", 18), "#0a0a4a")
    lines = [("resolution", "640 x 480 (the only one)"),
             ("colours", "more than enough"),
             ("oars", "2 of 2 found"),
             ("boats", "1, slightly leaky"),
             ("seagulls", "fed"),
             ("frame rate", "as fast as your rowing"),
             ("pixels", "hand-polished")]
    for i, (k, v) in enumerate(lines):
        y = 96 + i * 34
        cv.text(60, y, k, font("monob", 18), "#ffff80", anchor="lm")
        cv.text(250, y, v, font("mono", 18), "#e0e0ff", anchor="lm")
    cv.text(60, 350, "OPTIMIZING", font("monob", 18), "#80ff80", anchor="lm")
    cv.rect(200, 340, 580, 362, outline="#80ff80", width=2)
    for i in range(19):
        cv.rect(204 + i * 20, 344, 220 + i * 20, 358, fill="#80ff80")
    cv.text(320, 410, "[ OK ]    press any oar to continue",
            font("monob", 18), "#ffffff")
    gfx.scanlines(cv, 0.25, 2)
    return cv.finish(CARD)


def torvek():
    def deco(cv, g):
        # a peat-brown field with stacks of turf
        cv.rect(0, 380, 640, 480, fill="#4a3420")
        for i in range(9):
            x = 30 + i * 72
            for j in range(3):
                cv.rect(x + j * 6, 380 - (j + 1) * 14, x + 50 - j * 6,
                        380 - j * 14, fill=mix("#6a4a2a", "#3a2414", j / 3),
                        outline="#2a1a0c", width=1)
    cv = _greet_card("credits",
                     ["code . . . pelmatox", "pictures . . . pelmatox",
                      "music . . . pelmatox", "turf cutting . . . Torvek",
                      "oars . . . borrowed"],
                     [(0, "#3a5a2a"), (0.8, "#8aa860"), (1, "#8aa860")],
                     "#f0ffb0", 29, deco)
    return cv.finish(CARD)


def fisk():
    cv = Canvas()
    g = rng(30)
    gfx.vgradient(cv, [(0, "#0a6a90"), (1, "#022030")])
    # light rays from the surface
    lay = cv.layer()
    for i in range(7):
        x = 40 + i * 100 + g.uniform(-20, 20)
        lay.poly([(x, 0), (x + 40, 0), (x + 140, 480), (x + 60, 480)],
                 fill=(180, 240, 255, 28))
    cv.composite(lay, blur=6)
    # seaweed
    for x in (40, 70, 560, 600):
        pts = [(x + 10 * math.sin(y / 30.0), y) for y in range(480, 300, -6)]
        cv.line(pts, "#1a8a4a", 8)
    # the fish
    cx, cy = 300, 260
    cv.poly([(cx + 120, cy), (cx + 210, cy - 70), (cx + 190, cy),
             (cx + 210, cy + 70)], fill="#f08020")
    cv.ellipse(cx, cy, 150, 90, fill="#f8a030")
    cv.ellipse(cx - 10, cy + 30, 120, 45, fill="#ffd080")
    cv.poly([(cx - 20, cy - 86), (cx + 40, cy - 130), (cx + 80, cy - 80)],
            fill="#f08020")
    for i in range(4):
        cv.arc(cx + 10 + i * 26, cy, 40, 120, 240, "#d86010", 3)
    cv.circle(cx - 90, cy - 25, 22, fill=WHITE)
    cv.circle(cx - 95, cy - 25, 11, fill="#101010")
    cv.circle(cx - 99, cy - 29, 4, fill=WHITE)
    cv.arc(cx - 120, cy + 20, 16, 300, 60, "#802000", 4)
    # bubbles and its words
    for i, (bx, by, r) in enumerate(((170, 190, 8), (150, 150, 11),
                                     (140, 100, 14))):
        cv.circle(bx, by, r, outline="#c0f0ff", width=2)
    cv.rect(30, 20, 300, 80, fill="#ffffff", radius=20)
    cv.poly([(110, 78), (140, 78), (130, 100)], fill="#ffffff")
    cv.text(165, 50, "blub.", font("boldob", 34), "#0a3050")
    cv.text(320, 430, "every demo needs a fish.  this is ours.",
            font("serifi", 22), "#c0f0ff")
    return cv.finish(CARD)


def quob():
    cv = Canvas()
    g = rng(31)
    gfx.vgradient(cv, [(0, "#000000"), (0.7, "#08141c"), (1, "#0a2030")])
    for _ in range(150):
        b = int(g.uniform(60, 220))
        cv.circle(g.uniform(0, 640), g.uniform(0, 480), g.uniform(0.4, 1.3),
                  fill=(b, b, b))
    crossed_oars(cv, 320, 120, 60, "#d8c090", "#f0dca8")
    gfx.fancy_text(cv, 320, 250, "Oar Gala", font("serifbi", 96),
                   [(0, "#fffbe8"), (0.5, "#f2c24a"), (1, "#b0701a")],
                   glow="#6a4010", glow_radius=14, outline="#1a0e02",
                   outline_width=3)
    cv.text(320, 330, "by", font("serifi", 22), "#a0b0c0")
    _wordmark(cv, 320, 376, 50)
    cv.text(320, 450, "thank you for rowing with us", font("serifi", 16),
            "#708090")
    return cv.finish(CARD)


# ===========================================================================
# the texture table: slot, file, maker
# ===========================================================================

TABLE = [
    (0, "dedozuvo512.png", title_dedozuvo),
    (1, "star.png", star),
    (2, "loading.png", loading),
    (3, "loading2.png", loading2),
    (4, "baat1.png", lambda: boat_frame(0)),
    (5, "baat2.png", lambda: boat_frame(1)),
    (6, "baat3.png", lambda: boat_frame(2)),
    (7, "baat4.png", lambda: boat_frame(3)),
    (8, "in_the_year.png", title_in_the_year),
    (9, "dedozuvo_attack.png", title_attack),
    (10, "world.png", world),
    (11, "hopper.png", hopper),
    (12, "angrep.png", lambda: attack(0)),
    (13, "crisis.png", crisis),
    (14, "maggyver_tv_used.jpg", lambda: tv_hero(0)),
    (15, "maggyver_tv_used_2.jpg", lambda: tv_hero(1)),
    (16, "verdensledere_used.jpg", lambda: leaders(0)),
    (17, "verdensledere_used_2.jpg", lambda: leaders(1)),
    (18, "macgyver_lommekniv.jpg", lambda: knife(0)),
    (19, "macgyver_lommekniv_stikker.jpg", lambda: knife(1)),
    (20, "logo_l.jpg", logo_still),
    (21, "cube.png", cube_face),
    (22, "pelma.png", logo_backdrop),
    (23, "macgyver_dead.jpg", hero_fallen),
    (24, "saves.png", saves),
    (25, "saved.png", saved),
    (26, "fendrask.png", fendrask),
    (27, "fuglemat.png", fuglemat),
    (28, "optimize.png", optimize),
    (29, "torvek.png", torvek),
    (30, "fisk.png", fisk),
    (31, "quob.png", quob),
    (32, "angrep2.png", lambda: attack(1)),
]


def make_all(out_dir, only=None):
    """Writes every picture (or the slots in only) into out_dir."""
    import os
    written = []
    for slot, name, maker in TABLE:
        if only is not None and slot not in only:
            continue
        img = maker()
        path = os.path.join(out_dir, name)
        if name.endswith(".png"):
            gfx.save_png(img, path)
        else:
            gfx.save_jpg(img, path)
        written.append((slot, path, img.size, img.mode))
    return written
