"""synth.py: a small tracker-style synthesizer in numpy.

Instruments are functions that return a mono note as a float array; the
Mixer places notes on a stereo timeline with pan and effect sends, then
adds a convolution reverb, a ping-pong delay and kick-driven ducking, and
masters the result. Oscillators read band-limited wavetables built by
additive synthesis, so high notes do not alias. All noise comes from one
seeded generator, drawn in a fixed order: the output is deterministic.
Depends on numpy only.
"""
import math

import numpy as np

SR = 44100
TABLE = 4096
_rng = np.random.default_rng(1234)
_tables = {}


def midi_hz(m):
    return 440.0 * 2.0 ** ((m - 69) / 12.0)


NOTE_NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def note(name):
    """'A4', 'C#5', 'Bb3' -> MIDI number."""
    n = NOTE_NAMES[name[0]]
    i = 1
    while i < len(name) and name[i] in "#b":
        n += 1 if name[i] == "#" else -1
        i += 1
    return n + 12 * (int(name[i:]) + 1)


def noise(n):
    return _rng.standard_normal(n)


# -- wavetables and oscillators ---------------------------------------------

def table(shape, nharm, cutoff):
    """One cycle of a band-limited wave: 'saw', 'square', 'tri', 'sine',
    with harmonics rolled off above harmonic number cutoff."""
    key = (shape, nharm, round(cutoff, 2))
    if key in _tables:
        return _tables[key]
    ph = np.arange(TABLE) / TABLE * 2 * np.pi
    out = np.zeros(TABLE)
    for k in range(1, max(1, nharm) + 1):
        if shape == "saw":
            a = 1.0 / k
        elif shape == "square":
            a = 1.0 / k if k % 2 else 0.0
        elif shape == "tri":
            a = ((-1) ** ((k - 1) // 2)) / (k * k) if k % 2 else 0.0
        else:
            a = 1.0 if k == 1 else 0.0
        if a == 0.0:
            continue
        a /= math.sqrt(1 + (k / cutoff) ** 4)
        out += a * np.sin(k * ph)
    peak = np.max(np.abs(out)) or 1.0
    out /= peak
    _tables[key] = out
    return out


def phase_of(freq, n):
    """Running phase in cycles for a constant or per-sample frequency."""
    if np.isscalar(freq):
        return np.arange(n) * (freq / SR)
    return np.cumsum(freq) / SR


def lookup(tab, ph):
    x = (ph % 1.0) * TABLE
    i0 = x.astype(np.int64)
    frac = x - i0
    return tab[i0 % TABLE] * (1 - frac) + tab[(i0 + 1) % TABLE] * frac


def osc(shape, freq, n, cutoff=64.0, base_hz=None):
    """Band-limited oscillator; freq constant or an array of n values."""
    f0 = base_hz if base_hz is not None else (
        freq if np.isscalar(freq) else float(np.max(freq)))
    nharm = max(1, min(200, int(18000.0 / max(f0, 1.0))))
    return lookup(table(shape, nharm, cutoff), phase_of(freq, n))


def adsr(n, a, d, s, r, gate):
    """Envelope of n samples: attack a, decay d to level s, held until gate
    (seconds), then a release r."""
    t = np.arange(n) / SR
    e = np.where(t < a, t / max(a, 1e-6),
                 s + (1 - s) * np.exp(-(t - a) / max(d, 1e-6)))
    if gate is not None:
        at_gate = float(np.interp(gate, t, e)) if n else 0.0
        rel = at_gate * np.exp(-(t - gate) / max(r, 1e-6))
        e = np.where(t < gate, e, rel)
    return e


def band(x, lo, hi, order=2):
    """Smooth band-pass by FFT (for short noise bursts)."""
    n = len(x)
    X = np.fft.rfft(x)
    f = np.fft.rfftfreq(n, 1.0 / SR)
    g = np.ones_like(f)
    if lo:
        g *= 1.0 / np.sqrt(1 + (lo / np.maximum(f, 1e-3)) ** (2 * order))
    if hi:
        g *= 1.0 / np.sqrt(1 + (f / hi) ** (2 * order))
    return np.fft.irfft(X * g, n)


def fade_edges(x, fin=0.002, fout=0.01):
    n = len(x)
    a, b = min(n, int(fin * SR)), min(n, int(fout * SR))
    if a:
        x[:a] *= np.linspace(0, 1, a)
    if b:
        x[n - b:] *= np.linspace(1, 0, b)
    return x


# -- drums --------------------------------------------------------------------

_drum_cache = {}


def _cached(key, make):
    if key not in _drum_cache:
        _drum_cache[key] = make()
    return _drum_cache[key]


def kick(v=0):
    def make():
        n = int(0.42 * SR)
        t = np.arange(n) / SR
        f = 42 + 120 * np.exp(-t * 28)
        body = np.sin(2 * np.pi * np.cumsum(f) / SR) * np.exp(-t * 7.5)
        click = band(noise(n), 1500, 6000) * np.exp(-t * 300) * 0.6
        return fade_edges(np.tanh((body + click) * 1.6), 0.0005, 0.02)
    return _cached(("kick", v), make)


def snare(v=0):
    def make():
        n = int(0.3 * SR)
        t = np.arange(n) / SR
        tone = np.sin(2 * np.pi * 185 * t) * np.exp(-t * 30) * 0.6
        nz = band(noise(n), 900, 9000) * np.exp(-t * 16)
        return fade_edges((tone + nz * 0.45) * 1.2, 0.0005)
    return _cached(("snare", v), make)


def clap(v=0):
    def make():
        n = int(0.3 * SR)
        t = np.arange(n) / SR
        env = np.zeros(n)
        for k, off in enumerate((0.0, 0.011, 0.022)):
            tt = t - off
            env += np.where(tt >= 0, np.exp(-np.maximum(tt, 0) * (120 if k < 2 else 14)), 0)
        return fade_edges(band(noise(n), 1000, 5000) * env * 0.35, 0.0005)
    return _cached(("clap", v), make)


def hat(v=0, open_=False):
    def make():
        n = int((0.45 if open_ else 0.07) * SR)
        t = np.arange(n) / SR
        x = band(noise(n), 7000, 16000, 3) * np.exp(-t * (9 if open_ else 70))
        return fade_edges(x * 0.45)
    return _cached(("hat", v, open_), make)


def crash(v=0):
    def make():
        n = int(2.2 * SR)
        t = np.arange(n) / SR
        x = band(noise(n), 3500, 15000) * np.exp(-t * 2.2)
        return fade_edges(x * 0.35, 0.001, 0.1)
    return _cached(("crash", v), make)


def tom(m):
    def make():
        n = int(0.5 * SR)
        t = np.arange(n) / SR
        f0 = midi_hz(m)
        f = f0 * (1 + 0.6 * np.exp(-t * 20))
        x = np.sin(2 * np.pi * np.cumsum(f) / SR) * np.exp(-t * 6)
        return fade_edges(x * 0.9)
    return _cached(("tom", m), make)


def boom():
    """A deep cinematic hit for scene changes."""
    def make():
        n = int(3.0 * SR)
        t = np.arange(n) / SR
        f = 30 + 60 * np.exp(-t * 6)
        body = np.sin(2 * np.pi * np.cumsum(f) / SR) * np.exp(-t * 1.6)
        nz = band(noise(n), 60, 900) * np.exp(-t * 4) * 0.5
        return fade_edges(np.tanh((body + nz) * 1.3), 0.001, 0.2)
    return _cached(("boom",), make)


def tick():
    def make():
        n = int(0.05 * SR)
        t = np.arange(n) / SR
        return fade_edges(np.sin(2 * np.pi * 2400 * t) * np.exp(-t * 120) * 0.5)
    return _cached(("tick",), make)


def riser(dur, lo=400, hi=9000):
    """Noise swelling and brightening over dur seconds."""
    n = int(dur * SR)
    t = np.arange(n) / SR / dur
    x = noise(n)
    # brighten by mixing bands of rising centre
    out = np.zeros(n)
    edges = np.geomspace(lo, hi, 7)
    for i in range(6):
        b = band(x, edges[i], edges[i + 1])
        w = np.clip(t * 6 - i, 0, 1)
        out += b * w
    return fade_edges(out * t ** 2 * 0.8, 0.01, 0.01)


def shing():
    """A bright metallic scrape for the knife."""
    n = int(0.35 * SR)
    t = np.arange(n) / SR
    x = band(noise(n), 5000, 14000) * np.exp(-t * 14) * 0.5
    for f in (3520, 5274, 7040):
        x += np.sin(2 * np.pi * f * t) * np.exp(-t * 10) * 0.12
    return fade_edges(x, 0.0005)


# -- pitched instruments -------------------------------------------------------

def bass(m, dur, bright=1.0):
    n = int((dur + 0.12) * SR)
    t = np.arange(n) / SR
    f = midi_hz(m)
    dark = osc("saw", f, n, cutoff=2.0)
    lit = osc("saw", f, n, cutoff=6.0 + 14.0 * bright)
    fe = np.exp(-t * 14)
    x = lit * fe + dark * (1 - fe)
    x += np.sin(2 * np.pi * f * t) * 0.4
    return fade_edges(x * adsr(n, 0.003, 0.25, 0.7, 0.025, dur) * 0.5, 0.0, 0.02)


def lead(m, dur, shape="saw", bright=12.0, vib=0.25, glide_from=None):
    n = int((dur + 0.5) * SR)
    t = np.arange(n) / SR
    f0 = midi_hz(m)
    depth = 0.006 * np.clip((t - vib) / 0.3, 0, 1)
    f = f0 * (1 + depth * np.sin(2 * np.pi * 5.5 * t))
    if glide_from is not None:
        g = midi_hz(glide_from)
        f = f * (1 - np.exp(-t * 40)) + g * np.exp(-t * 40) * (f / f0)
    x = osc(shape, f, n, cutoff=bright, base_hz=f0 * 1.01)
    x += osc(shape, f * 1.004, n, cutoff=bright, base_hz=f0 * 1.02) * 0.6
    return fade_edges(x * adsr(n, 0.008, 0.3, 0.75, 0.1, dur) * 0.3, 0.0, 0.03)


def pluck(m, dur, shape="square", bright=10.0, decay=9.0):
    n = int((dur + 0.15) * SR)
    t = np.arange(n) / SR
    f = midi_hz(m)
    lit = osc(shape, f, n, cutoff=bright)
    dark = osc(shape, f, n, cutoff=2.5)
    fe = np.exp(-t * decay * 1.5)
    x = lit * fe + dark * (1 - fe)
    return fade_edges(x * np.exp(-t * decay) * adsr(n, 0.002, 1, 1, 0.03, dur)
                      * 0.3, 0.0, 0.02)


def bell(m, dur):
    n = int((dur + 1.2) * SR)
    t = np.arange(n) / SR
    f = midi_hz(m)
    mod = np.sin(2 * np.pi * f * 3.5 * t) * 2.2 * np.exp(-t * 3)
    x = np.sin(2 * np.pi * f * t + mod) * np.exp(-t * 2.2)
    x += np.sin(2 * np.pi * f * 2.0 * t) * np.exp(-t * 4) * 0.25
    return fade_edges(x * 0.25, 0.001, 0.05)


def pad(ms, dur, bright=4.0, attack=0.4, release=0.8, shape="saw",
        detune=(-0.006, 0.0, 0.0065)):
    """A chord of detuned saws with a slow envelope."""
    n = int((dur + release * 4) * SR)
    x = np.zeros(n)
    for m in ms:
        f = midi_hz(m)
        for det in detune:
            x += osc(shape, f * (1 + det), n, cutoff=bright)
    x /= max(1, len(ms)) * 1.1 * len(detune)
    return fade_edges(x * adsr(n, attack, 1.0, 1.0, release, dur) * 0.5, 0.0,
                      0.05)


def brass(ms, dur):
    """A short bright chord stab."""
    n = int((dur + 0.3) * SR)
    t = np.arange(n) / SR
    x = np.zeros(n)
    for m in ms:
        f = midi_hz(m)
        x += osc("saw", f, n, cutoff=16) * (0.4 + 0.6 * np.exp(-t * 4))
    return fade_edges(x / max(1, len(ms)) * adsr(n, 0.01, 0.3, 0.6, 0.05, dur)
                      * 0.45, 0.0, 0.02)


def siren(dur, lo=660, hi=1320, rate=2.0):
    n = int(dur * SR)
    t = np.arange(n) / SR
    f = lo + (hi - lo) * (0.5 - 0.5 * np.cos(2 * np.pi * rate * t))
    x = osc("square", f, n, cutoff=8.0, base_hz=hi)
    return fade_edges(x * 0.12, 0.02, 0.05)


def slide_whistle(times, pitches):
    """A sine gliding through (time, MIDI pitch) points."""
    dur = times[-1] - times[0]
    n = int(dur * SR)
    t = times[0] + np.arange(n) / SR
    m = np.interp(t, times, pitches)
    f = 440.0 * 2 ** ((m - 69) / 12.0)
    x = np.sin(2 * np.pi * np.cumsum(f) / SR)
    x += np.sin(4 * np.pi * np.cumsum(f) / SR) * 0.15
    return fade_edges(x * 0.18, 0.02, 0.05)


# -- mixer ------------------------------------------------------------------

class Mixer:
    """A stereo timeline: a dry bus, a bus ducked by the kick, and reverb
    and delay sends."""

    def __init__(self, seconds):
        self.n = int(seconds * SR)
        self.dry = np.zeros((2, self.n))
        self.ducked = np.zeros((2, self.n))
        self.rev = np.zeros((2, self.n))
        self.dly = np.zeros((2, self.n))
        self.kicks = []

    def add(self, t, x, gain=1.0, pan=0.0, rev=0.1, dly=0.0, duck=False,
            until=None):
        """Place mono x at t seconds; pan -1 (left) .. 1 (right). until cuts
        the note off (with a short fade) at that time."""
        i = int(round(t * SR))
        if i >= self.n or len(x) == 0:
            return
        if until is not None:
            stop = int(round(until * SR)) - i
            if stop <= 0:
                return
            if stop < len(x):
                x = fade_edges(x[:stop].copy(), 0.0, 0.01)
        j = min(self.n, i + len(x))
        x = x[: j - i] * gain
        lg = math.cos((pan + 1) * math.pi / 4) * math.sqrt(2)
        rg = math.sin((pan + 1) * math.pi / 4) * math.sqrt(2)
        bus = self.ducked if duck else self.dry
        bus[0, i:j] += x * lg
        bus[1, i:j] += x * rg
        if rev:
            self.rev[0, i:j] += x * lg * rev
            self.rev[1, i:j] += x * rg * rev
        if dly:
            self.dly[0, i:j] += x * lg * dly
            self.dly[1, i:j] += x * rg * dly

    def kick(self, t, gain=1.0):
        self.add(t, kick(), gain, 0.0, rev=0.03)
        self.kicks.append(t)

    # -- effects ------------------------------------------------------------
    def _reverb(self):
        ir_len = int(2.4 * SR)
        t = np.arange(ir_len) / SR
        out = np.zeros_like(self.rev)
        size = 1 << int(math.ceil(math.log2(self.n + ir_len)))
        for ch in range(2):
            ir = band(noise(ir_len), 150, 7000) * np.exp(-t * 2.6)
            ir[: int(0.012 * SR)] = 0.0              # pre-delay
            ir /= np.sqrt(np.sum(ir ** 2))
            X = np.fft.rfft(self.rev[ch], size)
            H = np.fft.rfft(ir, size)
            out[ch] = np.fft.irfft(X * H, size)[: self.n]
        return out * 0.9

    def _delay(self, seconds=0.375, feedback=0.45, taps=8):
        d = int(seconds * SR)
        out = np.zeros_like(self.dly)
        src = self.dly.mean(axis=0)
        g = 1.0
        for k in range(1, taps + 1):
            g *= feedback
            ch = k % 2
            if k * d < self.n:
                out[ch, k * d:] += src[: self.n - k * d] * g
        return out

    def _duck_env(self):
        env = np.ones(self.n)
        span = int(0.3 * SR)
        shape = 1 - 0.6 * np.exp(-np.arange(span) / SR * 12)
        for t in self.kicks:
            i = int(round(t * SR))
            j = min(self.n, i + span)
            if i < self.n:
                env[i:j] = np.minimum(env[i:j], shape[: j - i])
        return env

    def _tilt(self, mix):
        """Master EQ by FFT: cut rumble below 25 Hz, lows 3 dB down below
        about 100 Hz, highs 3 dB up above about 2 kHz."""
        size = 1 << int(math.ceil(math.log2(self.n)))
        f = np.fft.rfftfreq(size, 1.0 / SR)
        fs = np.maximum(f, 1e-3)
        db = -3.0 / (1 + (fs / 100.0) ** 2) + 3.0 / (1 + (2000.0 / fs) ** 2)
        g = 10 ** (db / 20) / np.sqrt(1 + (25.0 / fs) ** 8)
        out = np.empty_like(mix)
        for ch in range(2):
            out[ch] = np.fft.irfft(np.fft.rfft(mix[ch], size) * g, size)[: self.n]
        return out

    def render(self, fade_out=None, peak=0.84):
        """The mastered stereo mix as float in -1..1."""
        mix = self.dry + self.ducked * self._duck_env()
        mix += self._reverb() + self._delay()
        mix = self._tilt(mix)
        # a soft limiter: loud peaks are rounded off rather than clipped
        level = np.percentile(np.abs(mix), 99.9)
        if level > 0:
            mix = np.tanh(mix * (0.85 / level))
        if fade_out is not None:
            a, b = fade_out
            t = np.arange(self.n) / SR
            g = np.clip((b - t) / (b - a), 0, 1) ** 1.5
            mix *= g
        m = np.max(np.abs(mix))
        if m > 0:
            mix *= peak / m
        return mix
