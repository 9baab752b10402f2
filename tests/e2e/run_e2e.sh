#!/usr/bin/env bash
# Runs the viewer's end-to-end tests (or a part of them) under Wine on a private X display.
#
#   tests/e2e/run_e2e.sh QelvaView.exe qelva_e2e_tests.exe qelva_make_samples[.exe] WORKDIR [GTEST-ARGS...]
#
# WORKDIR receives the Wine prefix (made once, Japanese locale: inside a build folder a copy of
# the build's template prefix), the sample game folder (written afresh by the generator) and
# artifacts/ (screenshots of failed tests). A private Xvfb at 1024x768x24 is started for the run;
# it and the prefix's wineserver are ended on every way out. A missing program is a failure,
# never a skip. Runs with different WORKDIRs are independent and may run side by side.
#
# CTest runs it once per shard, viewer_e2e_wine_<i>_of_<n>: each with a WORKDIR of its own and
# GTEST_TOTAL_SHARDS / GTEST_SHARD_INDEX set, which the test program passes to GoogleTest, so
# the shards share out the tests between them. viewer_soak_wine runs the soak for 300 cycles,
# viewer_soak_long_wine (label soak) for a thousand. By hand, with a subset of the tests:
#
#   tests/e2e/run_e2e.sh build/win64/QelvaView.exe build/win64/tests/e2e/qelva_e2e_tests.exe \
#     build/win64/qelva_make_samples.exe /tmp/qelva-e2e --gtest_filter='ArchiveChooser.*'
set -uo pipefail

if [ $# -lt 4 ]; then
  echo "usage: $0 QelvaView.exe qelva_e2e_tests.exe qelva_make_samples[.exe] WORKDIR [GTEST-ARGS...]" >&2
  exit 2
fi
viewer=$1 tests=$2 make_samples=$3 workdir=$4
shift 4

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
status=0
for f in "$viewer" "$tests" "$make_samples"; do
  if [ ! -f "$f" ]; then
    echo "run_e2e: missing $f" >&2
    status=1
  fi
done
if ! /usr/bin/python3 -c 'import Xlib' 2>/dev/null; then
  echo "run_e2e: Debian's python3-xlib is missing (run scripts/setup.sh)" >&2
  status=1
fi
for tool in Xvfb xdotool /usr/lib/wine/wine64; do
  if ! command -v "$tool" >/dev/null; then
    echo "run_e2e: $tool is missing (run scripts/setup.sh)" >&2
    status=1
  fi
done
[ $status -eq 0 ] || exit 1

mkdir -p "$workdir"
workdir=$(cd "$workdir" && pwd)
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
viewer=$(abs "$viewer") tests=$(abs "$tests") make_samples=$(abs "$make_samples")

# shellcheck source=../../scripts/wine-env.sh
source "$here/../../scripts/wine-env.sh"
trap 'qelva_wine_down' EXIT
trap 'exit 130' INT TERM
if ! qelva_wine_up "$workdir/wineprefix"; then
  echo "run_e2e: no Wine prefix or X display" >&2
  exit 1
fi
echo "run_e2e: X display $DISPLAY, Wine prefix $WINEPREFIX"
# No window manager runs, and Wine by default leaves activation to one (WM_TAKE_FOCUS): with
# UseTakeFocus off, the X focus that the tests give a window activates it, as a click would.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v UseTakeFocus /t REG_SZ /d N /f >/dev/null 2>&1 ||
  { echo "run_e2e: could not set up the Wine prefix for focus changes" >&2; exit 1; }

rm -rf "$workdir/samples"
mkdir -p "$workdir/artifacts"
rm -f "$workdir"/artifacts/*.png "$workdir"/artifacts/xdotool-*
case "$make_samples" in
  *.exe) (cd "$workdir" && "$WINE" "$make_samples" samples) ;;
  *) (cd "$workdir" && "$make_samples" samples) ;;
esac || { echo "run_e2e: the sample generator failed" >&2; exit 1; }

# The test program's own limit lies below CTest's, so that this script still cleans up. It runs
# in the background of this script, which waits for it: a signal to this script (CTest or
# scripts/test.sh ending the run) then ends the program too, and the EXIT trap its display and
# wineserver.
timeout --kill-after=10 840 "$WINE" "$tests" "$@" \
  --viewer="$viewer" --samples="$workdir/samples" --artifacts="$workdir/artifacts" \
  --xdnd="$here/tools/xdnd_drop.py" &
program=$!
trap 'kill -TERM "$program" 2>/dev/null; wait "$program"; exit 130' INT TERM
wait "$program"
status=$?
[ $status -eq 124 ] && echo "run_e2e: the tests did not finish within 840 s" >&2
ls "$workdir"/artifacts/*.png >/dev/null 2>&1 && echo "run_e2e: screenshots of failed tests in $workdir/artifacts"
exit $status
