# Sourced by the real-server scripts: a recorder of a sink's monitor, and waits on what it
# has written, counted in bytes of the raw file rather than timed, so that a busy machine
# makes them later, never shorter.

# The size of FILE in bytes (0 while it does not exist).
recorded_bytes() {
    stat -c %s "$1" 2>/dev/null || echo 0
}

# Waits until FILE holds BYTES; false after SECONDS (default 10) without them.
wait_for_bytes() {
    local file=$1 bytes=$2 seconds=${3:-10} tries
    tries=$((seconds * 50))
    while [ "$(recorded_bytes "$file")" -lt "$bytes" ]; do
        tries=$((tries - 1))
        [ $tries -gt 0 ] || return 1
        sleep 0.02
    done
}

# Runs the recorder "$@" (raw frames on its standard output) into FILE in the background,
# with its pid in recorder_pid, and returns once its first bytes are in: a new stream on an
# idle null sink is held back for up to two seconds, and a sound played before it would be
# lost.
start_recording() {
    local file=$1
    shift
    "$@" >"$file" &
    recorder_pid=$!
    wait_for_bytes "$file" 1 || { echo "FAIL: the recorder delivered nothing in 10 s" >&2; return 1; }
}

# Waits until FILE has grown by SECONDS (a decimal) of frames of FRAME_BYTES at RATE: the
# server's latency's worth of sound after the player ended is in.
record_more() {
    local file=$1 seconds=$2 rate=$3 frame_bytes=$4 more
    more=$(awk -v s="$seconds" -v r="$rate" -v b="$frame_bytes" 'BEGIN { printf "%d", s * r * b }')
    wait_for_bytes "$file" $(($(recorded_bytes "$file") + more)) 30 \
        || { echo "FAIL: the recorder fell behind" >&2; return 1; }
}
