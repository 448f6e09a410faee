#!/usr/bin/env bash
# The sound never runs dry: the program plays a steady tone for several seconds at each
# given rate while both cores are kept busy beside it, and the null sink's monitor, recorded
# throughout, holds no gap (no run of digital silence).
# usage: pulse_session.sh dropouts.sh VELLOX PULSE_MEASURE RATE...
#        pipewire_session.sh [--driver ...] dropouts.sh VELLOX PULSE_MEASURE RATE...
set -euo pipefail

vellox=$1
measure=$2
shift 2
: "${VELLOX_PULSE_SINK:?run through pulse_session.sh or pipewire_session.sh}"
seconds=6

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The recorder takes the sink's own rate, so that the server does not resample the record.
sink_rate=$(pactl list short sinks | awk -v s="$VELLOX_PULSE_SINK" '$2 == s { print $6 }' | tr -dc 0-9)
: "${sink_rate:=44100}"

# The recorder must not be what drops sound under the load: real-time where allowed.
rt=""
if chrt -r 20 true 2>/dev/null; then rt="chrt -r 20"; fi

status=0
for rate in "$@"; do
    $rt parec -d "$VELLOX_PULSE_SINK.monitor" --format=s16le --channels=2 --rate="$sink_rate" --raw \
        --latency-msec=50 >"$work/rec-$rate.raw" &
    rec=$!
    pids+=("$rec")
    sleep 2 # an idle null sink holds a new stream back
    load=()
    for _ in $(seq 1 "$(nproc)"); do
        (while :; do :; done) &
        load+=("$!")
        pids+=("$!")
    done
    "$vellox" --play --seconds $((seconds + 1)) --rate "$rate" || status=1
    kill "${load[@]}" 2>/dev/null || true
    sleep 0.5
    kill "$rec" 2>/dev/null || true
    wait "$rec" 2>/dev/null || true
    echo "$rate Hz through $SDL_AUDIODRIVER, $(nproc) busy loops beside it:"
    "$measure" --gaps "$work/rec-$rate.raw" "$sink_rate" "$seconds" || status=1
done
exit $status
