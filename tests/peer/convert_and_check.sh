#!/usr/bin/env bash
# Generates the sample game folder with its truths, converts the whole folder with qelvaconv,
# and checks every converted file with the independent decoders.
# usage: convert_and_check.sh MAKE_SAMPLES QELVACONV WORK_DIR TYPE [GIFLIB_DECODER]
#   TYPE is a qelvaconv type (bmp, rle, gif, gif-i, gif-t, gif-ti, png, png-t); GIF files are
#   also read by GIFLIB_DECODER (qelva_giflib_decode) when it is given.
set -euo pipefail
make_samples=$1 qelvaconv=$2 work=$3 type=$4 giflib=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=output_type.sh
source "$here/output_type.sh"
rm -rf "$work"
mkdir -p "$work"
"$make_samples" --truth "$work/truth" "$work/samples" > /dev/null
"$qelvaconv" -t "$type" -o "$work/out" "$work/samples"
check=("$work/truth" "$work/out" "$ext" --transparent "$transparent")
[ -n "$giflib" ] && check+=(--giflib "$giflib")
/usr/bin/python3 "$here/check_outputs.py" "${check[@]}"
