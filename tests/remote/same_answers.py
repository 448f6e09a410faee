#!/usr/bin/python3
"""One SCPI script, the same answers from the window and from --play.

Starts `vellox --remote PORT` (the window, offscreen) and `vellox --play --remote PORT` on
SDL's dummy driver, sends both the same lines, one at a time, and compares every answer.
The script reads every setting, changes each, and asks for each refusal the generator
makes (a greyed "Modulation FM", values out of range, a bit code the dialog refuses), with
the output both on and off.
usage: same_answers.py VELLOX
Exit 0 passed, 1 failed.
"""

import os
import subprocess
import sys
import tempfile

from remote_port import connect, free_port

# Each line goes alone; a line with a query gets one answer line.
SCRIPT = [
    "*RST;*CLS",
    "FREQ?;SOUR2:FREQ?;FUNC?;MODE?",
    "VOLT?;SOUR2:VOLT?;VOLT:UNIT DBFS;VOLT?;VOLT:UNIT VPP",
    "NOIS?;FUNC:SQU:DCYC?;SWE:MODE?;SRAT?",
    "BITC?;BITC:BLEN?;BITC:PER?",
    "SYNT?;DITH?;OUTP:FORM?;PHAS?;OUTP?",
    # The greyed FM: refused once a waveform without it is chosen; offered at start, and
    # kept when such a waveform comes after it.
    "FUNC PSIN;:MODE FM;:SYST:ERR?;:MODE?",
    "FUNC SIN;:MODE FM;:SYST:ERR?;:FUNC BITC;:MODE FM;:SYST:ERR?;:MODE?",
    "*RST;:MODE FM;:FUNC PSIN;:SYST:ERR?;:MODE?;FUNC?",
    "MODE STER;:SYST:ERR?;:MODE?",
    # Every setting changed, with the output off: it stays off.
    "FREQ 440;SOUR2:FREQ 3001;:SYST:ERR?;:FREQ?;SOUR2:FREQ?;:OUTP?",
    "VOLT 0.5;SOUR2:VOLT 0.25;:VOLT?;SOUR2:VOLT?",
    "NOIS 30;:NOIS?;:FUNC SQU;:FUNC:SQU:DCYC 25;:FUNC:SQU:DCYC?;FUNC?",
    "SWE:MODE LIN;:SWE:MODE?;:SWE:MODE MAN;:SWE:MODE?",
    "SRAT 44100;:SRAT?;:SRAT 48000;:SRAT?;:SRAT 98000",
    "BITC '1100';:BITC:BLEN 0.002;:BITC:PER 0.04;:BITC?;BITC:BLEN?;BITC:PER?",
    "SYNT PREC;:DITH TPDF;:OUTP:FORM S24;:PHAS 90;:SYST:ERR?",
    "SYNT?;DITH?;OUTP:FORM?;PHAS?",
    # Refusals: out of range, an unknown rate, a pattern the dialog refuses.
    "FREQ 19;:SYST:ERR?;:FREQ 20001;:SYST:ERR?;:FREQ?",
    "VOLT 100;:SYST:ERR?;:NOIS 120;:SYST:ERR?;:NOIS?",
    "SRAT 22050;:SYST:ERR?;:SRAT?",
    "BITC '12';:SYST:ERR?;:BITC?",
    "FUNC:SQU:DCYC 0;:SYST:ERR?;:FUNC:SQU:DCYC?",
    "PHAS 400;:SYST:ERR?;:PHAS?",
    # With the output on: every change restarts and the output stays on.
    "SYNT EXAC;:DITH NONE;:OUTP:FORM S16;:PHAS 0;:OUTP ON;:OUTP?",
    "FREQ 1234;:FUNC TRI;:MODE SUM;:SYST:ERR?;:OUTP?;:FREQ?;FUNC?;MODE?",
    "SRAT 192000;:SYST:ERR?;:OUTP?;:SRAT?",
    "FUNC PSIN;:MODE FM;:SYST:ERR?;:MODE?;:OUTP?",
    "OUTP OFF;:OUTP?;:FREQ 2000;:OUTP?;:FREQ?",
    # Decimals: refused by the exact synthesis, taken to 1 uHz by the precise one, which then
    # may not give way to the exact one while a fraction is in force.
    "FREQ 1000.5;:SYST:ERR?;:FREQ?;FREQ? MAX",
    "SYNT PREC;:FREQ 1000.123456;SOUR2:FREQ 40000.25;:SYST:ERR?;:FREQ?;SOUR2:FREQ?;FREQ? MAX",
    "FREQ 90000;:SYST:ERR?;:SYNT EXAC;:SYST:ERR?;:SYNT?;:FREQ 1000;SOUR2:FREQ 100;:SYNT EXAC",
    # The start values again, the output off.
    "*RST;:OUTP?;:FREQ?;SOUR2:FREQ?;FUNC?;MODE?;VOLT?;SOUR2:VOLT?;NOIS?;SRAT?",
    "SYNT?;DITH?;OUTP:FORM?;PHAS?;BITC?;BITC:PER?;SWE:MODE?;FUNC:SQU:DCYC?",
    "SYST:ERR:COUN?;SYST:ERR?",
]


def run_script(connection):
    answers = []
    reader = connection.makefile("r", encoding="latin-1", newline="\n")
    for line in SCRIPT:
        connection.sendall(line.encode() + b"\n")
        answers.append(reader.readline().rstrip("\n") if "?" in line else "")
    return answers


def answers_of(vellox, extra, work, name):
    port = free_port()
    home = os.path.join(work, name)
    os.makedirs(home)
    env = dict(os.environ, SDL_AUDIODRIVER="dummy", QT_QPA_PLATFORM="offscreen", HOME=home,
               XDG_CONFIG_HOME=home)
    process = subprocess.Popen([vellox, *extra, "--remote", str(port)], env=env)
    try:
        with connect(port, process) as connection:
            return run_script(connection)
    finally:
        process.terminate()
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def main():
    vellox = sys.argv[1]
    queries = sum(line.count("?") for line in SCRIPT)
    with tempfile.TemporaryDirectory() as work:
        window = answers_of(vellox, [], work, "window")
        play = answers_of(vellox, ["--play"], work, "play")
    differing = 0
    for line, a, b in zip(SCRIPT, window, play):
        mark = "  " if a == b else "!="
        print(f"{mark} {line}\n     window: {a}\n     --play: {b}")
        differing += a != b
    print(f"{queries} queries in {len(SCRIPT)} lines, {differing} lines answered differently")
    return 1 if differing or queries < 25 else 0


if __name__ == "__main__":
    sys.exit(main())
