#!/usr/bin/env bash
# Remakes the seed corpora in fuzz/corpus/ from the program's own tools:
# the unit captures of tests/tools/captures, projections made with
# `quorl proj make`, collections written by CSiteData and crafted ones for
# the exports. Run it from a
# configured build folder's source tree: fuzz/make-seeds.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target quorl quorl_fuzz_seeds
seeds="$build/fuzz/quorl_fuzz_seeds"
quorl="$build/tools/quorl"
mkdir -p fuzz/corpus/stream fuzz/corpus/projection fuzz/corpus/collection
"$seeds" stream tests/tools/captures fuzz/corpus/stream
"$seeds" collection fuzz/corpus/collection
mkdir -p fuzz/corpus/export
"$seeds" export fuzz/corpus/export

bitmaps=$(mktemp -d)
trap 'rm -rf "$bitmaps"' EXIT
"$seeds" bitmaps "$bitmaps"
calibration="0,0,47.3773,8.541;24,0,47.3773,8.5418;0,12,47.3769,8.541"
"$quorl" proj make --kind gps --calibrate "$calibration" --image "$bitmaps/lines.bmp" fuzz/corpus/projection/lines.gpf
"$quorl" proj make --kind linear --calibrate "$calibration" --image "$bitmaps/lines.bmp" fuzz/corpus/projection/lines.lpf
"$quorl" proj make --kind gps --transform 0,1000000,-1500000,0,-8541000,71065950 \
  --image "$bitmaps/gradient.bmp" fuzz/corpus/projection/gradient.gpf
# A block a few bytes short of its code: loaded with its image padded.
short=fuzz/corpus/projection/short.gpf
head -c -5 fuzz/corpus/projection/lines.gpf > "$short"
length=$(( $(od -An -tu4 -j141 -N4 "$short") - 5 ))
printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((length & 255)) $((length >> 8 & 255)) \
  $((length >> 16 & 255)) $((length >> 24 & 255)))" | dd of="$short" bs=1 seek=141 conv=notrunc status=none
