#!/usr/bin/env bash
# Converts a tree of sample game folders with qelvaconv -r, once with one job and again with
# several, and checks that the runs agree and that the tree is mirrored:
#   - the same files with the same bytes, the same standard error lines in the same order, and
#     the same exit status with 1, 2 and 4 jobs;
#   - each sample folder of the tree converted in its place: its files are those a run on that
#     folder alone (without -r) writes, byte for byte;
#   - the pictures of one copy decode with the independent decoders to exactly the pictures the
#     generator drew.
# The tree holds the generator's folder (with its broken/ subfolder of damaged files) at several
# depths, with damaged files also mixed in among the pictures of one copy.
# usage: convert_tree_check.sh MAKE_SAMPLES QELVACONV WORK_DIR TYPE [GIFLIB_DECODER]
set -euo pipefail
make_samples=$1 qelvaconv=$2 work=$3 type=$4 giflib=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=output_type.sh
source "$here/output_type.sh"
fail() { echo "convert_tree_check.sh: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
"$make_samples" --truth "$work/truth" "$work/samples" > /dev/null
tree=$work/tree
copies=(one two/three "two/three/four five" zz/six)
for copy in "${copies[@]}"; do
  mkdir -p "$tree/$copy"
  cp -R "$work/samples/." "$tree/$copy/"
done
# Damaged files whose names no picture of the folder has, beside the pictures.
for name in bg90.bin item99.bin kabe99.bin xx_cg.bin; do
  cp "$work/samples/broken/$name" "$tree/two/three/"
done

statuses=()
for jobs in 1 2 4; do
  set +e
  "$qelvaconv" -r -q -j "$jobs" -t "$type" -o "$work/out-$jobs" "$tree" 2> "$work/err-$jobs"
  statuses+=("$?")
  set -e
  [ -s "$work/err-$jobs" ] || fail "-j $jobs reported no failure, but the tree holds damaged files"
done
[ "${statuses[0]}" = 1 ] || fail "-j 1 exited with ${statuses[0]}, not 1"
for k in 1 2; do
  jobs=$((k == 1 ? 2 : 4))
  [ "${statuses[$k]}" = "${statuses[0]}" ] || fail "-j $jobs exited with ${statuses[$k]}, -j 1 with ${statuses[0]}"
  diff -r "$work/out-1" "$work/out-$jobs" > /dev/null || fail "-j $jobs wrote another tree than -j 1"
  cmp -s "$work/err-1" "$work/err-$jobs" || fail "-j $jobs reported other lines than -j 1"
done

# Each copy's place in the mirrored tree holds what converting that folder alone gives.
for copy in "${copies[@]}"; do
  rm -rf "$work/alone"
  "$qelvaconv" -q -t "$type" -o "$work/alone" "$tree/$copy" 2> /dev/null || true
  for file in "$work/alone"/*; do
    cmp -s "$file" "$work/out-1/$copy/$(basename "$file")" || fail "$copy/$(basename "$file") is not in its place"
  done
  [ -d "$work/out-1/$copy/broken" ] || fail "$copy/broken/ was not converted"
done

check=("$work/truth" "$work/out-1/two/three/four five" "$ext" --transparent "$transparent")
[ -n "$giflib" ] && check+=(--giflib "$giflib")
/usr/bin/python3 "$here/check_outputs.py" "${check[@]}"
echo "convert_tree_check.sh: $type: -j 1, 2 and 4 agree on $(find "$work/out-1" -type f | wc -l) files and $(wc -l < "$work/err-1") error lines"
