#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ (or $1): the number reader,
# the bit-code dialog's OK rules, the remote interface's SCPI interpreter over the memory
# instrument, and the remote control over the generator itself (generator_fuzz, on SDL's
# dummy driver). They need only the Qt-free sources they test, so they are compiled
# directly, with the fuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
#
# Run one:  build-fuzz/read_number_fuzz -max_total_time=60 build-fuzz/corpus-read_number
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-$root/build-fuzz}
mkdir -p "$out"

cxx=${CXX_FUZZ:-$(command -v clang++-14 || command -v clang++)}
launcher=()
if command -v ccache >/dev/null; then launcher=(ccache); fi
flags=(-std=c++20 -gline-tables-only -O1 -fno-omit-frame-pointer
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
    -Wall -Wextra -Werror
    -I"$root/src/synth" -I"$root/src/bitcode" -I"$root/src/remote" -I"$root/tests/doubles")
# *IDN? names the project's version, kept once in the top-level project().
version=$(sed -n 's/^project(Vellox VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

echo "== fuzz: $cxx"
# Every compile is a job of its own, as many at once as there are cores (VELLOX_JOBS).
jobs=${VELLOX_JOBS:-$(nproc)}
rm -f "$out/failed"
job() {
    ("$@" || touch "$out/failed") &
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
}
finish() {
    wait
    if [ -e "$out/failed" ]; then
        echo "== fuzz: a compile failed" >&2
        exit 1
    fi
}

# Every source once, into an object of its own; the targets share them. (Each target compiled
# its sources whole before: the SCPI interpreter twice, the number reader three times.)
mkdir -p "$out/obj" "$out/synth"
object() {
    echo "$out/obj/$(basename "$(dirname "$1")")-$(basename "$1" .cpp).o"
}
shared=("$root/src/synth/NumberText.cpp" "$root/src/bitcode/BitCodeRules.cpp" "$root"/src/remote/*.cpp
    "$root/tests/doubles/MemoryInstrument.cpp" "$root"/src/engine/*.cpp "$root"/src/audio/*.cpp
    "$root"/fuzz/*_fuzz.cpp)
for src in "${shared[@]}"; do
    job "${launcher[@]}" "$cxx" "${flags[@]}" -DVELLOX_VERSION="\"$version\"" \
        -I"$root/src/audio" -I"$root/src/engine" $(pkg-config --cflags sdl2) -c "$src" -o "$(object "$src")"
done
remote_objects=()
for src in "$root"/src/remote/*.cpp; do remote_objects+=("$(object "$src")"); done
engine_objects=()
for src in "$root"/src/engine/*.cpp "$root"/src/audio/*.cpp; do engine_objects+=("$(object "$src")"); done
number=$(object "$root/src/synth/NumberText.cpp")
rules=$(object "$root/src/bitcode/BitCodeRules.cpp")

# The remote control over the generator itself, restarting sound on SDL's dummy driver. The
# synthesis is proven by its own tables and sanitizer runs, is by far the longest to compile
# with the sanitizers, and its vector engine is written for GCC: it is compiled plainly with
# the program's compiler (instrumented code calls it as any library), or taken from a tree
# that has it already (VELLOX_SYNTH_LIB: the normal tree's libvellox_synth.a); the remote
# control, the engine and the sound layer get the fuzzer's instrumentation.
synth_objects=()
if [ -n "${VELLOX_SYNTH_LIB:-}" ]; then
    synth_objects=("$VELLOX_SYNTH_LIB")
else
    plain_cxx=${CXX_PLAIN:-g++}
    plain=(-std=c++20 -g0 -O2 -ffp-contract=off -fno-tree-vectorize -I"$root/src/synth")
    for src in "$root"/src/synth/*.cpp; do
        case $src in */SynthPortable.cpp) [ "$(uname -m)" = x86_64 ] && continue ;; esac
        case $src in */SynthVector.cpp) [ "$(uname -m)" = x86_64 ] || continue ;; esac
        obj="$out/synth/$(basename "$src" .cpp).o"
        job "${launcher[@]}" "$plain_cxx" "${plain[@]}" -c "$src" -o "$obj"
        synth_objects+=("$obj")
    done
fi
finish
link=("$cxx" -fsanitize=fuzzer,address,undefined)
job "${link[@]}" -o "$out/read_number_fuzz" "$(object "$root/fuzz/read_number_fuzz.cpp")" "$number"
job "${link[@]}" -o "$out/bitcode_rules_fuzz" "$(object "$root/fuzz/bitcode_rules_fuzz.cpp")" \
    "$rules" "$number"
job "${link[@]}" -o "$out/scpi_fuzz" "$(object "$root/fuzz/scpi_fuzz.cpp")" "${remote_objects[@]}" \
    "$(object "$root/tests/doubles/MemoryInstrument.cpp")" "$rules" "$number"
mvec=()
if [ "$(uname -m)" = x86_64 ]; then mvec=(-lmvec); fi
job "${link[@]}" -o "$out/generator_fuzz" "$(object "$root/fuzz/generator_fuzz.cpp")" \
    "${engine_objects[@]}" "${remote_objects[@]}" "$rules" "${synth_objects[@]}" \
    $(pkg-config --libs sdl2) -ldl "${mvec[@]}"
finish

# Seeds: texts the program meets (the start values, the boxes' edge entries).
seed_texts=("1000" " 1000" "440Hz" "1234.5" "1E3" "&H3E8" "&O17" " 1 2 " "-.5" "1D-2"
    "99999999999999999999" "1E999" "" "." "20" "1000000" "19.5")
for t in read_number bitcode_rules; do
    mkdir -p "$out/corpus-$t" "$out/seeds-$t"
    i=0
    for s in "${seed_texts[@]}"; do
        printf '%s' "$s" > "$out/seeds-$t/seed$i"
        i=$((i + 1))
    done
done
# A mantissa of many digits that a huge negative exponent makes up for: 1E+100000 times
# 1E-1000000 is 0 (the last 9 bytes are the fuzzer's own numbers, not text).
{
    printf '1'
    head -c 100000 /dev/zero | tr '\0' '0'
    printf 'E-1000000'
    head -c 9 /dev/zero
} > "$out/seeds-read_number/long-exponent"
# Below the smallest double without an exponent: 400 zeros after the point.
{
    printf '.'
    head -c 400 /dev/zero | tr '\0' '0'
    printf '3'
    head -c 9 /dev/zero
} > "$out/seeds-read_number/underflow"
# Ten bits of 888.8888 us in 8.88888888888882 ms fit; shown as 888.89 us they no longer do.
printf '%s' 'XVxdXKMBAAAAAAAC2NjY2NjY2FjY2NjQ2ALY2NjY2NjY2NjY2NjY2tjY2AEAAgB6ALGhAA==' \
    | base64 -d > "$out/seeds-bitcode_rules/rounded-up-bit-length"
# The remote interface: the first byte is the fuzzer's mode (0x40: the real line limit),
# the second where the bytes are cut in two; then lines a script sends.
mkdir -p "$out/corpus-scpi" "$out/seeds-scpi"
scpi_seeds=(
    $'*IDN?\r\n'
    $'FREQ 1234;FREQ?\nSOUR2:FREQ 1.5 KHZ;VOLT MIN\n'
    $'FUNC SQU\nFUNC:SQU:DCYC 25.000000\nVOLT 0.5\nOUTP 1\nSYST:ERR?\n'
    $':SOURce1:VOLTage:LEVel:IMMediate:AMPLitude -9 DBFS;:VOLT:UNIT VRMS;:VOLT?\n'
    $'BITC \'0011\';BITC:BLEN 20 US;PER 0.5;:BITC?\n'
    $'MODE FM;NOIS 30;SWE:MODE LOG;:SRAT 48000;SYNT PREC;DITH TPDF\n'
    $'OUTP:FORM S24;:PHAS 90 DEG;:OUTP:LAT 20 MS;:VOLT:CAL:FSC 2.5\n'
    $'*ESE 255;*SRE 32;FOO;*STB?;*ESR?;*CLS;*OPC;*OPC?;*WAI;*RST;*TST?\n'
    $'FREQ? MIN;FREQ? MAX;:VOLT? DEF;:SYST:ERR:COUN?;:SYST:VERS?\n'
    $'FREQ 1E400;FREQ 1E32001\nFREQ NAN\n\x01\xff\nBITC "10""1"\n'
)
mkdir -p "$out/corpus-generator" "$out/seeds-generator"
i=0
for s in "${scpi_seeds[@]}"; do
    printf '\x40\x07%s' "$s" > "$out/seeds-scpi/seed$i"
    printf '\x08\x03%s' "$s" > "$out/seeds-scpi/short-lines$i"
    printf '\xc0\x05%s' "$s" > "$out/seeds-scpi/refusing$i"
    printf 'OUTP ON\n%s' "$s" > "$out/seeds-generator/seed$i"
    i=$((i + 1))
done
# Lines that once held every client: a thousand rate changes, an answer of 400 MB.
{
    printf 'OUTP ON;'
    for _ in $(seq 300); do printf 'SRAT 44100;SRAT 192000;'; done
    printf 'OUTP:FORM S24;OUTP:LAT 20\n'
} > "$out/seeds-generator/rates"
{
    printf "BITC:BLEN 20 US;PER 1;:BITC '"
    head -c 40000 /dev/zero | tr '\0' '1'
    printf "'\n"
    for _ in $(seq 2000); do printf 'BITC?;'; done
    printf 'BITC?\n'
} > "$out/seeds-generator/huge-answer"
# What a run once broke on, kept so that every run replays it (scripts/test copies a new
# crash here, to be committed with its fix).
for t in read_number bitcode_rules scpi generator; do
    if [ -d "$root/fuzz/crashes/$t" ]; then
        cp "$root/fuzz/crashes/$t"/* "$out/seeds-$t/" 2>/dev/null || true
    fi
done
echo "== fuzz targets built in $out"
