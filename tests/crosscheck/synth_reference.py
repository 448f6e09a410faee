#!/usr/bin/env python3
"""A second, independent reading of the synthesis formulas, in plain Python.

Python's float is an IEEE double and math.sin/math.pow call the same C library as the
engine, so for noise-free settings the two must agree to the last bit. The script runs
synth-dump over a grid of settings and compares every value of the dumped buffer.

usage: synth_reference.py SYNTH_DUMP [--all]
"""
import array
import functools
import math
import struct
import subprocess
import sys


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def int32(x):
    # round() on a float rounds halves to even, as every conversion here must.
    r = round(x)
    assert -2**31 <= r < 2**31, x
    return r


def clip(v):
    return 32767 if v >= 32767 else (-32767 if v <= -32767 else v)


def sign(x):
    return (x > 0) - (x < 0)


K = 20000.0
PI = f32(4.0 * math.atan(1.0))


@functools.lru_cache(maxsize=4)
def sines(step, rate):
    """sin(step * i) at every even index i of one second: the cases of a grid that share a
    frequency and a rate share these."""
    return [math.sin(step * i) for i in range(0, 2 * rate - 1, 2)]


@functools.lru_cache(maxsize=8)
def right_channel(step, level, rate):
    """The right channel, the same for every waveform: one tone at its level. Its values stay
    within 20000, so they need no range check."""
    return [clip(round(s * 20000 * level)) for s in sines(step, rate)]


def synthesize(rate, f1, f2, waveform, mode, level1, level2, duty, bitcode, bitlength):
    ps1 = f32(float(f32(f1)) * PI / rate)
    ps2 = f32(float(f32(f2)) * PI / rate)
    period = f32((2.0 * rate) / f1)
    out = [0] * (2 * rate + 1)
    n = len(bitcode)
    counter = 0
    N = 0.0  # no noise: the grid is noise-free
    L1, L2 = level1, level2
    # Each waveform's formula in each mode, read at the frame's values below when called.
    sine_left = {
        1: lambda: K * (N + L1 * s1),
        2: lambda: K * (N + L1 * s1 + L2 * s2),
        3: lambda: K * (L1 * s1 * (1 + L2 * s2) + N),
        4: lambda: K * (L1 * s1 * L2 * s2 + N),
        5: lambda: K * (N + L1 * math.sin(ps1 * i + L2 * s2)),
        6: lambda: K * (N + L1 * s1),
    }
    shape_left_f1_plus_f2 = {
        1: lambda: K * (L1 * c + L2 * s2 + N),
        2: lambda: K * (c * L1 + N + L2 * s2),
        3: lambda: K * (N + c * L1 + L2 * s2),
        5: lambda: K * (N + c * L1 + L2 * s2),
    }
    pwm_left = {
        1: lambda: sigma * K * (N + L1),
        6: lambda: sigma * K * (N + L1),
        2: lambda: sigma * K * (N + L1 + L2 * s2),
        3: lambda: sigma * K * (L1 * (1 + L2 * s2) + N),
        4: lambda: sigma * K * (N + L1 * L2 * s2),
        5: lambda: sigma * K * (N + L1),
    }
    c = sigma = 0
    fr = f32(ps1 / (PI + PI))
    all_s1 = sines(ps1, rate)
    all_s2 = sines(ps2, rate)
    for i in range(0, 2 * rate - 1, 2):  # one second: frames 0 .. rate - 1
        s1 = all_s1[i // 2]
        s2 = all_s2[i // 2]
        left = 0
        w = waveform
        if w == 0:
            left = int32(sine_left[mode]())
        elif w in (1, 2, 3, 5):
            if w == 1:
                c = math.pow(s1, 7.0)
            elif w == 2:
                c = sign(s1)
            elif w == 3:
                t = f32(3 * s1)
                c = 1.0 if t > 1 else (-1.0 if t < -1 else t)
            else:
                x = fr * i - 25 / 100
                r = float(round(x))
                c = f32(4 * abs(x - r) - 1)
            if mode in (1, 6):
                v = K * (L1 * c + N) if w == 1 else (
                    K * (c * L1 + N) if w == 2 else K * (N + c * L1))
            elif mode == 2:
                v = shape_left_f1_plus_f2[w]()
            elif mode == 3:
                v = K * (L1 * c * (1 + L2 * s2) + N) if w == 1 else K * (c * L1 * (1 + L2 * s2) + N)
            elif mode == 4:
                v = K * (L1 * c * L2 * s2 + N) if w == 1 else K * (c * L1 * L2 * s2 + N)
            else:
                if w == 1:
                    v = K * (N + L1 * math.sin(ps1 * i + L2 * math.pow(s2, 7.0)))
                elif w == 2:
                    v = 20000 * sign(L1 * math.sin(ps1 * i + L2 * s2) + N)
                else:
                    v = K * (N + L1 * math.sin(ps1 * i + L2 * s2))
            left = int32(v)
        elif w == 4:
            left = int32(0.0 * 20000 * 0.0 + 1)
        elif w == 6:
            if mode == 5:
                period = f32(period + L2 * s2)
            P = int32(period)
            m = i % P
            sigma = -1 if period * duty / 100 > m else 1
            v = pwm_left[mode]()
            left = int32(v)
        elif w in (7, 10):
            P = int32(period)
            m = i % P
            down = w == 7
            ramp = (20000 - (40000 * m) / period) if down else ((40000 * m) / period - 20000)
            if mode in (1, 6):
                v = L1 * ramp + K * N
            elif mode == 2:
                v = L1 * ramp + K * N + K * L2 * s2
            elif mode == 3:
                v = (20000 - L1 * ((40000 * m) / period) * (1 + L2 * s2) + K * N) if down else (
                    -20000 + L1 * ((40000 * m) / period) * (1 + L2 * s2) + K * N)
            elif mode == 4:
                v = (-40000 * (L1 * L2 * s2 * m / period + N)) if down else (
                    -40000 * (N - L1 * L2 * s2 * m / period))
            else:
                v = K * (N + L1 * math.sin(ps1 * i + L2 * s2)) if down else (
                    K * (N + L1 * math.sin(ps1 * (period - i) + L2 * s2)))
            left = int32(v)
        elif w in (8, 9):
            frames = int32(bitlength * (2 * rate) / 2 + 2 / 10)
            if i % (2 * frames) == 0:
                counter += 1
            if counter <= n:
                ch = bitcode[counter - 1]
                v = int(ch) if ch in "0123456789" else 0
                if w == 8:
                    left = int32(0.0 * 20000 * 0.0 + (20000 - 40000 * v) * L1)
                else:
                    left = int32(K * (N + L1 * s1)) if v == 0 else int32(K * (N + L2 * s2))
        out[i] = clip(left)
    out[1:2 * rate:2] = right_channel(ps1, L1, rate) if mode == 1 else right_channel(ps2, L2, rate)
    return out


def level(step):
    return f32(math.pow(10.0, (-3 * step) / 20.0))


def grid(everything):
    """Each waveform in each mode for the base settings and for each extreme setting, each at
    one rate, turning through the rates, so that every formula is read at every rate over the
    five settings (the C++ tables run every case, so this reading needs each formula and each
    rate, not each product of them); every case at every rate with --all."""
    rates = [44100, 98000, 192000]
    base = dict(f1=1000, f2=100, l1=2, l2=2, duty=50, code="10011101010001101010111000101011",
                bitlength=f32(0.001))
    extra = [
        dict(f1=20, f2=20000, l1=0, l2=15, duty=1),
        dict(f1=20000, f2=20, l1=15, l2=0, duty=100),
        dict(f1=3001, f2=777, l1=0, l2=0, duty=33, code="1021 x0\n9", bitlength=f32(20e-6)),
        dict(f1=19999, f2=21, l1=1, l2=1, duty=99, code="", bitlength=f32(1.0)),
    ]
    cases = []
    for k, e in enumerate([{}] + extra):
        for w in range(11):
            for mode in range(1, 7):
                for r, rate in enumerate(rates):
                    if everything or (w + mode + k) % len(rates) == r:
                        cases.append(dict(base, **e, rate=rate, waveform=w, mode=mode))
    return cases


def main():
    dump = sys.argv[1]
    failures = 0
    cases = grid("--all" in sys.argv)
    for c in cases:
        args = [dump, "--rate", str(c["rate"]), "--f1", str(c["f1"]), "--f2", str(c["f2"]),
                "--waveform", str(c["waveform"]), "--mode", str(c["mode"]),
                "--level1-step", str(c["l1"]), "--level2-step", str(c["l2"]),
                "--duty", str(c["duty"]), "--bitcode", c["code"],
                "--bitlength", repr(c["bitlength"]), "--out", "-"]
        raw = subprocess.run(args, check=True, stdout=subprocess.PIPE).stdout
        samples = array.array("h", raw)  # synth-dump writes little-endian
        if sys.byteorder != "little":
            samples.byteswap()
        got = samples.tolist()
        want = synthesize(c["rate"], c["f1"], c["f2"], c["waveform"], c["mode"], level(c["l1"]),
                          level(c["l2"]), c["duty"], c["code"], c["bitlength"])
        if got != want:
            failures += 1
            if len(got) != len(want):
                print("MISMATCH size", len(got), len(want), c)
            else:
                k = next(k for k in range(len(got)) if got[k] != want[k])
                print("MISMATCH at index", k, "got", got[k], "want", want[k], c)
    print("%d passed, %d failed" % (len(cases) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
