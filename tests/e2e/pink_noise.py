#!/usr/bin/python3
"""Pink noise as `vellox --render` writes it (the precise synthesis's stream): equal power
per octave within 0.5 dB from 20 Hz to 20 kHz, its rms the level asked in dBFS, and never a
loop: the signal is uncorrelated with itself one second later (a looped second of noise
would correlate fully, and is heard as a beat every second).

usage: pink_noise.py VELLOX
Exit 1 when a figure is off, 77 when numpy is missing.
"""

import os
import subprocess
import sys
import tempfile
import wave

try:
    import numpy
except ImportError as e:
    print(f"SKIP: {e} (Debian package python3-numpy)")
    sys.exit(77)

# The noise is new each run: the lowest octave's power, read from 40 s, varies by about
# 0.15 dB from run to run (fresh32 read a spread of 0.535 dB once), from 160 s by half that.
# Both rates render 160 s.
SECONDS = 40
LEVEL_DBFS = -20.0


def left_channel(path):
    with wave.open(path, "rb") as w:
        rate = w.getframerate()
        raw = numpy.frombuffer(w.readframes(w.getnframes()), dtype=numpy.uint8).reshape(-1, 3)
    v = raw[:, 0].astype(numpy.int32) | (raw[:, 1].astype(numpy.int32) << 8) \
        | (raw[:, 2].astype(numpy.int32) << 16)
    v = numpy.where(v >= 1 << 23, v - (1 << 24), v)
    return (v.astype(float) / (1 << 23))[0::2], rate


def octave_powers(x, rate):
    """Power per octave, 20 Hz .. 20 kHz, in dB: Welch's mean of 2 s Hann segments."""
    seg = 2 * rate
    window = numpy.hanning(seg)
    psd = 0
    count = 0
    for a in range(0, len(x) - seg + 1, seg // 2):
        psd = psd + numpy.abs(numpy.fft.rfft(x[a:a + seg] * window)) ** 2
        count += 1
    f = numpy.fft.rfftfreq(seg, 1 / rate)
    bands = []
    for k in range(10):
        lo = 20 * 2 ** k
        hi = min(2 * lo, 20000)
        inside = (f >= lo) & (f < hi)
        bands.append(10 * numpy.log10(numpy.sum(psd[inside]) / count / numpy.log2(hi / lo)))
    return numpy.array(bands)


def main():
    vellox = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for rate, seconds in ((44100, 4 * SECONDS), (192000, 4 * SECONDS)):
            path = os.path.join(work, f"pink-{rate}.wav")
            subprocess.run([vellox, "--render", path, "--seconds", str(seconds), "--synthesis",
                            "precise", "--rate", str(rate), "--sample-format", "s24",
                            "--waveform", "pink", "--level1-dbfs", str(LEVEL_DBFS), "--mode", "6",
                            "--level2-dbfs", "-120"], check=True, timeout=120)
            x, got_rate = left_channel(path)
            bands = octave_powers(x, got_rate)
            spread = bands.max() - bands.min()
            level = 20 * numpy.log10(numpy.sqrt(numpy.mean(x ** 2)) * numpy.sqrt(2))
            later = numpy.corrcoef(x[:-got_rate], x[got_rate:])[0, 1]
            print(f"{rate} Hz: octaves 20 Hz..20 kHz within {spread:.3f} dB "
                  f"({numpy.round(bands - bands.mean(), 2)}), rms {level:.3f} dBFS, "
                  f"correlation one second later {later:+.4f}")
            if spread > 0.5:
                failures.append(f"{rate} Hz: the octaves differ by {spread:.3f} dB")
            if abs(level - LEVEL_DBFS) > 0.25:
                failures.append(f"{rate} Hz: rms {level:.3f} dBFS for {LEVEL_DBFS}")
            if abs(later) > 0.05:
                failures.append(f"{rate} Hz: correlated {later:+.4f} with itself a second later")
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
