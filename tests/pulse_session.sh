#!/usr/bin/env bash
# Runs a test program against a private PulseAudio server with a null sink.
#
# usage: pulse_session.sh TEST_PROGRAM [ARGS...]
#        pulse_session.sh --start-server     (from inside a session: one more server)
#
# The session gets a fresh XDG_RUNTIME_DIR and HOME, starts the server, waits until it
# answers and runs the program with SDL_AUDIODRIVER=pulseaudio and Qt offscreen. The
# program learns about the session from the environment:
#   VELLOX_PULSE_SINK     the null sink's name (its monitor is "<sink>.monitor")
#   VELLOX_PULSE_PID      the server's process id (to kill it on purpose)
#   VELLOX_PULSE_SESSION  this script, to start another server with --start-server,
#                         which prints the new server's process id
# Every server started in the session is stopped on the way out, whatever happens.
# Exit 77 (skipped) only when the PulseAudio programs are not installed.
set -euo pipefail

sink=vellox_e2e

# A server killed on purpose may stay a zombie when nobody reaps it (an orphan under an
# init that does not wait); its pid file then still names a "running" daemon and a new
# server refuses to start. Such a file is removed.
drop_stale_pid_file() {
    local file=$XDG_RUNTIME_DIR/pulse/pid old state
    [ -f "$file" ] || return 0
    old=$(cat "$file" 2>/dev/null || true)
    state=$(awk '/^State:/ { print $2 }' "/proc/$old/status" 2>/dev/null || true)
    if [ -z "$state" ] || [ "$state" = Z ]; then
        rm -f "$file"
    fi
}

start_server() {
    drop_stale_pid_file
    pulseaudio --system=false --exit-idle-time=-1 --disallow-exit -n \
        --load="module-null-sink sink_name=$sink" --load=module-native-protocol-unix \
        --daemonize=no --log-target=file:"$VELLOX_PULSE_WORK/pulse.$$.$RANDOM.log" \
        </dev/null >/dev/null 2>&1 &
    local pid=$!
    echo "$pid" >>"$VELLOX_PULSE_WORK/servers"
    for _ in $(seq 1 100); do
        if pactl info >/dev/null 2>&1; then
            pactl set-default-sink "$sink"
            # A recorder of the session's own keeps the null sink awake: on an idle one a new
            # stream is held back for up to two seconds, and every test starts a recorder.
            parec -d "$sink.monitor" --latency-msec=50 --raw </dev/null >/dev/null 2>&1 &
            echo "$!" >>"$VELLOX_PULSE_WORK/servers"
            echo "$pid"
            return 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then break; fi
        sleep 0.1
    done
    echo "FAIL: PulseAudio did not come up within 10 s" >&2
    cat "$VELLOX_PULSE_WORK"/pulse.*.log >&2 2>/dev/null || true
    return 1
}

if [ "${1:-}" = "--start-server" ]; then
    [ -n "${VELLOX_PULSE_WORK:-}" ] || { echo "--start-server outside a session" >&2; exit 2; }
    start_server
    exit $?
fi

if [ $# -lt 1 ]; then
    echo "usage: pulse_session.sh TEST_PROGRAM [ARGS...]" >&2
    exit 2
fi

for prog in pulseaudio pactl parec; do
    if ! command -v "$prog" >/dev/null 2>&1; then
        echo "SKIP: $prog is not installed (Debian packages pulseaudio, pulseaudio-utils)"
        exit 77
    fi
done

work=$(mktemp -d)
cleanup() {
    if [ -f "$work/servers" ]; then
        while read -r pid; do
            kill -9 "$pid" 2>/dev/null || true
        done <"$work/servers"
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# A server of our own: its socket in a fresh runtime directory, no user configuration.
mkdir -p "$work/run" "$work/home"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run
export HOME=$work/home
export VELLOX_PULSE_WORK=$work
unset PULSE_SERVER PULSE_SINK

pid=$(start_server)
export VELLOX_PULSE_PID=$pid
export VELLOX_PULSE_SINK=$sink
export VELLOX_PULSE_SESSION=$(readlink -f "$0")
export SDL_AUDIODRIVER=pulseaudio
export QT_QPA_PLATFORM=offscreen

status=0
timeout 280 "$@" || status=$?
if [ "$status" -ne 0 ]; then
    echo "--- PulseAudio logs ---"
    cat "$work"/pulse.*.log 2>/dev/null | tail -50 || true
fi
exit "$status"
