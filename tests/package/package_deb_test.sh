#!/usr/bin/env bash
# Runs cpack on the build tree, then checks the .deb: its files, its control fields, and
# what lintian, appstreamcli, desktop-file-validate and man say about it.
# Exits 77 (skipped) when a packaging tool is missing; scripts/setup --tests installs them all.
set -euo pipefail
build=$1
version=$2

for tool in cpack dpkg-deb dpkg-shlibdeps file gzip lintian appstreamcli desktop-file-validate man; do
    if ! command -v "$tool" > /dev/null; then
        echo "package: $tool is missing (scripts/setup --tests installs it); skipped"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "package: $*" >&2
    exit 1
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack failed"
fi
arch=$(dpkg --print-architecture)
deb="$work/out/vellox_${version}_${arch}.deb"
[ -f "$deb" ] || fail "cpack made no $(basename "$deb"): $(ls "$work/out")"

# Files: "type-and-owner-mode path [-> target]" per entry.
dpkg-deb -c "$deb" \
    | awk '{ e = substr($1, 1, 4) " " $6; if ($7 == "->") e = e " -> " $8; print e }' \
        > "$work/contents"
has() { grep -qxF -- "$1" "$work/contents" || fail "the package lacks: $1"; }
has "-rwx ./usr/lib/vellox/vellox"
has "lrwx ./usr/bin/vellox -> ../lib/vellox/vellox"
has "-rw- ./usr/lib/vellox/generator.html"
for size in 16 32 48 64 128 256; do
    has "-rw- ./usr/share/icons/hicolor/${size}x${size}/apps/vellox.png"
done
has "-rw- ./usr/share/icons/hicolor/scalable/apps/vellox.svg"
has "-rw- ./usr/share/applications/vellox.desktop"
has "-rw- ./usr/share/metainfo/org.example.vellox.metainfo.xml"
has "-rw- ./usr/share/man/man1/vellox.1.gz"
has "-rw- ./usr/share/doc/vellox/copyright"
has "-rw- ./usr/share/doc/vellox/changelog.gz"
outside=$(awk '$2 != "./" && $2 !~ /^\.\/usr\//' "$work/contents")
[ -z "$outside" ] || fail "entries outside /usr: $outside"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vellox ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = sound ] || fail "Section is '$(field Section)'"
depends=$(field Depends)
for lib in libqt6widgets6 libsdl2-2.0-0 qt6-qpa-plugins fonts-liberation; do
    [[ ", $depends" == *", $lib "* || ", $depends," == *", $lib,"* ]] \
        || fail "Depends lacks $lib: $depends"
done
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description: $(field Description)"
[ -n "$(field Maintainer)" ] && [ -n "$(field Homepage)" ] || fail "no Maintainer or Homepage"

# Debian's checks of the whole package: errors fail, the rest is shown.
lintian -I --tag-display-limit 0 "$deb" > "$work/lintian" 2>&1 || true
cat "$work/lintian"
if grep -q '^E:' "$work/lintian"; then fail "lintian reports errors"; fi

# What a desktop and man read, as installed.
dpkg-deb -x "$deb" "$work/root"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.example.vellox.metainfo.xml" \
    || fail "the metainfo does not validate"
appstreamcli validate-tree --no-net "$work/root" || fail "the installed tree does not validate"
desktop-file-validate "$work/root/usr/share/applications/vellox.desktop" \
    || fail "the desktop entry does not validate"
man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$work/root/usr/share/man/man1/vellox.1.gz" 2>&1 > /dev/null)
[ -z "$man_warnings" ] || fail "man warns: $man_warnings"
page=$(MANWIDTH=80 man -P cat -l "$work/root/usr/share/man/man1/vellox.1.gz" 2> /dev/null)
[[ "$page" == *"vellox $version"* ]] || fail "the manual page does not name version $version"

# The release notes a user sees must reach this version.
zcat "$work/root/usr/share/doc/vellox/changelog.gz" | head -n 1 | grep -qF "vellox ($version)" \
    || fail "the changelog's newest entry is not $version"
grep -o '<release version="[^"]*"' "$work/root/usr/share/metainfo/org.example.vellox.metainfo.xml" \
    | head -n 1 | grep -qF "\"$version\"" || fail "the metainfo's newest release is not $version"

echo "package: 1 passed, 0 failed"
