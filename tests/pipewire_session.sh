#!/usr/bin/env bash
# Runs a test program against a private PipeWire session with a null sink: the pipewire
# daemon, its session manager wireplumber and pipewire-pulse, PipeWire's PulseAudio server,
# on a D-Bus session bus of their own.
#
# usage: pipewire_session.sh [--driver pulseaudio|pipewire] [--rate HZ] TEST_PROGRAM [ARGS...]
#        pipewire_session.sh --start-server   (from inside a session: pipewire-pulse again)
#
# The program sees the same environment as under pulse_session.sh:
#   VELLOX_PULSE_SINK     the null sink's name (its monitor is "<sink>.monitor")
#   VELLOX_PULSE_PID      pipewire-pulse's process id (to kill it on purpose)
#   VELLOX_PULSE_SESSION  this script: --start-server starts pipewire-pulse again (ending
#                         one that still runs), brings the sink back and prints the new pid
#   SDL_AUDIODRIVER       --driver: pulseaudio (SDL talks to pipewire-pulse, the default)
#                         or pipewire (SDL talks to the pipewire daemon itself)
# PipeWire runs its whole graph at one rate and resamples every stream to it; the session
# runs it at --rate only (default 44100 Hz, PulseAudio's own default and the rate the
# window's recorder asks for), so that the sink has the rate a test expects.
# Every daemon is stopped on the way out, whatever happens.
# Exit 77 (skipped) only when the PipeWire, D-Bus or PulseAudio client programs are not
# installed.
set -euo pipefail

sink=vellox_e2e

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

running() {
    local state
    state=$(awk '/^State:/ { print $2 }' "/proc/$1/status" 2>/dev/null || true)
    # A daemon killed on purpose may stay a zombie when nobody reaps it (an orphan under
    # an init that does not wait): it holds no socket any more.
    [ -n "$state" ] && [ "$state" != Z ]
}

show_logs() {
    local log
    for log in "$VELLOX_PIPEWIRE_WORK"/*.log; do
        [ -s "$log" ] || continue
        echo "--- $(basename "$log") ---"
        tail -30 "$log"
    done
}

# Starts a daemon in the background with its output in a log of its own; the pid goes to
# the list the session ends with.
spawn() {
    local name=$1
    shift
    "$@" </dev/null >>"$VELLOX_PIPEWIRE_WORK/$name.log" 2>&1 &
    spawned=$!
    echo "$spawned" >>"$VELLOX_PIPEWIRE_WORK/daemons"
    # Killed on the way out on purpose: no word from the shell about it.
    disown "$spawned"
}

# "index  name  driver  format channels rate  state" of the null sink, if it is there.
sink_line() {
    pactl list short sinks 2>/dev/null | awk -v s="$sink" '$2 == s'
}

start_pulse_server() {
    local old pid
    old=$(cat "$VELLOX_PIPEWIRE_WORK/pulse.pid" 2>/dev/null || true)
    if [ -n "$old" ] && running "$old"; then
        kill -9 "$old" 2>/dev/null || true
        for _ in $(seq 1 50); do running "$old" || break; sleep 0.1; done
        running "$old" && fail "the previous pipewire-pulse ($old) does not end"
    fi
    # A server that died leaves its socket and pid file behind.
    rm -f "$XDG_RUNTIME_DIR/pulse/native" "$XDG_RUNTIME_DIR/pulse/pid"
    # pipewire-pulse looks for its directory and then makes it, and gives up when a client
    # polling for the server has made it in between: it is there before it starts.
    mkdir -p -m 700 "$XDG_RUNTIME_DIR/pulse"
    spawn pipewire-pulse pipewire-pulse
    pid=$spawned
    echo "$pid" >"$VELLOX_PIPEWIRE_WORK/pulse.pid"
    for _ in $(seq 1 100); do
        if pactl info >/dev/null 2>&1; then break; fi
        running "$pid" || break
        sleep 0.1
    done
    if ! pactl info >/dev/null 2>&1; then
        show_logs >&2
        fail "pipewire-pulse did not answer within 10 s"
    fi

    # The null sink belongs to the pipewire-pulse that loaded it and goes with it.
    if [ -z "$(sink_line)" ]; then
        pactl load-module module-null-sink sink_name="$sink" rate="$rate" channels=2 \
            channel_map=front-left,front-right >/dev/null
    fi
    # wireplumber keeps the default sink; it may not have started listening yet.
    for _ in $(seq 1 100); do
        pactl set-default-sink "$sink" 2>/dev/null || true
        if [ "$(pactl get-default-sink 2>/dev/null)" = "$sink" ]; then break; fi
        sleep 0.1
    done
    if [ "$(pactl get-default-sink)" != "$sink" ]; then
        show_logs >&2
        fail "$sink is not the default sink"
    fi
    if ! [[ "$(sink_line)" =~ [[:space:]]${rate}Hz([[:space:]]|$) ]]; then
        fail "$sink is not at $rate Hz: $(sink_line)"
    fi
    echo "$pid"
}

if [ "${1:-}" = "--start-server" ]; then
    [ -n "${VELLOX_PIPEWIRE_WORK:-}" ] || { echo "--start-server outside a session" >&2; exit 2; }
    rate=$(cat "$VELLOX_PIPEWIRE_WORK/rate")
    start_pulse_server
    exit 0
fi

driver=pulseaudio
rate=44100
while [ $# -gt 0 ]; do
    case $1 in
        --driver) driver=$2; shift 2 ;;
        --rate) rate=$2; shift 2 ;;
        *) break ;;
    esac
done
case $driver in
    pulseaudio | pipewire) ;;
    *) echo "unknown driver $driver (pulseaudio or pipewire)" >&2; exit 2 ;;
esac
[[ $rate =~ ^[1-9][0-9]*$ ]] || { echo "--rate takes a rate in Hz, not '$rate'" >&2; exit 2; }
if [ $# -lt 1 ]; then
    echo "usage: pipewire_session.sh [--driver pulseaudio|pipewire] [--rate HZ]" \
        "TEST_PROGRAM [ARGS...]" >&2
    exit 2
fi

for prog in pipewire wireplumber pipewire-pulse pw-metadata dbus-daemon pactl parec; do
    if ! command -v "$prog" >/dev/null 2>&1; then
        echo "SKIP: $prog is not installed (Debian packages pipewire, pipewire-pulse," \
            "wireplumber, dbus-daemon, pulseaudio-utils)"
        exit 77
    fi
done

work=$(mktemp -d)
cleanup() {
    if [ -f "$work/daemons" ]; then
        while read -r pid; do
            kill -9 "$pid" 2>/dev/null || true
        done <"$work/daemons"
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Everything of our own: sockets in a fresh runtime directory, a fresh home, our
# configuration on top of the packaged one, and no way back to the desktop's servers.
mkdir -p "$work/run" "$work/home" "$work/config" "$work/state"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run
export HOME=$work/home
export XDG_CONFIG_HOME=$work/config
export XDG_STATE_HOME=$work/state
export VELLOX_PIPEWIRE_WORK=$work
unset PULSE_SERVER PULSE_SINK PULSE_RUNTIME_PATH PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR
unset PIPEWIRE_CONFIG_DIR PIPEWIRE_CONFIG_NAME
echo "$rate" >"$work/rate"

mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d"
cat >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/vellox.conf" <<EOF
context.properties = {
    default.clock.rate          = $rate
    default.clock.allowed-rates = [ $rate ]
}
EOF
# No sound cards, cameras or Bluetooth: a desktop's own session owns those. The files are
# read in name order with the packaged ones: after the "50-*-config" that enable the
# monitors, before the "90-enable-all" that starts them.
mkdir -p "$XDG_CONFIG_HOME/wireplumber/main.lua.d" "$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d"
cat >"$XDG_CONFIG_HOME/wireplumber/main.lua.d/51-vellox.lua" <<EOF
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
EOF
echo "bluez_monitor.enabled = false" >"$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d/51-vellox.lua"
# A client that finds no server must not start a PulseAudio of its own in its place.
echo "autospawn = no" >"$work/client.conf"
export PULSE_CLIENTCONFIG=$work/client.conf

spawn dbus-daemon dbus-daemon --session --nofork --nopidfile \
    --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-address=3 3>"$work/bus"
for _ in $(seq 1 100); do
    [ -s "$work/bus" ] && break
    sleep 0.1
done
[ -s "$work/bus" ] || { show_logs >&2; fail "dbus-daemon did not start within 10 s"; }
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus")
export DBUS_SESSION_BUS_ADDRESS

spawn pipewire pipewire
pipewire_pid=$spawned
for _ in $(seq 1 100); do
    [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break
    running "$pipewire_pid" || break
    sleep 0.1
done
if [ ! -S "$XDG_RUNTIME_DIR/pipewire-0" ]; then
    show_logs >&2
    fail "pipewire did not start within 10 s"
fi
# The drop-in above must have been read, or streams are resampled to 48000 Hz.
clock=$(pw-metadata -n settings 0 clock.rate 2>/dev/null | sed -n "s/.*value:'\([0-9]*\)'.*/\1/p")
if [ "$clock" != "$rate" ]; then
    show_logs >&2
    fail "PipeWire's clock runs at '$clock' Hz, not $rate Hz"
fi
spawn wireplumber wireplumber

pid=$(start_pulse_server)
export VELLOX_PULSE_PID=$pid
export VELLOX_PULSE_SINK=$sink
VELLOX_PULSE_SESSION=$(readlink -f "$0")
export VELLOX_PULSE_SESSION
export SDL_AUDIODRIVER=$driver
export QT_QPA_PLATFORM=offscreen

status=0
timeout 280 "$@" || status=$?
if [ "$status" -ne 0 ]; then
    show_logs
fi
exit "$status"
