#!/usr/bin/env bash
# The output device, through a private PulseAudio server with two null sinks.
# usage: pulse_session.sh devices.sh VELLOX PULSE_MEASURE
# --list-devices names both sinks; --play --device with the second plays 1001 Hz on the
# second sink's monitor and nothing on the first's; a device that does not exist gives one
# line on stderr and the default device.
set -euo pipefail
. "$(dirname "$(readlink -f "$0")")/../recording.sh"

vellox=$1
measure=$2
: "${VELLOX_PULSE_SINK:?run through pulse_session.sh, which starts the sound server}"
rate=44100
second=vellox_second
second_name=Vellox-Second

work=$(mktemp -d)
recorders=()
cleanup() {
    for pid in "${recorders[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

pactl load-module module-null-sink sink_name=$second \
    sink_properties=device.description=$second_name >/dev/null

echo "== --list-devices"
"$vellox" --list-devices | tee "$work/devices"
first_name=$(pactl list sinks | awk -v s="$VELLOX_PULSE_SINK" '
    $1 == "Name:" { name = $2 } $1 == "Description:" && name == s { sub(/^[ \t]*Description: /, ""); print; exit }')
cut -f1 "$work/devices" >"$work/names"
grep -qxF "$first_name" "$work/names" || { echo "FAIL: '$first_name' not listed"; exit 1; }
grep -qxF "$second_name" "$work/names" || { echo "FAIL: '$second_name' not listed"; exit 1; }
# Beside each name, the rate its sink runs at.
first_rate=$(pactl list short sinks | awk -v s="$VELLOX_PULSE_SINK" '$2 == s { print $6 }' | tr -dc 0-9)
grep -qxF "$first_name	${first_rate} Hz" "$work/devices" ||
    { echo "FAIL: '$first_name' not listed with its rate $first_rate Hz"; exit 1; }

echo "== --play --device $second_name"
# An idle null sink holds a new stream back for up to two seconds: the recorders first.
for sink in "$VELLOX_PULSE_SINK" "$second"; do
    start_recording "$work/$sink.raw" parec -d "$sink.monitor" --format=s16le --channels=2 \
        --rate=$rate --raw --latency-msec=50
    recorders+=("$recorder_pid")
done
timeout 30 "$vellox" --play --seconds 3 --f1 1001 --device "$second_name"
record_more "$work/$second.raw" 0.5 $rate 4
for pid in "${recorders[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
recorders=()
"$measure" "$work/$second.raw" $rate 1001
if "$measure" "$work/$VELLOX_PULSE_SINK.raw" $rate 1001 >"$work/first.out" 2>&1 \
    || ! grep -q 'the recording is silent' "$work/first.out"; then
    cat "$work/first.out"
    echo "FAIL: the first sink was not silent"
    exit 1
fi
echo "the first sink stayed silent"

echo "== --device that does not exist"
timeout 30 "$vellox" --play --seconds 0.3 --device "No Such Device" 2>"$work/err"
cat "$work/err"
[ "$(wc -l <"$work/err")" -eq 1 ] && grep -q 'no playback device "No Such Device"; using the default device' "$work/err" \
    || { echo "FAIL: not one line about the missing device"; exit 1; }
echo "PASS"
