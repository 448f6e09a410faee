#!/usr/bin/python3
"""Measures the remote control under hostile clients, against the real program.

Starts `vellox --play --remote PORT` on SDL's dummy driver and runs one scenario:
  stall   one client sends lines of 1200 rate changes (SRAT 44100;SRAT 48000 ...) as fast
          as it is served; a probe asks *IDN? every 20 ms. Prints the probe's worst and
          99th-percentile round trip (the event loop's worst stall as a client sees it).
  memory  sets a 40000-bit pattern, then 16 clients each send 64 KiB lines of BITC? (each
          line's answer would be 400 MB) and read what comes back, for SECONDS. Prints the
          program's resident size before and after.
With --window the window (offscreen) takes the place of --play.
usage: remote-hostile.py [--window] VELLOX stall|memory [SECONDS]
"""

import os
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "remote"))
from remote_port import connect, free_port  # noqa: E402


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def ask(sock, line):
    sock.sendall(line.encode() + b"\n")
    data = b""
    while not data.endswith(b"\n"):
        chunk = sock.recv(65536)
        if not chunk:
            raise RuntimeError("connection closed")
        data += chunk
    return data.decode().strip()


def flood(port, line, stop, read):
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.settimeout(5)
        while not stop.is_set():
            try:
                s.sendall(line)
                if read:
                    s.recv(1 << 20)
            except (socket.timeout, OSError):
                pass


def main():
    args = sys.argv[1:]
    window = args[:1] == ["--window"]
    if window:
        args = args[1:]
    program, scenario = args[0], args[1]
    seconds = float(args[2]) if len(args) > 2 else 20
    port = free_port()
    env = dict(os.environ, SDL_AUDIODRIVER="dummy", QT_QPA_PLATFORM="offscreen")
    face = [] if window else ["--play"]
    proc = subprocess.Popen([program, *face, "--remote", str(port)], env=env)
    try:
        probe = connect(port, proc)
        probe.settimeout(60)
        ask(probe, "*IDN?")
        stop = threading.Event()
        if scenario == "stall":
            ask(probe, "OUTP ON;*OPC?")
            line = ("SRAT 44100;SRAT 48000;" * 600).rstrip(";").encode() + b"\n"
            threads = [threading.Thread(target=flood, args=(port, line, stop, False))]
            for t in threads:
                t.start()
            times = []
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                t0 = time.monotonic()
                ask(probe, "*IDN?")
                times.append(time.monotonic() - t0)
                time.sleep(0.02)
            times.sort()
            print(f"probe round trips: {len(times)}, worst {times[-1] * 1000:.1f} ms, "
                  f"99th percentile {times[int(len(times) * 0.99)] * 1000:.1f} ms, "
                  f"median {times[len(times) // 2] * 1000:.1f} ms")
            print("rate after the flood:", ask(probe, "SRAT?;:SYST:ERR?"))
        elif scenario == "memory":
            ask(probe, "BITC:BLEN 20 US;PER 1;:BITC '" + "1" * 40000 + "';:SYST:ERR?")
            before = rss_kib(proc.pid)
            line = ("BITC?;" * (65536 // 6 - 1)).rstrip(";").encode() + b"\n"
            threads = [threading.Thread(target=flood, args=(port, line, stop, True))
                       for _ in range(15)]
            for t in threads:
                t.start()
            peak = before
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                time.sleep(1)
                peak = max(peak, rss_kib(proc.pid))
            stop.set()
            for t in threads:
                t.join()
            after = rss_kib(proc.pid)
            print(f"resident size: before {before / 1024:.1f} MiB, peak {peak / 1024:.1f} MiB, "
                  f"after {after / 1024:.1f} MiB")
            print("the probe still answers:", ask(probe, "*IDN?"))
        else:
            raise SystemExit(__doc__)
        stop.set()
        for t in threads:
            t.join()
    finally:
        proc.terminate()
        proc.wait(30)


if __name__ == "__main__":
    main()
