#!/usr/bin/python3
"""An independent reading of the precise synthesis, in 30-digit arithmetic.

The precise synthesis computes the formulas in double with the phase taken from the frame
index: F1's phase at frame k is 2*pi*((F1*k) mod R)/R, and so for F2. Here the same
formulas are read with exact fractions for every phase, period and ramp and mpmath's sine
at 30 digits, and compared with `synth-dump --synthesis precise --values` (the values before
their rounding) over a grid of noise-free settings, every waveform in every mode. A value
passes within TOLERANCE of a 16-bit step; double's own error is about 1e-11 there.

"PWM" in FM is left out: its period is a running sum of the F2 sine rounded to whole indices
at every frame, and two correct readings can land on either side of a half.

usage: precise_reference.py SYNTH_DUMP [--all]
"""
import functools
import struct
import subprocess
import sys
from fractions import Fraction

import mpmath

mpmath.mp.dps = 30
TOLERANCE = 1e-9
K = 20000


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def mp(fraction):
    return mpmath.mpf(fraction.numerator) / fraction.denominator


def sign(x):
    return (x > 0) - (x < 0)


@functools.lru_cache(maxsize=None)
def turn(j, rate):
    """The phase 2*pi*j/rate and its sine, which every case at the same rate shares. The sine
    of an exact fraction of a turn is 0 exactly at the half turns."""
    theta = 2 * mpmath.pi * mpmath.mpf(j) / rate
    return theta, mpmath.mpf(0) if (2 * j) % rate == 0 else mpmath.sin(theta)


def synthesize(rate, f1, f2, waveform, mode, L1, L2, duty, bitcode, bitlength, stride):
    """{frame: (left, right)} for every stride-th frame."""
    L1 = mpmath.mpf(L1)
    L2 = mpmath.mpf(L2)
    period = Fraction(2 * rate, f1)  # F1Period, exact
    P = round(period)  # halves to even
    bit_frames = round(Fraction(f32(bitlength)) * rate + Fraction(2, 10))
    out = {}
    for k in range(0, rate, stride):
        i = 2 * k
        j1 = (f1 * k) % rate
        j2 = (f2 * k) % rate
        theta1, s1 = turn(j1, rate)
        theta2, s2 = turn(j2, rate)
        w = waveform
        left = mpmath.mpf(0)
        fm_carrier = None
        if mode == 5 and w in (0, 1, 2, 3, 5, 7, 10):
            if w == 1:
                phase = theta1 + L2 * s2 ** 7
            elif w == 10:
                phase = -theta1 + L2 * s2  # PhaseStep1*F1Period is a whole turn
            else:
                phase = theta1 + L2 * s2
            fm_carrier = mpmath.sin(phase)
        if w in (0, 1, 2, 3, 5):
            if w == 0:
                c = s1
            elif w == 1:
                c = s1 ** 7
            elif w == 2:
                c = sign(s1)
            elif w == 3:
                c = min(mpmath.mpf(1), max(mpmath.mpf(-1), 3 * s1))
            else:
                x = Fraction(j1, rate) - Fraction(1, 4)
                c = mp(4 * abs(x - round(x)) - 1)
            if mode in (1, 6):
                left = K * L1 * c
            elif mode == 2:
                left = K * (L1 * c + L2 * s2)
            elif mode == 3:
                left = K * L1 * c * (1 + L2 * s2)
            elif mode == 4:
                left = K * L1 * c * L2 * s2
            elif w == 2:
                left = mpmath.mpf(K * sign(L1 * fm_carrier))
            else:
                left = K * L1 * fm_carrier
        elif w == 4:
            left = mpmath.mpf(1)
        elif w == 6:
            m = i % P
            sigma = -1 if period * duty / 100 > m else 1
            left = {1: K * L1, 6: K * L1, 2: K * (L1 + L2 * s2), 3: K * L1 * (1 + L2 * s2),
                    4: K * L1 * L2 * s2}[mode] * sigma
        elif w in (7, 10):
            m = i % P
            slope = mp(Fraction(40000 * m) / period)
            ratio = mp(Fraction(m) / period)
            down = w == 7
            if mode in (1, 6):
                left = L1 * ((20000 - slope) if down else (slope - 20000))
            elif mode == 2:
                left = L1 * ((20000 - slope) if down else (slope - 20000)) + K * L2 * s2
            elif mode == 3:
                left = (20000 - L1 * slope * (1 + L2 * s2)) if down else (
                    -20000 + L1 * slope * (1 + L2 * s2))
            elif mode == 4:
                left = -40000 * L1 * L2 * s2 * ratio * (1 if down else -1)
            else:
                left = K * L1 * fm_carrier
        elif w in (8, 9):
            bit = k // bit_frames
            if bit < len(bitcode):
                ch = bitcode[bit]
                v = int(ch) if ch in "0123456789" else 0
                if w == 8:
                    left = (20000 - 40000 * v) * L1
                else:
                    left = K * L1 * s1 if v == 0 else K * L2 * s2
        right = K * L1 * s1 if mode == 1 else K * L2 * s2
        out[k] = (left, right)
    return out


def level(step):
    return f32(10.0 ** ((-3 * step) / 20.0))


def grid(everything):
    """Each waveform and mode of the base settings and of each extreme setting at one rate,
    turning through the rates, so that every formula meets every rate over the three
    settings; every case at every rate with --all."""
    rates = [44100, 48000, 96000]
    base = dict(f1=1001, f2=97, l1=2, l2=0, duty=50, code="10011101010001101010111000101011",
                bitlength=f32(0.001))
    extra = [dict(f1=20, f2=20000, l1=0, l2=15, duty=1),
             dict(f1=19999, f2=21, l1=1, l2=1, duty=99, code="1021 x0\n9", bitlength=f32(20e-6))]
    cases = []
    item = 0
    for settings in [base] + extra:
        for w in range(11):
            for mode in range(1, 7):
                if w == 6 and mode == 5:
                    continue
                for r, rate in enumerate(rates):
                    if everything or item % len(rates) == r:
                        cases.append(dict(base, **settings, rate=rate, waveform=w, mode=mode))
                item += 1
    return cases


def main():
    dump = sys.argv[1]
    stride = 29
    failures = 0
    cases = grid("--all" in sys.argv)
    for c in cases:
        args = [dump, "--synthesis", "precise", "--values", "--rate", str(c["rate"]),
                "--f1", str(c["f1"]), "--f2", str(c["f2"]), "--waveform", str(c["waveform"]),
                "--mode", str(c["mode"]), "--level1-step", str(c["l1"]),
                "--level2-step", str(c["l2"]), "--duty", str(c["duty"]),
                "--bitcode", c["code"], "--bitlength", repr(c["bitlength"]), "--out", "-"]
        raw = subprocess.run(args, check=True, stdout=subprocess.PIPE).stdout
        got = struct.unpack("<%dd" % (len(raw) // 8), raw)
        if len(got) != 2 * c["rate"]:
            print("MISMATCH size", len(got), c)
            failures += 1
            continue
        want = synthesize(c["rate"], c["f1"], c["f2"], c["waveform"], c["mode"], level(c["l1"]),
                          level(c["l2"]), c["duty"], c["code"], c["bitlength"], stride)
        bad = None
        for k, (left, right) in want.items():
            for side, value in ((0, left), (1, right)):
                if abs(mpmath.mpf(got[2 * k + side]) - value) > TOLERANCE:
                    bad = (k, side, got[2 * k + side], float(value))
                    break
            if bad:
                break
        if bad:
            failures += 1
            print("MISMATCH at frame %d side %d: got %r want %r" % bad, c)
    print("%d passed, %d failed" % (len(cases) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
