#!/usr/bin/python3
"""The front panel's sweep keeps its level: `vellox --play --sweep lin` on SDL's disk driver
(the program's own output path, its stream into a file), in both syntheses and in every mode
where F1 sweeps beside F2 or alone. F1 steps 10 Hz every 10 ms from 1000 Hz, through the
frequencies that share the rate's factors with F2's 100 Hz (1100, 1200, ...), where a new
loop started to continue F2 exactly would have left F1 half a cycle off.

F1's own tone is measured: the left channel in "F1 Left<->F1 Right" and "Stereo: F1-L,
F2-R"; in "F1+ F2" the left less the right (F2 as the left adds it); in AM the left over
(1 + right / 20000), the carrier. No 1 ms stretch may be more than 1 dB below the 20 ms
around it (a steady tone's 1 ms windows alone vary by about 0.5 dB, holding parts of cycles).

usage: sweep_level.py VELLOX
Exit 1 when a dip is deeper, 77 when numpy is missing.
"""

import os
import subprocess
import sys
import tempfile

try:
    import numpy
except ImportError as e:
    print(f"SKIP: {e} (Debian package python3-numpy)")
    sys.exit(77)

RATE = 98000
LIMIT_DB = -1.0


def f1_tone(frames, mode):
    left, right = frames[:, 0], frames[:, 1]
    if mode == 2:
        return left - right
    if mode == 3:
        return left / (1 + right / 20000)
    return left


def deepest_dip(x):
    ms = RATE // 1000
    n = len(x) // ms
    rms = numpy.sqrt(numpy.mean(x[:n * ms].reshape(n, ms) ** 2, axis=1))
    worst, at = 0.0, 0
    for i in range(10, n - 10):
        around = numpy.sqrt(numpy.mean(rms[i - 10:i + 10] ** 2))
        dip = 20 * numpy.log10(max(rms[i], 1e-9) / around)
        if dip < worst:
            worst, at = dip, i
    return worst, at


def main():
    vellox = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for synthesis in ("exact", "precise"):
            for mode in (1, 2, 3, 6):
                stream = os.path.join(work, f"{synthesis}-{mode}.raw")
                env = dict(os.environ, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=stream,
                           QT_QPA_PLATFORM="offscreen", HOME=work, XDG_CONFIG_HOME=work)
                subprocess.run([vellox, "--play", "--seconds", "1.4", "--sweep", "lin",
                                "--mode", str(mode), "--synthesis", synthesis, "--f1", "1000"],
                               env=env, check=True, timeout=60)
                frames = numpy.fromfile(stream, dtype="<i2").reshape(-1, 2).astype(float)
                # From 0.3 s (the start's fade and the first steps) for a second: 100 steps.
                tone = f1_tone(frames[int(0.3 * RATE):int(1.3 * RATE)], mode)
                if len(tone) < RATE // 2:
                    failures.append(f"{synthesis} mode {mode}: the device got {len(frames)} frames")
                    continue
                worst, at = deepest_dip(tone)
                print(f"{synthesis} mode {mode}: deepest 1 ms dip {worst:.2f} dB "
                      f"at {300 + at} ms")
                if worst < LIMIT_DB:
                    failures.append(f"{synthesis} mode {mode}: a dip of {worst:.2f} dB")
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
