#!/usr/bin/env bash
# Runs the viewer benchmark under Wine on a private virtual display.
#
#   bash bench/viewer/run.sh [RUNS]     (default 15; builds build/win64 first)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
runs=${1:-15}
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win64 -j 2 --target QelvaView qelva_viewer_bench qelva_minimal_window qelva_make_samples >/dev/null
winpath() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${p//\//\\}"; }
samples=$(mktemp -d)
trap 'rm -rf "$samples"' EXIT
bash scripts/wine-run.sh build/win64/qelva_make_samples.exe "$(winpath "$samples")" >/dev/null
source scripts/wine-env.sh
qelva_wine_up build/win64/wineprefix
trap 'qelva_wine_down; rm -rf "$samples"' EXIT
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores; $($WINE --version)"
"$WINE" build/win64/bench/viewer/qelva_viewer_bench.exe "$(winpath build/win64/QelvaView.exe)" \
  "$(winpath build/win64/bench/viewer/qelva_minimal_window.exe)" "$(winpath "$samples")" "$runs"
