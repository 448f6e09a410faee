#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks what a desktop needs:
# the program (reachable from bin/), its help page beside it, the icons and a valid
# desktop entry.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" > /dev/null

fail() { echo "install: $*" >&2; exit 1; }
[ -x "$prefix/bin/vellox" ] || fail "bin/vellox is missing or not executable"
program=$(readlink -f "$prefix/bin/vellox")
[ -f "$program" ] || fail "bin/vellox does not lead to the program"
[ -f "$(dirname "$program")/generator.html" ] || fail "the help page is not beside the program"
for size in 16 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/vellox.png"
    [ -f "$icon" ] || fail "icon $size is missing"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/vellox.svg" ] || fail "scalable icon is missing"
desktop="$prefix/share/applications/vellox.desktop"
[ -f "$desktop" ] || fail "desktop entry is missing"
grep -qx 'Exec=vellox' "$desktop" || fail "desktop entry does not start vellox"
grep -qx 'Icon=vellox' "$desktop" || fail "desktop entry does not name the icon"
grep -q '^Categories=.*AudioVideo;Audio;' "$desktop" || fail "desktop entry lacks its categories"
if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate "$desktop" || fail "desktop entry does not validate"
fi
echo "install: 1 passed, 0 failed"
