#!/usr/bin/env bash
# Line coverage of each fuzz target's corpus over the sources it is there to test:
#
#   fuzz/coverage.sh [CORPUS_ROOT]      (default: the committed corpora, fuzz/corpus)
#
# Builds the replay programs with clang's source-based coverage in build/fuzz-coverage, runs each
# on CORPUS_ROOT/<target>, and prints llvm-cov's summary for that target's own files.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
corpora=$(cd "${1:-$root/fuzz/corpus}" && pwd)
build=$root/build/fuzz-coverage
flags="-fprofile-instr-generate -fcoverage-mapping"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQELVA_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null

declare -A sources=(
  [load_picture]="decode/ common/path_text.cpp fuzz/game_file_memory.cpp"
  [write_picture]="export/bmp.cpp export/rle.cpp export/lzw.cpp export/gif.cpp export/png.cpp export/picture_check.cpp"
  [clipboard_overlay]="shell/clipboard_dib.cpp shell/overlay.cpp"
  [command_line]="shell/command_line.cpp cli/options.cpp"
  [path_text]="common/path_text.cpp shell/save_name.cpp"
  [window_geometry]="shell/fit_window.cpp shell/overlay.cpp"
)
for target in load_picture write_picture clipboard_overlay command_line path_text window_geometry; do
  cmake --build "$build" -j "${QELVA_JOBS:-2}" --target "qelva_replay_$target" >/dev/null
  profile=$build/$target.profraw
  LLVM_PROFILE_FILE=$profile "$build/fuzz/qelva_replay_$target" "$corpora/$target" 2>/dev/null >/dev/null
  llvm-profdata-14 merge -sparse "$profile" -o "$build/$target.profdata"
  files=()
  for s in ${sources[$target]}; do
    if [ -d "$root/$s" ]; then files+=("$root/$s"*.cpp); else files+=("$root/$s"); fi
  done
  echo "== $target ($(ls "$corpora/$target" | wc -l) inputs)"
  llvm-cov-14 report "$build/fuzz/qelva_replay_$target" -instr-profile="$build/$target.profdata" \
    "${files[@]}" | sed "s|$root/||"
done
