#!/usr/bin/env bash
# The web page's tests: the binding layer under node, then the page in headless Chromium.
#
#   bash web/tests/run.sh SITE_DIR NATIVE_BUILD_DIR WORK_DIR [page_test.py arguments]
#
# NATIVE_BUILD_DIR holds qelva_make_samples and qelvaconv (build/release). WORK_DIR gets the
# sample folder (with a subfolder named in Japanese), the load fuzzer's corpus as game files, and the native converter's files, lists
# and messages for both, which the tests compare with the page's.
set -euo pipefail
site=$(cd "$1" && pwd)
native=$(cd "$2" && pwd)
work=$3
shift 3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
"$native/qelva_make_samples" "$work/samples" >/dev/null
# A subfolder and a picture named in Japanese: the page's names, labels and ZIP entries in UTF-8.
mkdir -p "$work/samples/ｻﾌﾞ"
cp "$work/samples/Kabe01.bin" "$work/samples/ｻﾌﾞ/kabe壁紙.bin"
/usr/bin/python3 "$here/hostile_folder.py" "$root/fuzz/corpus/load_picture" "$work/hostile"
(
  cd "$work"
  for type in bmp rle gif gif-i gif-t gif-ti png png-t; do
    "$native/qelvaconv" -q -r -j 2 -t "$type" -o "expected/$type" samples 2>/dev/null || [ $? -eq 1 ]
  done
  for folder in samples hostile; do
    "$native/qelvaconv" -l -r "$folder" >"$folder.list" 2>"$folder.err" || [ $? -eq 1 ]
  done
)

echo "-- the binding layer, under node"
QELVA_SITE=$site QELVA_WORK=$work node --test "$here/binding.test.mjs"
echo "-- the page, in headless Chromium"
/usr/bin/python3 "$here/page_test.py" "$site" "$work" "$@"
