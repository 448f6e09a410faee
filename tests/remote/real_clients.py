#!/usr/bin/python3
"""The remote control through the clients lab scripts use, from Debian's packages.

Starts `vellox --play --remote` on SDL's disk driver (the output stream goes to a file),
then
  - PyVISA with its pure-Python backend asks *IDN? and walks a frequency list; after each
    change the frequency set is the strongest line of the stream the device got, and after
    FREQ x;*OPC? the stream from the first frame after the answer holds x;
  - levels in dBFS to 0.01 dB read back as sent and are measured in the stream, in both
    syntheses;
  - pymeasure's Agilent33500 driver sets shape, frequency, amplitude, output and the square's
    duty cycle, reads them back exactly, and check_errors() finds the queue empty; its bursts
    leave the silence they should; a phase of -90 degrees is 270;
  - a second run has the calibration the first one was told.
usage: real_clients.py VELLOX
Exit 0 passed, 1 failed, 77 skipped (the client packages are missing).
"""

import os
import subprocess
import sys
import tempfile
import time

try:
    import numpy
    import pyvisa
    from pymeasure.instruments.agilent import Agilent33500
except ImportError as e:
    print(f"SKIP: {e} (Debian packages python3-pyvisa, python3-pyvisa-py, python3-pymeasure, "
          "python3-numpy)")
    sys.exit(77)

from remote_port import connect, free_port

RATE = 98000


def strongest_line(path, seconds=0.25):
    """The strongest frequency of the stream's last `seconds` (left channel), in Hz."""
    frames = int(RATE * seconds)
    with open(path, "rb") as f:
        f.seek(0, os.SEEK_END)
        size = f.tell()
        f.seek(max(0, size - frames * 4) // 4 * 4)
        data = numpy.frombuffer(f.read(), dtype="<i2")
    left = data[0::2].astype(float)
    if len(left) < frames // 2:
        raise RuntimeError("the device got no stream")
    spectrum = numpy.abs(numpy.fft.rfft(left * numpy.hanning(len(left))))
    return numpy.argmax(spectrum[1:]) + 1, RATE / len(left)


def left_from(path, offset, seconds):
    """The left channel of `seconds` of the stream from byte `offset`, once the stream has
    them."""
    frames = int(RATE * seconds)
    deadline = time.monotonic() + 30
    while os.path.getsize(path) < offset + frames * 4 and time.monotonic() < deadline:
        time.sleep(0.01)
    with open(path, "rb") as f:
        f.seek(offset // 4 * 4)
        data = numpy.frombuffer(f.read(frames * 4), dtype="<i2")
    return data[0::2].astype(float)


def line_from(path, offset, seconds=0.1):
    """The strongest frequency (left channel) of `seconds` of the stream from byte `offset`,
    once the stream has them, in Hz; and the spectrum's bin width."""
    left = left_from(path, offset, seconds)
    spectrum = numpy.abs(numpy.fft.rfft(left * numpy.hanning(len(left))))
    return (numpy.argmax(spectrum[1:]) + 1) * RATE / len(left), RATE / len(left)


def level_from(path, offset, hz, seconds=0.2):
    """The level in dBFS (AES17: a full-scale sine is 0) of the tone at `hz` on the left
    channel, fitted over `seconds` of the stream from byte `offset`, once the stream has them."""
    left = left_from(path, offset, seconds)
    t = numpy.arange(len(left)) / RATE
    basis = numpy.column_stack([numpy.cos(2 * numpy.pi * hz * t),
                                numpy.sin(2 * numpy.pi * hz * t), numpy.ones(len(left))])
    (c, s, _), *_ = numpy.linalg.lstsq(basis, left, rcond=None)
    return 20 * numpy.log10(numpy.hypot(c, s) / 32768)


def settle_and_measure(path, after):
    """Waits until the stream has grown by half a second past `after`, then measures."""
    deadline = time.monotonic() + 30
    while os.path.getsize(path) < after + RATE * 4 // 2 and time.monotonic() < deadline:
        time.sleep(0.05)
    peak, bin_hz = strongest_line(path)
    return peak * bin_hz, bin_hz


def main():
    vellox = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        stream = os.path.join(work, "stream.raw")
        port = free_port()
        env = dict(os.environ, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=stream,
                   QT_QPA_PLATFORM="offscreen", HOME=work, XDG_CONFIG_HOME=work)
        process = subprocess.Popen([vellox, "--play", "--remote", str(port)], env=env)
        try:
            connect(port, process, seconds=30, timeout=1).close()
            resource = f"TCPIP::127.0.0.1::{port}::SOCKET"

            # PyVISA, as its documentation shows it.
            rm = pyvisa.ResourceManager("@py")
            gen = rm.open_resource(resource, read_termination="\n", write_termination="\n",
                                   timeout=10000)
            idn = gen.query("*IDN?")
            print("PyVISA *IDN?:", idn)
            if not idn.startswith("Korvane,Vellox,0,"):
                failures.append(f"*IDN? answered {idn!r}")
            for hz in (440, 1000, 3001, 12345):
                gen.write(f"FREQ {hz}")
                echoed = gen.query("FREQ?")
                heard, bin_hz = settle_and_measure(stream, os.path.getsize(stream))
                print(f"PyVISA FREQ {hz}: FREQ? {echoed}, strongest line {heard:.1f} Hz")
                if int(echoed) != hz:
                    failures.append(f"FREQ {hz} read back as {echoed}")
                if abs(heard - hz) > 2 * bin_hz:
                    failures.append(f"FREQ {hz}: the strongest line is at {heard:.1f} Hz")
            # *OPC? answers once the device has been handed the change: the last 10 ms the
            # device had when the answer came already carry it (an answer before the audio
            # thread took the change, up to a 30 ms period earlier, finds the old tone there),
            # and so do the 20 ms from the first frame after the answer.
            for hz in (7000, 2500, 9100):
                asked = time.monotonic()
                answered = gen.query(f"FREQ {hz};*OPC?")
                took = time.monotonic() - asked
                offset = os.path.getsize(stream)
                before, bin_before = line_from(stream, offset - RATE * 4 // 100, 0.01)
                after, bin_after = line_from(stream, offset, 0.02)
                print(f"PyVISA FREQ {hz};*OPC? {answered} after {took * 1000:.1f} ms: "
                      f"{before:.0f} Hz before the answer, {after:.0f} Hz after it")
                if answered != "1" or abs(before - hz) > 2 * bin_before or abs(after - hz) > 2 * bin_after:
                    failures.append(f"FREQ {hz};*OPC? answered {answered!r}: {before:.0f} Hz "
                                    f"before the answer, {after:.0f} Hz after it")
            error = gen.query("SYST:ERR?")
            if error != '0,"No error"':
                failures.append(f"PyVISA's session left {error!r}")
            # Decimals: refused by the exact synthesis, which loops whole hertz, and read back
            # to the last digit set by the precise one; the exact synthesis is then refused
            # while a fraction is in force.
            gen.write("FREQ 1000.5")
            error = gen.query("SYST:ERR?")
            if not error.startswith("-221,"):
                failures.append(f"FREQ 1000.5 in the exact synthesis gave {error!r}")
            gen.write("SYNT PREC;:FREQ 1000.123;SOUR2:FREQ 123.456789")
            echoed = (gen.query("FREQ?"), gen.query("SOUR2:FREQ?"))
            print("PyVISA precise FREQ?, SOUR2:FREQ?:", echoed)
            if echoed != ("1000.123", "123.456789"):
                failures.append(f"FREQ 1000.123, SOUR2:FREQ 123.456789 read back as {echoed}")
            gen.write("SYNT EXAC")
            error = gen.query("SYST:ERR?")
            if not error.startswith("-221,") or gen.query("SYNT?") != "PREC":
                failures.append(f"SYNT EXAC with 1000.123 Hz in force gave {error!r}")
            # Levels to 0.01 dB in true dBFS, in both syntheses: read back as sent, and found
            # in the stream from 10 ms after *OPC?'s answer (the level glides over 5 ms).
            for synthesis in ("EXAC", "PREC"):
                gen.write(f"FREQ 997;:SOUR2:FREQ 100;:SYNT {synthesis};:FUNC SIN;:VOLT:UNIT DBFS")
                for level, within in ((-0.5, 0.01), (-12.34, 0.01), (-60.01, 0.05)):
                    gen.query(f"VOLT {level};*OPC?")
                    offset = os.path.getsize(stream) + RATE * 4 // 100
                    measured = level_from(stream, offset, 997)
                    echoed = gen.query("VOLT?")
                    print(f"PyVISA {synthesis} VOLT {level} DBFS: VOLT? {echoed}, "
                          f"measured {measured:.4f} dBFS ({measured - level:+.4f} dB)")
                    if echoed != str(level) or abs(measured - level) > within:
                        failures.append(f"{synthesis} VOLT {level} DBFS read back {echoed}, "
                                        f"measured {measured:.4f} dBFS")
            gen.write("VOLT:UNIT VPP;:VOLT:CAL:FSC 3.3")
            error = gen.query("SYST:ERR?")
            if error != '0,"No error"':
                failures.append(f"the levels left {error!r}")
            gen.close()

            # pymeasure's driver for the Keysight (Agilent) 33500.
            awg = Agilent33500(resource, visa_library="@py", read_termination="\n",
                               write_termination="\n", timeout=10000)
            awg.shape = "SQU"
            awg.frequency = 2000.5
            awg.amplitude = 0.6
            awg.square_dutycycle = 30
            awg.output = True
            readback = {
                "shape": awg.shape,
                "frequency": awg.frequency,
                "amplitude": awg.amplitude,
                "square_dutycycle": awg.square_dutycycle,
                "output": awg.output,
            }
            print("pymeasure reads back:", readback)
            errors = awg.check_errors()
            print("pymeasure check_errors():", errors)
            if readback["shape"] != "SQU":
                failures.append(f"shape read back as {readback['shape']!r}")
            if readback["frequency"] != 2000.5:
                failures.append(f"frequency read back as {readback['frequency']!r}")
            if readback["amplitude"] != 0.6:
                failures.append(f"amplitude read back as {readback['amplitude']!r}")
            # Tone bursts, as the driver sets them: 5 cycles of 2000.5 Hz every 20 ms leave
            # F1 silent seven eighths of the time.
            awg.burst_ncycles = 5
            awg.burst_period = 0.02
            awg.burst_state = True
            bursts = (awg.burst_state, awg.burst_ncycles, awg.burst_period)
            awg.ask("*OPC?")
            offset = os.path.getsize(stream) + RATE * 4 // 50
            silent = float(numpy.mean(left_from(stream, offset, 0.2) == 0))
            print(f"pymeasure bursts {bursts}: F1 silent {silent:.3f} of the time")
            if bursts != (True, 5, 0.02) or not 0.85 < silent < 0.9:
                failures.append(f"bursts read back as {bursts}, F1 silent {silent:.3f}")
            awg.burst_state = False
            # The phase as the newer drivers send it: -360..360 degrees, wrapped to the turn.
            awg.write("PHAS %f" % -90)
            if awg.ask("PHAS?").strip() != "270":
                failures.append("PHAS -90 did not read back as 270")
            if readback["square_dutycycle"] != 30:
                failures.append(f"duty read back as {readback['square_dutycycle']!r}")
            if readback["output"] not in (True, 1, "1", "ON"):
                failures.append(f"output read back as {readback['output']!r}")
            if errors:
                failures.append(f"check_errors() found {errors!r}")
            heard, bin_hz = settle_and_measure(stream, os.path.getsize(stream))
            print(f"pymeasure 2000 Hz square: strongest line {heard:.1f} Hz")
            if abs(heard - 2000) > 2 * bin_hz:
                failures.append(f"the square at 2000 Hz sounds strongest at {heard:.1f} Hz")
            awg.adapter.connection.close()
        except Exception as e:
            failures.append(f"{type(e).__name__}: {e}")
        finally:
            process.terminate()
            try:
                status = process.wait(30)
            except subprocess.TimeoutExpired:
                process.kill()
                status = "killed"
            if status not in (0, "killed"):
                failures.append(f"vellox --play ended with status {status} on SIGTERM")
        # The calibration is the output device's, and outlives the run.
        process = subprocess.Popen([vellox, "--play", "--remote", str(port)], env=env)
        try:
            client = connect(port, process, seconds=30, timeout=5)
            client.sendall(b"VOLT:CAL:FSC?\n")
            answer = client.makefile().readline().strip()
            client.close()
            print("after a restart, VOLT:CAL:FSC?", answer)
            if answer != "3.3":
                failures.append(f"the calibration of 3.3 Vpp came back as {answer!r}")
        except Exception as e:
            failures.append(f"{type(e).__name__}: {e}")
        finally:
            process.terminate()
            try:
                process.wait(30)
            except subprocess.TimeoutExpired:
                process.kill()
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
