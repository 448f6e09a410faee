#!/usr/bin/env bash
# Installs the Debian package as a new user would, into a pristine Debian 12
# (mmdebstrap --variant=minbase bookworm) where apt resolves its Depends from Debian's
# registry, and runs it there: --version, --render, --play on SDL's disk driver, and the
# window on the host's Xvfb (its socket bound into the tree), where the window test's
# caption checks run against the fonts the package brought and the Help button must show
# the page in the program itself (no browser there). Pictures of the windows land in
# tests/package/ of the build tree.
#
#   pristine_test.sh BUILD_DIR VERSION FORMGEN_TEST
#   pristine_test.sh --prepare     only makes the day's base tree, if it is not there yet
#                                  (scripts/test does it while the program builds)
#
# Exits 77 (skipped, with the reason) without root, without the tools (scripts/setup
# --tests installs them) or when Debian's registry cannot be reached. The base tree is kept
# between runs in $VELLOX_PRISTINE_CACHE (default /var/cache/vellox-pristine), one per day
# and architecture, with the packages apt fetched; $VELLOX_DEBIAN_MIRROR names the mirror.
set -euo pipefail
prepare=0
if [ "${1:-}" = --prepare ]; then
    prepare=1
else
    build=$1
    version=$2
    formgen_test=$3
fi

started=$(date +%s)
skip() {
    echo "pristine: skipped: $*"
    exit 77
}
fail() {
    echo "pristine: $*" >&2
    exit 1
}
step() { echo "pristine: [$(($(date +%s) - started)) s] $*"; }

[ "$(id -u)" -eq 0 ] || skip "needs root for mmdebstrap, chroot and bind mounts"
for tool in mmdebstrap cpack dpkg chroot mount umount findmnt Xvfb xdotool xwd xwdtopnm \
    pnmtopng python3; do
    command -v "$tool" > /dev/null \
        || skip "$tool is missing (scripts/setup --tests installs it)"
done
[ $prepare = 1 ] || [ -x "$formgen_test" ] || fail "no window test program at $formgen_test"

mirror=${VELLOX_DEBIAN_MIRROR:-http://deb.debian.org/debian}
python3 - "$mirror" 2> /dev/null << 'EOF' || skip "Debian's registry ($mirror) cannot be reached"
import sys, urllib.request
urllib.request.urlopen(sys.argv[1] + "/dists/bookworm/InRelease", timeout=30).read(64)
EOF

arch=$(dpkg --print-architecture)
cache=${VELLOX_PRISTINE_CACHE:-/var/cache/vellox-pristine}
base="$cache/bookworm-$arch-$(date +%Y%m%d).tar"
mkdir -p "$cache/archives/partial"
work=$(mktemp -d /var/tmp/vellox-pristine.XXXXXX)
root="$work/root"
mounts=()
pids=()
xvfb=""

mounted_under_root() { findmnt -rn -o TARGET | grep -E "^$root(/|$)" || true; }

cleanup() {
    local status=$?
    set +e
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
    # Whatever else still runs inside the tree (xdg-open's children, say), by its id.
    if [ -d "$root" ]; then
        for proc in /proc/[0-9]*; do
            [ "$(readlink "$proc/root" 2> /dev/null)" = "$root" ] && kill -9 "${proc#/proc/}" 2> /dev/null
        done
    fi
    [ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null
    wait 2> /dev/null
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount "${mounts[i]}" 2> /dev/null || umount -l "${mounts[i]}"
    done
    # Never delete through a mount that is still there: /dev is one of them.
    if [ -n "$(mounted_under_root)" ]; then
        echo "pristine: still mounted, $work left in place: $(mounted_under_root)" >&2
        [ "$status" -eq 0 ] && status=1
    else
        rm -rf "$work"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

bind() {
    mkdir -p "$root$2"
    mount --bind "$1" "$root$2"
    mounts+=("$root$2")
}

in_tree() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

# The base tree: made once a day, unpacked afresh for every run. One run makes it; another
# that wants it meanwhile waits for it (the lock goes with this shell's descriptor 9).
exec 9> "$cache/base.lock"
flock 9
if [ ! -f "$base" ]; then
    # mmdebstrap, not debootstrap: apt's parallel downloads and one dpkg run make the same
    # minimal system in a tenth of the time (38 s against 5 min on a fresh machine).
    step "mmdebstrap --variant=minbase bookworm ($mirror)"
    if ! mmdebstrap --variant=minbase --format=tar bookworm "$base.part" "deb $mirror bookworm main" \
        > "$work/mmdebstrap.log" 2>&1; then
        rm -f "$base.part"
        tail -n 20 "$work/mmdebstrap.log" >&2
        grep -qE "Failed to fetch|Could not resolve|Temporary failure resolving|Could not connect" \
            "$work/mmdebstrap.log" && skip "mmdebstrap could not download from $mirror"
        fail "mmdebstrap failed"
    fi
    rm -f "$cache"/bookworm-"$arch"-*.tar
    mv "$base.part" "$base"
    base_from="made by mmdebstrap"
else
    base_from="from $base"
fi
exec 9>&-
if [ $prepare = 1 ]; then
    step "base tree ready ($base_from)"
    exit 0
fi

# The package, from this build tree.
out="$build/tests/package"
mkdir -p "$out"
step "making the package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" > "$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$work/deb/vellox_${version}_${arch}.deb"
[ -f "$deb" ] || fail "cpack made no $(basename "$deb")"

step "unpacking the base tree ($base_from)"
mkdir "$root"
tar -C "$root" -xf "$base"

cp /etc/resolv.conf "$root/etc/resolv.conf"
# No service starts inside the tree.
printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
mount -t proc proc "$root/proc"
mounts+=("$root/proc")
bind /dev /dev
bind "$cache/archives" /var/cache/apt/archives
mkdir -p /tmp/.X11-unix
bind /tmp/.X11-unix /tmp/.X11-unix

# As a user installs it: apt-get install ./vellox.deb, with what it depends on and
# recommends, from the registry.
step "apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
in_tree apt-get update -q > "$work/apt.log" 2>&1 \
    || { tail -n 20 "$work/apt.log" >&2; skip "apt-get update cannot reach the registry"; }
# The tree is thrown away after the test: dpkg need not sync every file it unpacks.
in_tree env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    -o Dpkg::Options::=--force-unsafe-io "/tmp/$(basename "$deb")" \
    >> "$work/apt.log" 2>&1 || { tail -n 30 "$work/apt.log" >&2; fail "apt-get install failed"; }
in_tree dpkg-query -W -f '${Status}' fonts-liberation | grep -q "install ok installed" \
    || fail "fonts-liberation did not come with the package"
installed=$(in_tree dpkg-query -W -f '${binary:Package}\n' | wc -l)
step "installed: $installed packages in the tree"

# The command line.
[ "$(in_tree vellox --version)" = "vellox $version" ] || fail "--version says '$(in_tree vellox --version)'"
in_tree vellox --render /tmp/tone.wav --seconds 1 --f1 1000 || fail "--render failed"
python3 - "$root/tmp/tone.wav" << 'EOF' || fail "--render wrote no 1-second stereo 16-bit file"
import sys, wave
with wave.open(sys.argv[1]) as w:
    assert (w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes()) == (2, 2, 98000, 98000), w.getparams()
EOF
in_tree env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/tmp/play.raw vellox --play --seconds 2 \
    || fail "--play on SDL's disk driver failed"
python3 - "$root/tmp/play.raw" << 'EOF' || fail "--play wrote silence or nothing"
import sys
data = open(sys.argv[1], "rb").read()
assert len(data) > 10000 and data.count(0) < len(data) * 0.9, len(data)
EOF
step "--version, --render and --play work"

# A display: the host's Xvfb, its socket seen in the tree through the bind above.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 300); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
display=":$(cat "$work/display")"
[ "$display" != ":" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY="$display" # for xdotool and xwd, here on the host

# The window test's caption checks, with the fonts the package brought: every caption
# fits, and reads under a dark desktop palette. Its library is the only thing added.
step "window test on $display"
in_tree env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends libqt6test6 \
    >> "$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log" >&2; fail "libqt6test6 did not install"; }
mkdir -p "$root/opt/vellox-tests" "$root/tmp/grabs"
cp "$formgen_test" "$root/opt/vellox-tests/"
missing=$(in_tree ldd /opt/vellox-tests/formgen_test | grep "not found" || true)
[ -z "$missing" ] || fail "the window test lacks libraries in the tree: $missing"
if ! in_tree env DISPLAY="$display" QT_QPA_PLATFORM=xcb VELLOX_GRAB_DIR=/tmp/grabs \
    XDG_RUNTIME_DIR=/tmp /opt/vellox-tests/formgen_test captionsFit captionsReadUnderADarkPalette \
    > "$work/formgen.log" 2>&1; then
    cat "$work/formgen.log"
    fail "the window test failed on the pristine system"
fi
grep -E "fits:|CUT:|^Totals" "$work/formgen.log"
cp "$root/tmp/grabs/formgen-dark-palette.png" "$out/pristine-dark-palette.png"

# The program itself: its window, then Help, which must show the page in the program.
step "the program's window and Help"
mkdir -p -m 700 "$root/tmp/home"
chroot "$root" env -i PATH=/usr/bin:/bin HOME=/tmp/home LANG=C.UTF-8 DISPLAY="$display" \
    XDG_RUNTIME_DIR=/tmp/home SDL_AUDIODRIVER=dummy vellox > "$work/vellox.log" 2>&1 &
vellox=$!
pids+=("$vellox")
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^ Korvane  Vellox$' | head -n 1) \
    || fail "the window did not appear: $(cat "$work/vellox.log")"
[ "$(xdotool getwindowpid "$window")" = "$vellox" ] || fail "the window is not the program's"
xwd -silent -id "$window" | xwdtopnm 2> /dev/null | pnmtopng > "$out/pristine-window.png"
# The Help button's middle, in the window's own coordinates: in the front panel, which sits
# under the menu bar (its height is the font's: the window less the panel's 237 pixels).
height=$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^HEIGHT=//p')
[ -n "$height" ] && [ "$height" -ge 237 ] || fail "the window is $height pixels high"
xdotool mousemove --window "$window" 32 $((133 + height - 237)) click 1
viewer=$(timeout 60 xdotool search --sync --onlyvisible --name '^Korvane Vellox - Help$' | head -n 1) \
    || fail "Help showed no page: $(cat "$work/vellox.log")"
[ "$(xdotool getwindowpid "$viewer")" = "$vellox" ] || fail "the page is shown by another program"
# The page's first paint: the picture is taken once two grabs in a row agree and hold more
# than a blank window's colours.
grab() { xwd -silent -id "$viewer" | xwdtopnm > "$1" 2> /dev/null; }
painted() {
    python3 - "$1" << 'EOF'
import sys
data = open(sys.argv[1], "rb").read()
pixels = data.split(maxsplit=4)[4]  # after P6, width, height and the maximum
sys.exit(0 if len({pixels[k:k + 3] for k in range(0, len(pixels), 3)}) > 2 else 1)
EOF
}
grab "$work/help-a.ppm"
for _ in $(seq 1 100); do
    sleep 0.1
    grab "$work/help-b.ppm"
    cmp -s "$work/help-a.ppm" "$work/help-b.ppm" && painted "$work/help-b.ppm" && break
    cp "$work/help-b.ppm" "$work/help-a.ppm"
done
pnmtopng < "$work/help-b.ppm" > "$out/pristine-help.png"
kill -0 "$vellox" || fail "the program ended"
echo "pristine: Help ran $(in_tree sh -c 'command -v xdg-open || echo "no xdg-open"'), which said:"
sed 's/^/    /' "$work/vellox.log"
step "the page is shown in the program's own viewer"

# The kept packages: only those the registry still has.
in_tree apt-get autoclean -q > /dev/null 2>&1 || true
step "done: pictures in $out (pristine-window.png, pristine-help.png, pristine-dark-palette.png)"
echo "pristine: 1 passed, 0 failed"
