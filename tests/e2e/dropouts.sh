#!/usr/bin/env bash
# The sound never runs dry: the program plays a steady tone for several seconds at each
# given rate while both cores are kept busy beside it, and the null sink's monitor, recorded
# throughout, holds no gap (no run of digital silence).
#
# A shared virtual machine is sometimes not run at all for a tenth of a second: no buffer a
# signal generator may keep rides over that, and the gap it leaves is the host's, not the
# program's. A real-time watch on every core (cyclictest, above every other thread) tells the
# two apart: a stretch with a gap is played afresh only when the watch saw the machine stand
# still for longer than the program's period, up to a few times. A gap the watch cannot
# explain fails at once; a rate where the machine stood still in every stretch was not
# measured, and the test says so (skipped) rather than blame the program.
# usage: pulse_session.sh dropouts.sh VELLOX PULSE_MEASURE RATE...
#        pipewire_session.sh [--driver ...] dropouts.sh VELLOX PULSE_MEASURE RATE...
set -euo pipefail
. "$(dirname "$(readlink -f "$0")")/../recording.sh"

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

# Longer than this (in microseconds, half the default latency) the program's buffer cannot be
# expected to cover; the watch's usual worst on a busy machine is a few milliseconds.
stall_limit_us=30000
tries=6
watch=""
if command -v cyclictest >/dev/null && chrt -f 99 true 2>/dev/null; then
    watch="cyclictest -p 99 -i 1000 -q -S -m"
fi

# Under PipeWire the graph runs in cycles of the shortest latency its streams ask for, as a
# power of two of its frames (at most 2048): the program's stream through pipewire-pulse asks
# a quarter of its 60 ms, and the graph turns every 512 frames at 48000 Hz, 10.7 ms. A
# stand-still longer than one cycle makes the graph itself miss a cycle and play it silent,
# whatever the program has queued (a fresh clone's run: a 12.6 ms stand-still, a 10.7 ms
# gap). The cycle is read from the graph while the program plays.
graph_cycle_us() {
    pw-dump 2>/dev/null | python3 -c '
import json, sys
rate = int(sys.argv[1])
latencies = []
for o in json.load(sys.stdin):
    props = ((o.get("info") or {}).get("props") or {})
    n, _, d = str(props.get("node.latency", "")).partition("/")
    if n.isdigit() and d.isdigit() and int(d) > 0:
        latencies.append(int(n) / int(d))
if latencies:
    frames = min(2048, int(min(latencies) * rate))
    q = 1
    while q * 2 <= frames:
        q *= 2
    print(q * 1000000 // rate)
' "$sink_rate" || true
}

# One stretch at the given rate; sets $stall_us to the watch's worst wake-up delay (empty
# without a watch) and $cycle_us to the PipeWire graph's cycle (empty elsewhere). Returns
# pulse_measure's verdict, or 2 when the program failed.
stretch() {
    local rate=$1 rec w="" played=0
    start_recording "$work/rec-$rate.raw" $rt parec -d "$VELLOX_PULSE_SINK.monitor" --format=s16le \
        --channels=2 --rate="$sink_rate" --raw --latency-msec=50 || return 2
    rec=$recorder_pid
    pids+=("$rec")
    load=()
    for _ in $(seq 1 "$(nproc)"); do
        (while :; do :; done) &
        load+=("$!")
        pids+=("$!")
    done
    if [ -n "$watch" ]; then
        $watch -D $((seconds + 2)) >"$work/watch-$rate.txt" 2>&1 &
        w=$!
        pids+=("$w")
    fi
    cycle_us=""
    if [ -n "${VELLOX_PIPEWIRE_WORK:-}" ] && command -v pw-dump >/dev/null; then
        (sleep 2 && graph_cycle_us >"$work/cycle-$rate.txt") &
        pids+=("$!")
    fi
    "$vellox" --play --seconds $((seconds + 1)) --rate "$rate" || played=1
    [ ! -s "$work/cycle-$rate.txt" ] || cycle_us=$(cat "$work/cycle-$rate.txt")
    kill "${load[@]}" 2>/dev/null || true
    record_more "$work/rec-$rate.raw" 0.5 "$sink_rate" 4 || return 2
    kill "$rec" 2>/dev/null || true
    wait "$rec" 2>/dev/null || true
    stall_us=""
    if [ -n "$w" ]; then
        wait "$w" 2>/dev/null || true
        stall_us=$(grep -o 'Max: *[0-9]*' "$work/watch-$rate.txt" | tr -dc '0-9\n' | sort -n | tail -1)
    fi
    echo "$rate Hz through $SDL_AUDIODRIVER, $(nproc) busy loops beside it:"
    [ "$played" = 0 ] || { echo "FAIL: the program did not play"; return 2; }
    "$measure" --gaps "$work/rec-$rate.raw" "$sink_rate" "$seconds"
}

status=0
unmeasured=""
for rate in "$@"; do
    clean=0
    stood=0
    for try in $(seq 1 $tries); do
        if stretch "$rate"; then
            clean=1
            break
        elif [ $? = 2 ]; then
            break
        fi
        limit=$stall_limit_us
        if [ -n "$cycle_us" ] && [ "$cycle_us" -lt "$limit" ]; then
            limit=$cycle_us
            echo "the PipeWire graph's cycle: $cycle_us us"
        fi
        if [ -n "$stall_us" ] && [ "$stall_us" -gt "$limit" ]; then
            echo "the machine stood still for $((stall_us / 1000)) ms in that stretch (try $try of $tries)"
            stood=$((stood + 1))
            continue
        fi
        echo "FAIL: a gap while the machine ran (its longest stand-still ${stall_us:-unknown} us)"
        break
    done
    if [ "$clean" = 0 ] && [ "$stood" = "$tries" ]; then
        # Every stretch had the host stand still: nothing was learnt of the program at this
        # rate, which is no pass and no failure of it.
        unmeasured="$unmeasured $rate"
    elif [ "$clean" = 0 ]; then
        status=1
    fi
done
if [ "$status" = 0 ] && [ -n "$unmeasured" ]; then
    echo "SKIP: the machine stood still in each of $tries stretches at$unmeasured Hz: not measured"
    exit 77
fi
exit $status
