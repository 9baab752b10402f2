#!/usr/bin/env bash
# Runs the converter on the bundled samples: builds natively (Release), generates the sample game
# folder, and converts every picture in it to plain and to RLE-compressed bitmaps.
#
#   bash scripts/demo.sh [OUTDIR]      (default OUTDIR: build/demo in the repository)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=${1:-build/demo}
mkdir -p "$out"
out=$(cd "$out" && pwd)
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$jobs" --target qelvaconv qelva_make_samples

rm -rf "$out/samples" "$out/bmp" "$out/rle"
build/release/qelva_make_samples "$out/samples"
status=0
build/release/qelvaconv -o "$out/bmp" -t bmp "$out/samples" || status=$?
build/release/qelvaconv -o "$out/rle" -t rle "$out/samples" || status=$?

echo
echo "sample game folder:       $out/samples ($(find "$out/samples" -maxdepth 1 -type f | wc -l) files)"
echo "converted, plain BMP:     $out/bmp ($(ls "$out/bmp" 2>/dev/null | wc -l) files)"
echo "converted, RLE8 BMP:      $out/rle ($(ls "$out/rle" 2>/dev/null | wc -l) files)"
[ $status -eq 0 ] || echo "demo: qelvaconv reported failures (exit status $status)" >&2
exit $status
