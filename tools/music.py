"""music.py: the soundtrack data/lall.mp3, composed for the show's
timeline and encoded with lame.

The tune runs at 120 beats a minute: a beat is 0.5 s, a bar of four beats
2 s, a step (sixteenth) 0.125 s. Each section starts on a whole second
where the show changes scene (0, 27, 56, 66, 71, 78, 95, 100, 104, 106,
116, 121, 126, 131, 136, 141, 146, 151) and counts its bars from there, so
a section of an odd number of seconds ends on a half bar. The music fades
out to silence by 158.8 s; the file is 159 s long. Key: A minor and its
relative C major. Depends on synth.py (numpy) and Debian's lame.
"""
import os
import subprocess
import tempfile
import wave

import numpy as np

import synth as sy
from synth import note as N

LENGTH = 159.0
STEP = 0.125
BAR = 2.0

# chord voicings around middle C, and bass roots in octave 2
CHORDS = {
    "Am": ["A3", "C4", "E4"], "F": ["A3", "C4", "F4"], "C": ["G3", "C4", "E4"],
    "G": ["G3", "B3", "D4"], "Dm": ["A3", "D4", "F4"], "E": ["G#3", "B3", "E4"],
    "Em": ["G3", "B3", "E4"], "Bb": ["Bb3", "D4", "F4"], "A": ["A3", "C#4", "E4"],
    "Am9": ["A3", "C4", "E4", "B4"], "E7": ["G#3", "D4", "E4"],
}
ROOTS = {"Am": "A2", "F": "F2", "C": "C3", "G": "G2", "Dm": "D3", "E": "E2",
         "Em": "E2", "Bb": "Bb2", "A": "A2", "Am9": "A2", "E7": "E2"}

BASS_PATTERNS = {
    "long": [(0, 15, 0)],
    "halves": [(0, 7, 0), (8, 7, 0)],
    "quarters": [(i * 4, 3, 0) for i in range(4)],
    "eighths": [(i * 2, 1.6, 0) for i in range(8)],
    "octave": [(i * 2, 1.6, 12 if i % 2 else 0) for i in range(8)],
    "offbeat": [(i * 4 + 2, 1.6, 0) for i in range(4)],
    "rolling": [(i, 0.8, 12 if i % 8 == 6 else 0) for i in range(16) if i % 4],
    "sixteenths": [(i, 0.8, 0) for i in range(16)],
    "pulse": [(0, 3, 0), (6, 1.5, 0), (8, 3, 0), (14, 1.5, 0)],
}


class Song:
    def __init__(self):
        self.mx = sy.Mixer(LENGTH)
        self.rng = np.random.default_rng(160)

    # -- drums ----------------------------------------------------------------
    def drums(self, t0, t1, kick="", snare="", hat="", ohat="", clap="",
              gain=1.0):
        """Step patterns of 16 characters a bar: 'x' hit, 'X' accent,
        'o' soft, '.' rest; repeated from t0, cut at t1."""
        lanes = [(kick, "kick", 0.75), (snare, "snare", 0.5),
                 (hat, "hat", 0.22), (ohat, "ohat", 0.2), (clap, "clap", 0.5)]
        bar = t0
        while bar < t1 - 1e-9:
            for pat, kind, g in lanes:
                for i, c in enumerate(pat):
                    t = bar + i * STEP
                    if c == "." or t >= t1 - 1e-9:
                        continue
                    v = g * gain * {"x": 1.0, "X": 1.25, "o": 0.55}[c]
                    if kind == "kick":
                        self.mx.kick(t, v)
                    elif kind == "snare":
                        self.mx.add(t, sy.snare(), v, 0.05, rev=0.18)
                    elif kind == "clap":
                        self.mx.add(t, sy.clap(), v, -0.05, rev=0.25)
                    elif kind == "hat":
                        pan = 0.3 if i % 2 else 0.2
                        self.mx.add(t, sy.hat(), v, pan, rev=0.05, until=None)
                    else:
                        self.mx.add(t, sy.hat(open_=True), v, 0.35, rev=0.1)
            bar += BAR

    def roll(self, t0, t1, start_rate=4, end_rate=16, gain=0.45):
        """A snare roll speeding up and growing louder."""
        t = t0
        while t < t1 - 1e-9:
            x = (t - t0) / (t1 - t0)
            self.mx.add(t, sy.snare(), gain * (0.3 + 0.7 * x), 0.0, rev=0.2)
            rate = start_rate * (end_rate / start_rate) ** x
            t += 1.0 / rate

    def crash(self, t, gain=0.6):
        self.mx.add(t, sy.crash(), gain, -0.3, rev=0.3)

    # -- harmony --------------------------------------------------------------
    def chords(self, t0, t1, prog, bar_len=BAR, pad=0.33, bass="eighths",
               bass_gain=0.55, arp=None, arp_gain=0.16, pad_bright=4.0,
               bass_bright=1.0, arp_shape="square", arp_octave=12):
        """Chord names, one per bar_len from t0, cut at t1: pad, bass pattern
        and an optional arpeggio ('up8', 'up16', 'updown16')."""
        t = t0
        for name in prog:
            if t >= t1 - 1e-9:
                break
            end = min(t1, t + bar_len)
            tones = [N(n) for n in CHORDS[name]]
            if pad:
                # two differently detuned halves, one each side, for width
                for pan, det in ((-0.6, (-0.007, 0.003)), (0.6, (0.007, -0.003))):
                    self.mx.add(t, sy.pad(tones, end - t, pad_bright,
                                          detune=det), pad, pan, rev=0.35,
                                duck=True)
            if bass:
                root = N(ROOTS[name])
                scale = bar_len / BAR
                for step, ln, octv in BASS_PATTERNS[bass]:
                    ts = t + step * STEP * scale
                    if ts >= end - 1e-9:
                        continue
                    d = min(ln * STEP * scale, end - ts)
                    self.mx.add(ts, sy.bass(root + octv, d, bass_bright),
                                bass_gain * 0.8, 0.0, rev=0.03, duck=True)
            if arp:
                step = STEP if arp.endswith("16") else STEP * 2
                seq = tones + [tones[0] + 12]
                if arp.startswith("updown"):
                    seq = seq + seq[-2:0:-1]
                k = 0
                ts = t
                while ts < end - 1e-9:
                    m = seq[k % len(seq)] + arp_octave
                    self.mx.add(ts, sy.pluck(m, step * 0.9, arp_shape),
                                arp_gain * 1.3, 0.55 if k % 2 else -0.55,
                                rev=0.2, dly=0.25)
                    k += 1
                    ts += step
            t += bar_len

    # -- melody ---------------------------------------------------------------
    def melody(self, t0, text, unit=0.25, instr="lead", gain=0.3, pan=0.0,
               t1=None, **kw):
        """Tokens 'NOTE:len' in units of unit seconds; '-:len' rests."""
        t = t0
        for tok in text.split():
            name, _, ln = tok.partition(":")
            d = float(ln or 1) * unit
            if t1 is not None and t >= t1 - 1e-9:
                break
            if name != "-":
                m = N(name)
                dd = d if t1 is None else min(d, t1 - t)
                if instr == "lead":
                    x = sy.lead(m, dd * 0.92, **kw)
                    self.mx.add(t, x, gain * 1.4, pan, rev=0.2, dly=0.2)
                elif instr == "bell":
                    self.mx.add(t, sy.bell(m, dd), gain, pan, rev=0.35, dly=0.3)
                elif instr == "pluck":
                    self.mx.add(t, sy.pluck(m, dd * 0.9, **kw), gain, pan,
                                rev=0.2, dly=0.2)
            t += d
        return t

    def twinkles(self, t0, t1, density=1.5, gain=0.22):
        """Random high bell notes of the A minor pentatonic: the stars."""
        scale = ["A5", "C6", "D6", "E6", "G6", "A6", "C7", "E6"]
        t = t0
        while True:
            t += self.rng.exponential(1.0 / density)
            if t >= t1:
                break
            m = scale[int(self.rng.integers(0, len(scale)))]
            self.mx.add(t, sy.bell(N(m), 0.3), gain * self.rng.uniform(0.6, 1),
                        float(self.rng.uniform(-0.8, 0.8)), rev=0.5, dly=0.35)


# ===========================================================================
# the score, section by section
# ===========================================================================

FOUR = "x...x...x...x..."
BACK = "....x.......x..."
OFF8 = "..x...x...x...x."
ALL16 = "xoxoxoxoxoxoxoxo"


def sec_loading(s):
    # 0..14: waiting music while the boat creeps across
    s.chords(0, 14, ["Am", "F", "C", "G", "Am", "F", "C"], pad=0.28,
             bass="quarters", bass_gain=0.4, arp="up8", arp_gain=0.12)
    s.drums(2, 14, kick="x.......x.......", hat=OFF8, gain=0.8)
    s.drums(6, 14, clap="............x...", gain=0.7)
    s.melody(4, "E5:2 G5:2 A5:4 | G5:2 E5:2 C5:4 | D5:2 E5:2 G5:2 E5:2 "
             "D5:8 | E5:2 G5:2 A5:4".replace("|", ""),
             instr="bell", gain=0.3)
    # 14..22: still loading: the boat is stuck and shakes
    s.chords(14, 22, ["Dm", "E", "Dm", "E"], pad=0.3, bass="eighths",
             bass_gain=0.5, arp="updown16", arp_gain=0.12, pad_bright=6)
    s.drums(14, 22, kick=FOUR, snare=BACK, hat=ALL16, gain=0.85)
    s.crash(14, 0.45)
    s.melody(16, "A5:3 G#5:1 A5:2 B5:2 C6:3 B5:1 A5:2 G#5:2 "
             "A5:3 G#5:1 A5:2 B5:2 E5:8", instr="lead", gain=0.22,
             bright=10.0)
    # 22..27: everything fades to black
    s.chords(22, 27, ["Am"], bar_len=5.0, pad=0.26, bass="long", bass_gain=0.3)
    s.melody(22, "E6:2 C6:2 A5:2 E5:2 C6:2 A5:2 E5:2 C5:6", instr="bell",
             gain=0.22)
    s.mx.add(25.0, sy.riser(2.0, 300, 6000), 0.22, 0.0, rev=0.3)


def sec_titles(s):
    # 27..34: stars alone
    s.chords(27, 34, ["Am9"], bar_len=7.0, pad=0.3, bass="long", bass_gain=0.25,
             pad_bright=2.5)
    s.twinkles(27.2, 34, 1.8)
    # 34..42: "DEDOZUVO": a dark theme
    s.mx.add(34, sy.boom(), 0.8, 0.0, rev=0.3)
    s.crash(34, 0.35)
    s.chords(34, 42, ["Am", "Am", "F", "E"], pad=0.3, bass="halves",
             bass_gain=0.5, pad_bright=3.0, bass_bright=0.3)
    s.drums(36, 42, kick="x..x............", gain=0.8)
    for t in (35, 37, 39, 41):
        s.mx.add(t, sy.tom(N("A1")), 0.45, -0.2, rev=0.3)
    s.melody(34, "A3:4 C4:2 B3:2 A3:8 F3:4 A3:2 C4:2 B3:4 G#3:4", instr="lead",
             gain=0.3, bright=4.0)
    s.twinkles(34, 42, 0.6, 0.15)
    # 42..49: "In the year 2187": calm seas
    s.chords(42, 49, ["C", "G", "Am", "F"], pad=0.3, bass="quarters",
             bass_gain=0.45, arp="up8", arp_gain=0.1)
    s.drums(42, 49, kick="x.......x.......", hat=OFF8, clap="............x...",
            gain=0.75)
    s.melody(42, "E5:2 G5:2 C6:4 D6:2 B5:2 G5:4 C6:2 A5:2 E5:4 F5:4",
             instr="bell", gain=0.32)
    # 49..56: "DEDOZUVO ATTACK!": a build-up
    s.chords(49, 56, ["Dm", "Bb", "E", "E"], bar_len=1.75, pad=0.32,
             bass="eighths", bass_gain=0.5, pad_bright=8.0, bass_bright=1.5)
    s.drums(49, 53, kick=FOUR, hat=ALL16, gain=0.85)
    s.drums(53, 55.5, kick="x.x.x.x.x.x.x.x.", hat=ALL16, gain=0.9)
    s.roll(51, 55.5, 4, 24, 0.45)
    s.mx.add(52, sy.riser(3.5, 400, 10000), 0.3, 0.0, rev=0.2)
    s.melody(49, "A4:2 D5:2 F5:2 A5:1 - E5:2 F5:2 D5:2 Bb4:1 - "
             "G#4:2 B4:2 E5:3 G#5:4", instr="lead", gain=0.24, bright=14.0)


def sec_world(s):
    # 56..66: a sunny world; the figure jumps at 61 s and lands at 63.6 s
    s.crash(56, 0.6)
    s.chords(56, 66, ["C", "G", "Am", "F", "C"], pad=0.25, bass="octave",
             bass_gain=0.5, arp="up16", arp_gain=0.08)
    s.drums(56, 66, kick=FOUR, snare=BACK, hat=OFF8, ohat="", gain=0.95)
    s.melody(56, "E5:1 G5:1 C6:2 G5:1 E5:1 G5:2 D5:1 G5:1 B5:2 A5:1 G5:1 D5:2 "
             "C5:1 E5:1 A5:2 G5:1 E5:1 C5:2 F5:1 A5:1 C6:1 A5:1 G5:2 E5:2 "
             "C5:2 E5:1 G5:1 C6:4", instr="pluck", gain=0.42, pan=0.1,
             shape="square", bright=14.0, decay=5.0)
    import math
    up = [61.0 + i * 0.1 for i in range(27)]
    pitches = [N("C5") + 24 * math.sin(min(t - 61.0, math.pi * 5 / 6))
               for t in up]
    s.mx.add(61.0, sy.slide_whistle(up, pitches), 0.5, 0.2, rev=0.2)
    s.mx.add(63.62, sy.tom(N("C2")), 0.7, 0.2, rev=0.2)


def sec_attack(s):
    # 66..71: the attack: a siren, and a stab on every flip of the pictures
    s.crash(66, 0.7)
    s.mx.add(66, sy.siren(5.0), 0.8, 0.0, rev=0.2)
    s.drums(66, 71, kick="x.x.x.x.x.x.x.x.", snare="....x.......x.xx",
            hat="xxxxxxxxxxxxxxxx", gain=1.0)
    s.chords(66, 71, ["Am", "Bb", "Am"], pad=0.0, bass="sixteenths",
             bass_gain=0.5, bass_bright=2.0)
    for i in range(20):
        t = 66 + i * 0.25
        ms = ["A4", "E5", "A5"] if i % 2 == 0 else ["Bb4", "F5", "Bb5"]
        s.mx.add(t, sy.brass([N(m) for m in ms], 0.18), 0.35,
                 -0.3 if i % 2 else 0.3, rev=0.15)


def sec_crisis(s):
    # 71..78: the crisis headline: a clock ticking over a low drone
    s.mx.add(71, sy.boom(), 0.7, 0.0, rev=0.3)
    s.chords(71, 78, ["Dm", "Bb", "E", "E"], bar_len=1.75, pad=0.3,
             bass="long", bass_gain=0.45, pad_bright=2.5, bass_bright=0.2)
    for i in range(14):
        s.mx.add(71 + i * 0.5, sy.tick(), 0.5 if i % 2 == 0 else 0.3,
                 0.4 if i % 2 else -0.4, rev=0.15)
    for t in (71, 72.75, 74.5, 76.25):
        s.mx.add(t, sy.tom(N("D2")), 0.55, 0.0, rev=0.35)
    s.melody(71, "D5:4 F5:2 A5:1 Bb5:4 A5:2 F5:1 G#5:4 B5:2 E5:1 E5:7",
             instr="bell", gain=0.25, t1=78)
    s.roll(76.5, 78, 8, 20, 0.3)


def sec_slideshow(s):
    # 78..81: the summit: a news sting
    s.crash(78, 0.5)
    for t in (78, 78.75, 79.5):
        s.mx.add(t, sy.brass([N("D4"), N("F4"), N("A4"), N("D5")], 0.4), 0.45,
                 0.0, rev=0.25)
    s.chords(78, 81, ["Dm", "Bb"], bar_len=1.5, pad=0.25, bass="quarters",
             bass_gain=0.45)
    s.drums(78, 81, snare="x.x.xxx.x.x.xxx.", kick="x.......x.......",
            gain=0.7)
    # 81..92: the hero on television: his theme
    s.crash(81, 0.55)
    s.chords(81, 92, ["F", "G", "Em", "Am", "F", "G"], pad=0.3, bass="octave",
             bass_gain=0.5, arp="up16", arp_gain=0.07)
    s.drums(81, 92, kick="x.....x.x.......", snare=BACK, hat=OFF8,
            ohat="..............x.", gain=0.95)
    s.melody(81, "F4:2 C5:2 F5:3 G5:1 A5:2 G5:1 F5:1 D5:4 E5:3 G5:1 B5:4 "
             "A5:2 G5:1 E5:1 C5:4 F5:2 A5:2 C6:3 A5:1 B5:2 D6:2",
             instr="lead", gain=0.3, bright=12.0)
    # 92..95: the leaders agree: build towards the knife
    s.chords(92, 95, ["Dm", "E"], bar_len=1.5, pad=0.3, bass="eighths",
             bass_gain=0.5, pad_bright=8)
    s.drums(92, 95, kick=FOUR, hat=ALL16, gain=0.9)
    s.roll(93, 95, 8, 24, 0.45)
    s.mx.add(92.5, sy.riser(2.5, 500, 10000), 0.25, 0.0)


def sec_knife(s):
    # 95..100: the pocket knife: a shing on every strike (every half second)
    s.crash(95, 0.65)
    s.chords(95, 100, ["E7", "E7", "E7"], pad=0.22, bass="rolling",
             bass_gain=0.55, bass_bright=1.6, pad_bright=8)
    s.drums(95, 100, kick=FOUR, snare=BACK, hat=ALL16, clap="....x.......x...",
            gain=1.0)
    for i in range(10):
        s.mx.add(95.25 + i * 0.5, sy.shing(), 0.55, 0.4 if i % 2 else -0.4,
                 rev=0.2)
    s.melody(95, "E5:1 E5:1 G#5:1 E5:1 B5:1 A5:1 G#5:1 E5:1 "
             "E5:1 E5:1 G#5:1 E5:1 D6:2 B5:2 E5:1 G#5:1 B5:1 E6:1",
             instr="pluck", gain=0.35, shape="saw", bright=16.0, decay=7.0)


def sec_fallen(s):
    # 100..104: the hero has fallen
    s.mx.add(100, sy.boom(), 0.6, 0.0, rev=0.4)
    s.chords(100, 104, ["Am", "F"], pad=0.35, bass="long", bass_gain=0.4,
             pad_bright=2.5, bass_bright=0.2)
    s.melody(100.25, "E5:3 D5:1 C5:2 B4:2 C5:3 A4:1 A4:6", instr="lead",
             gain=0.26, bright=5.0, t1=104)


def sec_logo(s):
    # 104..106: the group's logo: a fanfare and a riser into the box
    s.crash(104, 0.6)
    s.mx.add(104, sy.brass([N(m) for m in ("C4", "E4", "G4", "C5", "E5")], 1.2),
             0.55, 0.0, rev=0.4)
    s.mx.add(104, sy.bass(N("C2"), 1.2, 0.5), 0.5, 0.0)
    s.mx.add(104.5, sy.riser(1.5, 500, 12000), 0.3, 0.0)
    s.roll(105, 106, 8, 24, 0.5)


def sec_cube(s):
    # 106..116: the rotating box: the main theme
    s.crash(106, 0.7)
    s.chords(106, 116, ["Am", "F", "C", "G", "Am"], pad=0.26, bass="rolling",
             bass_gain=0.55, arp="updown16", arp_gain=0.07)
    s.drums(106, 116, kick=FOUR, clap=BACK, hat=ALL16, ohat=OFF8, gain=1.0)
    s.melody(106, "A4:2 C5:1 E5:1 A5:2 G5:1 E5:1 F5:2 E5:1 C5:1 A4:3 C5:1 "
             "G4:1 C5:1 E5:1 G5:1 E5:2 D5:1 C5:1 D5:2 B4:1 G4:1 B4:2 D5:2 "
             "E5:2 A5:2 E5:1 C5:1 A4:2", instr="lead", gain=0.3, bright=14.0)


def sec_ending(s):
    # 116..121: the rowers come: a half-time build
    s.chords(116, 121, ["F", "G", "G"], bar_len=2.0, pad=0.32, bass="quarters",
             bass_gain=0.5, arp="up8", arp_gain=0.1, pad_bright=5)
    s.drums(116, 119, kick="x.........x.....", snare="........x.......",
            hat=OFF8, gain=0.9)
    s.roll(119, 121, 8, 24, 0.45)
    s.mx.add(119, sy.riser(2.0, 500, 12000), 0.25, 0.0)
    s.melody(116, "C5:2 D5:2 F5:4 D5:2 E5:2 G5:4 B5:2 D6:2", instr="bell",
             gain=0.3)
    # 121..126: the world is saved
    s.crash(121, 0.75)
    s.chords(121, 126, ["C", "G", "F"], pad=0.28, bass="octave", bass_gain=0.5,
             arp="up16", arp_gain=0.07)
    s.drums(121, 126, kick=FOUR, snare=BACK, hat=ALL16, ohat=OFF8, gain=1.0)
    s.melody(121, "C5:1 E5:1 G5:2 C6:4 B5:1 A5:1 G5:2 D5:4 F5:1 A5:1 C6:2",
             instr="lead", gain=0.3, bright=14.0)
    # 126..131: greetings
    s.crash(126, 0.5)
    s.chords(126, 131, ["Am", "F", "G"], pad=0.26, bass="rolling",
             bass_gain=0.55, arp="updown16", arp_gain=0.07)
    s.drums(126, 131, kick=FOUR, clap=BACK, hat=ALL16, ohat=OFF8, gain=1.0)
    s.melody(126, "A4:2 C5:1 E5:1 A5:2 G5:1 E5:1 F5:2 E5:1 C5:1 A4:3 C5:1 "
             "D5:2 B4:2", instr="lead", gain=0.28, bright=12.0)
    # 131..136: the seagulls: chirping bells
    s.chords(131, 136, ["F", "G", "C"], pad=0.26, bass="octave", bass_gain=0.5)
    s.drums(131, 136, kick=FOUR, snare=BACK, hat=OFF8, gain=0.95)
    for i in range(9):
        t = 131.25 + i * 0.5 + (0.125 if i % 3 == 2 else 0)
        s.melody(t, "E6:0.5 G6:0.5 C7:0.5", instr="bell", gain=0.16,
                 pan=0.6 if i % 2 else -0.6)
    s.melody(131, "C5:2 F5:2 A5:2 G5:2 D5:2 G5:2 B5:2 A5:2 G5:2 E5:2",
             instr="pluck", gain=0.38, shape="square", bright=12.0, decay=5.0)
    # 136..141: the setup screen: chip arpeggios
    s.chords(136, 141, ["Am", "F", "G"], pad=0.0, bass="eighths",
             bass_gain=0.5, arp="up16", arp_gain=0.16, arp_octave=24,
             bass_bright=1.8)
    s.drums(136, 141, kick=FOUR, clap=BACK, hat=OFF8, gain=1.0)
    s.melody(136, "A5:1 A5:1 E5:1 A5:1 C6:2 B5:2 A5:1 A5:1 F5:1 A5:1 C6:2 "
             "D6:2 B5:2 G5:2", instr="pluck", gain=0.32, shape="square",
             bright=30.0, decay=4.0)
    # 141..146: credits: a breakdown without the kick
    s.chords(141, 146, ["C", "G", "Am"], pad=0.34, bass="quarters",
             bass_gain=0.45, arp="up8", arp_gain=0.09)
    s.drums(141, 146, hat=OFF8, clap="............x...", gain=0.8)
    s.melody(141, "E5:2 G5:2 C6:4 D6:2 B5:2 G5:4 A5:4", instr="bell",
             gain=0.3)
    # 146..151: the fish: the groove back, with bubbles
    s.crash(146, 0.55)
    s.chords(146, 151, ["F", "G", "C"], pad=0.26, bass="rolling",
             bass_gain=0.55, arp="updown16", arp_gain=0.07)
    s.drums(146, 151, kick=FOUR, clap=BACK, hat=ALL16, ohat=OFF8, gain=1.0)
    for i in range(12):
        t = 146.2 + i * 0.4 + float(s.rng.uniform(0, 0.1))
        up = [0.0, 0.08]
        s.mx.add(t, sy.slide_whistle(up, [N("C6") - 10 * (i % 3), N("C7")]),
                 0.25, float(s.rng.uniform(-0.7, 0.7)), rev=0.25)
    s.melody(146, "F5:2 A5:1 C6:1 A5:2 F5:2 G5:2 B5:1 D6:1 B5:2 G5:2 C6:2",
             instr="lead", gain=0.28, bright=12.0)
    # 151..159: "Oar Gala" by pelmatox: the ending
    s.crash(151, 0.6)
    s.chords(151, 155, ["F", "G"], pad=0.32, bass="octave", bass_gain=0.5,
             arp="up16", arp_gain=0.07)
    s.drums(151, 155, kick=FOUR, snare=BACK, hat=OFF8, gain=0.95)
    s.melody(151, "A5:2 C6:2 F6:4 G6:2 F6:1 E6:1 D6:4", instr="lead",
             gain=0.28, bright=12.0)
    s.crash(155, 0.7)
    s.mx.kick(155, 0.9)
    s.chords(155, 158.8, ["C"], bar_len=3.8, pad=0.4, bass="long",
             bass_gain=0.5)
    s.mx.add(155, sy.brass([N(m) for m in ("C4", "E4", "G4", "C5")], 2.5), 0.4,
             0.0, rev=0.5)
    s.melody(155, "C6:2 G5:2 E5:2 C5:6", instr="bell", gain=0.3)


SECTIONS = [sec_loading, sec_titles, sec_world, sec_attack, sec_crisis,
            sec_slideshow, sec_knife, sec_fallen, sec_logo, sec_cube,
            sec_ending]


def render():
    """The whole soundtrack as float stereo (2, n) at 44.1 kHz."""
    s = Song()
    for section in SECTIONS:
        section(s)
    return s.mx.render(fade_out=(156.8, 158.8), peak=0.78)


def write_wav(path, mix):
    pcm = np.clip(np.round(mix.T * 32767), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(sy.SR)
        w.writeframes(pcm.tobytes())


LAME = ["lame", "--quiet", "--noreplaygain", "-b", "160", "-q", "2",
        "--tt", "Oar Gala", "--ta", "pelmatox", "--tl", "Oar Gala"]


def make(path, wav_path=None):
    mix = render()
    with tempfile.TemporaryDirectory() as tmp:
        wav = wav_path or os.path.join(tmp, "lall.wav")
        write_wav(wav, mix)
        subprocess.run(LAME + [wav, path], check=True)
