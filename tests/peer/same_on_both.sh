#!/usr/bin/env bash
# The converter writes the same bytes on Linux and on Windows: the sample folder (damaged files
# included) converted with -r into every type by the native qelvaconv and by qelvaconv.exe under
# Wine must give the same files, byte for byte, and the same exit status.
# usage: same_on_both.sh MAKE_SAMPLES NATIVE_QELVACONV WINDOWS_QELVACONV_LAUNCHER WORK_DIR
set -euo pipefail
make_samples=$1 native=$2 work=$4
windows=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
rm -rf "$work"
mkdir -p "$work"
"$make_samples" "$work/samples" > /dev/null
status=0
for type in bmp rle gif gif-i gif-t gif-ti png png-t; do
  set +e
  "$native" -q -r -t "$type" -o "$work/linux-$type" "$work/samples" 2> /dev/null
  linux_status=$?
  (cd "$work" && "$windows" -q -r -t "$type" -o "windows-$type" samples 2> /dev/null)
  windows_status=$?
  set -e
  if [ "$linux_status" != "$windows_status" ]; then
    echo "same_on_both.sh: $type: exit status $linux_status on Linux, $windows_status on Windows" >&2
    status=1
  fi
  if ! diff -r "$work/linux-$type" "$work/windows-$type" > "$work/diff-$type.txt"; then
    echo "same_on_both.sh: $type: the files differ (see $work/diff-$type.txt)" >&2
    status=1
  fi
  count=$(find "$work/linux-$type" -type f 2> /dev/null | wc -l)
  if [ "$count" -eq 0 ]; then
    echo "same_on_both.sh: $type: nothing was written" >&2
    status=1
  elif [ $status -eq 0 ]; then
    echo "same_on_both.sh: $type: $count files, the same on both"
  fi
done
exit $status
