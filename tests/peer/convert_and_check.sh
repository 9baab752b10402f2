#!/usr/bin/env bash
# Generates the sample game folder with its truths, converts the whole folder with qelvaconv,
# and checks every converted file with the independent decoders.
# usage: convert_and_check.sh MAKE_SAMPLES QELVACONV WORK_DIR TYPE
set -euo pipefail
make_samples=$1 qelvaconv=$2 work=$3 type=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
"$make_samples" --truth "$work/truth" "$work/samples" > /dev/null
"$qelvaconv" -t "$type" -o "$work/out" "$work/samples"
/usr/bin/python3 "$here/check_outputs.py" "$work/truth" "$work/out" bmp
