#!/usr/bin/env bash
# Runs the converter and the viewer on the bundled samples: builds natively (Release), generates
# the sample game folder, and converts every picture in it to each output type: plain and
# RLE-compressed bitmaps, GIF87a and transparent GIF89a, plain and interlaced. Then builds the
# Windows viewer and opens it on a sample picture under Wine: on your X display when there is
# one (the command returns when you close the window), otherwise on a virtual display, where it
# saves screenshots of the window at 100 % and 200 % and closes it again. Last it builds the web
# page and prints the command that serves it and the address to open.
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

types=(bmp rle gif gif-i gif-t gif-ti png png-t)
rm -rf "$out/samples"
for type in "${types[@]}"; do rm -rf "${out:?}/$type"; done
build/release/qelva_make_samples "$out/samples"
status=0
for type in "${types[@]}"; do
  build/release/qelvaconv -o "$out/$type" -t "$type" "$out/samples" || status=$?
done

echo
echo "sample game folder: $out/samples ($(find "$out/samples" -maxdepth 1 -type f | wc -l) files)"
for type in "${types[@]}"; do
  printf 'converted, %-7s  %s (%s files)\n' "$type:" "$out/$type" "$(ls "$out/$type" 2>/dev/null | wc -l)"
done
[ $status -eq 0 ] || echo "demo: qelvaconv reported failures (exit status $status)" >&2

echo
echo "building the viewer (Windows x64, mingw-w64) ..."
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win64 -j "$jobs" --target QelvaView >/dev/null
bash scripts/show-viewer.sh build/win64/QelvaView.exe "$out/samples/Kabe01.bin" "$out" || status=$?

echo
echo "building the web page (Emscripten) ..."
bash scripts/build-web.sh >/dev/null
echo "the web page is in $root/build/web/site/; serve it with"
echo "  python3 -m http.server 8000 --bind 127.0.0.1 --directory $root/build/web/site"
echo "and open http://127.0.0.1:8000/ in a browser; choose the folder $out/samples there."
exit $status
