#!/usr/bin/python3
"""What the sound server passes on, sample for sample: the precise synthesis of a tone at
48000 Hz played into a null sink at 48000 Hz, its monitor recorded, against the loop that
--render writes for the same settings. 16-bit into a sink of 16 bits, 24-bit (as 32-bit
frames) into a sink of 32 bits, recorded in the sink's own format.

usage: bitperfect.py VELLOX     (inside pulse_session.sh or pipewire_session.sh)
Prints, for each format, whether the recording equals the loop, or how it differs. Exit 1
when one differs, 77 when a tool is missing.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import wave

RATE = 48000
FRESH_TRIES = 4
TONE = ["--f1", "1001", "--synthesis", "precise", "--rate", str(RATE)]


def pactl(*args):
    return subprocess.run(["pactl", *args], check=True, capture_output=True, text=True).stdout


def loop_frames(vellox, work, fmt):
    path = os.path.join(work, f"loop-{fmt}.wav")
    subprocess.run([vellox, "--render", path, "--seconds", "1", "--sample-format", fmt, *TONE],
                   check=True)
    with wave.open(path, "rb") if fmt == "s16" else open(path, "rb") as w:
        if fmt == "s16":
            data = w.readframes(w.getnframes())
            return [int.from_bytes(data[i:i + 2], "little", signed=True)
                    for i in range(0, len(data), 2)]
    # 24-bit WAV: 3 bytes a sample after the header; found by its "data" chunk.
    raw = open(path, "rb").read()
    at = raw.index(b"data") + 8
    data = raw[at:]
    return [int.from_bytes(data[i:i + 3], "little", signed=True) for i in range(0, len(data) - 2, 3)]


def wait_for_size(path, size, seconds=30):
    """Waits until the recorder has written `size` bytes into `path`: counted, not timed, so
    that a busy machine makes the wait longer, never the recording shorter."""
    deadline = time.monotonic() + seconds
    while os.path.getsize(path) < size:
        if time.monotonic() > deadline:
            raise RuntimeError(f"the recorder wrote {os.path.getsize(path)} of {size} bytes")
        time.sleep(0.02)


def record(work, sink, device, vellox, fmt, seconds=3):
    parec_format = "s16le" if fmt == "s16" else "s32le"
    out = os.path.join(work, f"rec-{fmt}.raw")
    rec = subprocess.Popen(["parec", "-d", f"{sink}.monitor", f"--format={parec_format}",
                            "--channels=2", f"--rate={RATE}", "--raw", "--latency-msec=50"],
                           stdout=open(out, "wb"))
    frame_bytes = 4 if fmt == "s16" else 8
    wait_for_size(out, 1)  # an idle null sink holds a new stream back
    subprocess.run([vellox, "--play", "--seconds", str(seconds), "--device", device,
                    "--sample-format", fmt, *TONE], check=True)
    # The server's latency's worth of sound after the player ended.
    wait_for_size(out, os.path.getsize(out) + RATE // 2 * frame_bytes)
    rec.terminate()
    rec.wait()
    data = open(out, "rb").read()
    width = 2 if fmt == "s16" else 4
    values = [int.from_bytes(data[i:i + width], "little", signed=True)
              for i in range(0, len(data) - width + 1, width)]
    if fmt != "s16":
        values = [v >> 8 for v in values]  # the 24-bit value in the top bits
    return values


def dropout(recorded, min_frames=RATE // 1000):
    """The first frame of a run of digital silence on both channels, at least a
    millisecond long, or None. A server that misses a period of a playing stream on a busy
    machine fills it so; the tone never holds 0 on both channels that long."""
    run = 0
    for frame in range(len(recorded) // 2):
        if recorded[2 * frame] == 0 and recorded[2 * frame + 1] == 0:
            run += 1
            if run == min_frames:
                return frame - run + 1
        else:
            run = 0
    return None


def compare(loop, recorded):
    """Finds the loop in the recording and compares two seconds of it, sample for sample."""
    n = len(loop)
    frames = n // 2
    loud = next((i for i in range(0, len(recorded), 2) if abs(recorded[i]) > 1000), None)
    if loud is None:
        return "the recording is silent"
    start = loud + 2 * (RATE // 5)  # past the fade-in
    probe = recorded[start:start + 64]
    index = {}
    for k in range(frames):
        index.setdefault(tuple(loop[2 * k:2 * k + 8]), []).append(k)
    candidates = index.get(tuple(probe[:8]), [])
    for k in candidates:
        if all(loop[(2 * k + j) % n] == probe[j] for j in range(len(probe))):
            stretch = min(2 * RATE * 2, len(recorded) - start - 2 * (RATE // 5))
            diffs = [abs(recorded[start + j] - loop[(2 * k + j) % n]) for j in range(stretch)]
            bad = sum(1 for d in diffs if d != 0)
            if bad == 0:
                return f"equal: {stretch // 2} frames sample for sample"
            result = f"{bad} of {stretch} samples differ, by up to {max(diffs)}"
            gap = dropout(recorded[start:start + stretch])
            if gap is not None:
                result += f", the server dropped sound at frame {gap}"
            return result
    return "the loop is not found in the recording: the server changed the samples"


def main():
    vellox = sys.argv[1]
    for tool in ("pactl", "parec"):
        if shutil.which(tool) is None:
            print(f"SKIP: {tool} is not installed")
            return 77
    failed = False
    with tempfile.TemporaryDirectory() as work:
        for fmt, sink_format in (("s16", "s16le"), ("s24", "s32le")):
            sink = f"vellox_bitperfect_{fmt}"
            module = pactl("load-module", "module-null-sink", f"sink_name={sink}",
                           f"rate={RATE}", "channels=2", f"format={sink_format}",
                           f"sink_properties=device.description=Vellox-Bitperfect-{fmt}").strip()
            try:
                line = [l for l in pactl("list", "short", "sinks").splitlines()
                        if l.split("\t")[1] == sink][0]
                loop = loop_frames(vellox, work, fmt)
                # A recording the server dropped sound in says nothing of what it passes
                # on: it is taken again, a few times; any other difference fails at once.
                for _ in range(FRESH_TRIES):
                    result = compare(loop, record(work, sink, f"Vellox-Bitperfect-{fmt}",
                                                  vellox, fmt))
                    if "dropped sound" not in result:
                        break
                    print(f"{fmt}: {result}; recording again")
            finally:
                pactl("unload-module", module)
            print(f"{fmt} into a sink of {line.split(chr(9))[3]} at {RATE} Hz through "
                  f"{os.environ.get('SDL_AUDIODRIVER')}: {result}")
            # Every server here passes both unchanged at the sink's rate and full volume:
            # PulseAudio into a sink of the stream's width, PipeWire through its float32
            # graph, whose 24-bit mantissa holds a 24-bit sample exactly.
            if not result.startswith("equal"):
                failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
