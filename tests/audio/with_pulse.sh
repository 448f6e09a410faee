#!/usr/bin/env bash
# Plays a tone through a real PulseAudio server and checks its frequency.
# usage: with_pulse.sh PULSE_TONE PULSE_MEASURE
# Starts a private PulseAudio server with a null sink, records the sink's monitor with
# parec, plays 1000 Hz at 98000 Hz through SDL's pulseaudio driver for about 3 s and
# measures both channels of the recording. Exit 77 (skipped) only when the PulseAudio
# programs are not installed; the server and the recorder are always stopped.
set -euo pipefail

tone=$1
measure=$2
rate=98000

for prog in pulseaudio pactl parec; do
    if ! command -v "$prog" >/dev/null 2>&1; then
        echo "SKIP: $prog is not installed (Debian packages pulseaudio, pulseaudio-utils)"
        exit 77
    fi
done

work=$(mktemp -d)
pa_pid=""
rec_pid=""
cleanup() {
    if [ -n "$rec_pid" ]; then kill "$rec_pid" 2>/dev/null || true; wait "$rec_pid" 2>/dev/null || true; fi
    if [ -n "$pa_pid" ]; then kill "$pa_pid" 2>/dev/null || true; wait "$pa_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# A server of our own: its socket in a fresh runtime directory, no user configuration.
mkdir -p "$work/run" "$work/home"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run
export HOME=$work/home
unset PULSE_SERVER PULSE_SINK

pulseaudio --system=false --exit-idle-time=-1 --disallow-exit -n \
    --load="module-null-sink sink_name=vellox_test" --load=module-native-protocol-unix \
    --daemonize=no --log-target=file:"$work/pulse.log" &
pa_pid=$!

ready=0
for _ in $(seq 1 100); do
    if pactl info >/dev/null 2>&1; then ready=1; break; fi
    if ! kill -0 "$pa_pid" 2>/dev/null; then break; fi
    sleep 0.1
done
if [ "$ready" -ne 1 ]; then
    echo "FAIL: PulseAudio did not come up within 10 s"
    cat "$work/pulse.log" 2>/dev/null || true
    exit 1
fi
pactl set-default-sink vellox_test

# An idle null sink holds a new stream back for up to two seconds: attach the recorder
# first and let it settle.
parec -d vellox_test.monitor --format=s16le --channels=2 --rate=$rate --raw \
    --latency-msec=50 >"$work/rec.raw" &
rec_pid=$!
sleep 2

SDL_AUDIODRIVER=pulseaudio timeout 30 "$tone" 3
sleep 1
kill "$rec_pid" 2>/dev/null || true
wait "$rec_pid" 2>/dev/null || true
rec_pid=""

"$measure" "$work/rec.raw" $rate 1000
