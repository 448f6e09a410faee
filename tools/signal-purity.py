#!/usr/bin/python3
"""The purity of a rendered tone: the largest spectral line other than the tone, in dBc.

Renders one second of a sine (mode "F1 Left<->F1 Right") with the program's own --render,
reads the left channel of the file, and takes its spectrum over exactly that second: the
loop is one second, so its DFT has 1 Hz bins and no window is needed (the second repeats
seamlessly, which is what a looped buffer plays). Every bin but the tone's counts, DC
included.

usage:
  signal-purity.py VELLOX --table [FILE]   the table of docs/signal-purity.md (Markdown)
  signal-purity.py VELLOX --check          a few rows against their bounds; exit 1 if one fails

Needs numpy (Debian's python3-numpy).
"""
import os
import struct
import subprocess
import sys
import tempfile

import numpy

RATES = [44100, 48000, 96000, 98000, 192000]
FREQUENCIES = [20, 100, 440, 1000, 1001, 3001, 7919, 10007, 15013, 19999, 20000]

# (label, flags, bound in dBc or None): the columns of the table.
COLUMNS = [
    ("exact, 16-bit", ["--synthesis", "exact"], None),
    ("precise, 16-bit", ["--synthesis", "precise"], -90.0),
    ("precise, 16-bit, TPDF", ["--synthesis", "precise", "--dither", "tpdf"], -110.0),
    ("precise, 24-bit", ["--synthesis", "precise", "--sample-format", "s24"], -130.0),
]

# The rows the test renders: the four tones and the hardest of the table.
CHECK_ROWS = [(44100, 1001), (44100, 15013), (98000, 19999), (192000, 10007), (48000, 20000)]


def read_wav_left(path):
    """The left channel of a 16-bit, 24-bit or float WAV file as floats on the 16-bit scale."""
    with open(path, "rb") as f:
        data = f.read()
    if data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(path + ": not a WAV file")
    pos = 12
    fmt = None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b"fmt ":
            code, channels, rate, _, _, bits = struct.unpack("<HHIIHH", body[:16])
            if code == 0xFFFE:  # WAVE_FORMAT_EXTENSIBLE: the sub-format's first two bytes
                code = struct.unpack("<H", body[24:26])[0]
            fmt = (code, channels, bits)
        elif tag == b"data":
            code, channels, bits = fmt
            if code == 1 and bits == 16:
                v = numpy.frombuffer(body, dtype="<i2").astype(numpy.float64)
            elif code == 1 and bits == 24:
                b = numpy.frombuffer(body, dtype=numpy.uint8).reshape(-1, 3).astype(numpy.int32)
                v = (b[:, 0] | (b[:, 1] << 8) | (b[:, 2] << 16)).astype(numpy.int32)
                v = numpy.where(v >= 1 << 23, v - (1 << 24), v).astype(numpy.float64) / 256.0
            elif code == 3 and bits == 32:
                v = numpy.frombuffer(body, dtype="<f4").astype(numpy.float64) * 32768.0
            else:
                raise ValueError(path + ": format %d with %d bits" % (code, bits))
            return v[0::channels]
        pos += 8 + size + (size & 1)
    raise ValueError(path + ": no data")


def worst_line(left, frequency):
    """dBc of the largest bin other than the tone's, over one period of len(left) samples."""
    spectrum = numpy.abs(numpy.fft.rfft(left))
    tone = spectrum[frequency]
    spectrum[frequency] = 0.0
    worst = spectrum.max()
    return 20.0 * numpy.log10(max(worst, 1e-300) / tone), int(spectrum.argmax())


def render(vellox, rate, frequency, flags, directory):
    path = os.path.join(directory, "tone.wav")
    args = [vellox, "--render", path, "--seconds", "1", "--rate", str(rate), "--f1",
            str(frequency), "--waveform", "sine", "--mode", "1"] + flags
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
    left = read_wav_left(path)
    if len(left) != rate:
        raise ValueError("expected %d frames, got %d" % (rate, len(left)))
    return left


def table(vellox, out):
    lines = ["| rate (Hz) | tone (Hz) | " + " | ".join(c[0] for c in COLUMNS) + " |",
             "|---|---|" + "---|" * len(COLUMNS)]
    worst = [-1000.0] * len(COLUMNS)
    with tempfile.TemporaryDirectory() as d:
        for rate in RATES:
            for f in FREQUENCIES:
                cells = []
                for n, (_, flags, _) in enumerate(COLUMNS):
                    db, _ = worst_line(render(vellox, rate, f, flags, d), f)
                    worst[n] = max(worst[n], db)
                    cells.append("%.1f" % db)
                lines.append("| %d | %d | %s |" % (rate, f, " | ".join(cells)))
    lines.append("| **worst** | | " + " | ".join("**%.1f**" % w for w in worst) + " |")
    text = "\n".join(lines) + "\n"
    out.write(text)
    return worst


def check(vellox):
    failures = 0
    total = 0
    with tempfile.TemporaryDirectory() as d:
        for rate, f in CHECK_ROWS:
            for label, flags, bound in COLUMNS:
                if bound is None:
                    continue
                total += 1
                db, at = worst_line(render(vellox, rate, f, flags, d), f)
                ok = db <= bound
                failures += 0 if ok else 1
                print("%s %d Hz at %d Hz, %s: worst line %.1f dBc at %d Hz (bound %.0f)"
                      % ("ok  " if ok else "FAIL", f, rate, label, db, at, bound))
    print("%d passed, %d failed" % (total - failures, failures))
    return 1 if failures else 0


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    vellox, what = sys.argv[1], sys.argv[2]
    if what == "--check":
        return check(vellox)
    if what == "--table":
        if len(sys.argv) > 3:
            with open(sys.argv[3], "w") as out:
                table(vellox, out)
        else:
            table(vellox, sys.stdout)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
