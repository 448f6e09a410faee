#!/usr/bin/env bash
# Plays a tone through the session's sound server and checks its frequency.
# usage: pulse_session.sh with_pulse.sh PULSE_TONE PULSE_MEASURE
#        pipewire_session.sh [--driver pulseaudio|pipewire] with_pulse.sh PULSE_TONE PULSE_MEASURE
# Records the null sink's monitor with parec, plays 1000 Hz at 98000 Hz through the SDL
# driver the session names (SDL_AUDIODRIVER) for about 3 s and measures both channels of
# the recording. The recorder is always stopped; the session stops the server.
set -euo pipefail
. "$(dirname "$(readlink -f "$0")")/../recording.sh"

tone=$1
measure=$2
rate=98000
: "${VELLOX_PULSE_SINK:?run through pulse_session.sh, which starts the sound server}"

work=$(mktemp -d)
rec_pid=""
cleanup() {
    if [ -n "$rec_pid" ]; then kill "$rec_pid" 2>/dev/null || true; wait "$rec_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# An idle null sink holds a new stream back for up to two seconds: the recorder first.
start_recording "$work/rec.raw" parec -d "$VELLOX_PULSE_SINK.monitor" --format=s16le --channels=2 \
    --rate=$rate --raw --latency-msec=50
rec_pid=$recorder_pid

timeout 30 "$tone" 3 | tee "$work/tone.out"
# SDL opens only the drivers SDL_AUDIODRIVER names, but a tone through another one would
# prove nothing about this one.
if ! grep -q "driver $SDL_AUDIODRIVER," "$work/tone.out"; then
    echo "FAIL: the tone did not go through SDL's $SDL_AUDIODRIVER driver" >&2
    exit 1
fi
record_more "$work/rec.raw" 1 $rate 4
kill "$rec_pid" 2>/dev/null || true
wait "$rec_pid" 2>/dev/null || true
rec_pid=""

"$measure" "$work/rec.raw" $rate 1000
