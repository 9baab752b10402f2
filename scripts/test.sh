#!/usr/bin/env bash
# The one test command: builds and tests every configuration, stopping at the first failure.
#
#   bash scripts/test.sh            (from anywhere; build folders go to build/ in the repository)
#
#   1. native Release build, unit tests                       build/release
#   2. native build with ASan + UBSan, unit tests             build/sanitize
#   3. mingw-w64 x64 build, unit tests and the viewer's       build/win64
#      end-to-end tests under Wine on a private X display, and
#      the converter's files compared with the native build's
#   4. mingw-w64 x86 build, every target compiled and linked  build/win32 (this kernel cannot run it)
#   5. clang libFuzzer build; every fuzz target runs its         build/fuzz
#      committed corpus once (stages 1-3 replay the corpora too,
#      through plain programs built with the tests)
#   6. the web page (Emscripten), its binding layer under node     build/web
#      and the page in headless Chromium, against stage 1's
#      converter
#
# Needs what scripts/setup.sh installs. QELVA_JOBS sets the parallel jobs (default: the cores, at
# most 2).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

jobs=${QELVA_JOBS:-$(nproc)}
[ "$jobs" -gt 2 ] && [ -z "${QELVA_JOBS:-}" ] && jobs=2

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=0:detect_stack_use_after_return=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export CTEST_OUTPUT_ON_FAILURE=1

summary=()
current=
started=$SECONDS

on_exit() {
  local status=$?
  if [ $status -ne 0 ] && [ -n "$current" ]; then
    echo >&2
    echo "test.sh: FAILED in stage: $current (exit status $status)" >&2
    summary+=("FAILED  $current")
  fi
  if [ ${#summary[@]} -gt 0 ]; then
    echo
    echo "==== summary ===="
    printf '  %s\n' "${summary[@]}"
    echo "  total $((SECONDS - started)) s"
  fi
  [ $status -eq 0 ] && echo "test.sh: all stages passed"
  exit $status
}
trap on_exit EXIT

# stage NAME COMMAND...: runs the command as one named stage and records its time.
stage() {
  current=$1
  shift
  local t0=$SECONDS
  echo
  echo "==== $current ===="
  "$@"
  summary+=("ok      $current ($((SECONDS - t0)) s)")
  current=
}

configure_and_build() {  # DIR CMAKE-ARGS...
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j "$jobs"
}

run_ctest() {  # DIR
  ctest --test-dir "$1" -j "$jobs" --output-on-failure --no-tests=error
}

native_release() {
  configure_and_build build/release -DCMAKE_BUILD_TYPE=Release
  run_ctest build/release
}

native_sanitize() {
  configure_and_build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DQELVA_SANITIZE=ON -DQELVA_BENCH=OFF
  run_ctest build/sanitize
}

win64() {
  configure_and_build build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x64.cmake -DCMAKE_BUILD_TYPE=Release
  # Wine runs are serial: one Wine process runs the whole unit test program.
  ctest --test-dir build/win64 --output-on-failure --no-tests=error
  # The same files from the Linux and the Windows converter, for every type.
  bash tests/peer/same_on_both.sh build/release/qelva_make_samples build/release/qelvaconv \
    build/win64/tests/run-qelvaconv.sh build/win64/same-on-both
}

win32() {
  configure_and_build build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86.cmake -DCMAKE_BUILD_TYPE=Release
}

fuzz_replay() {
  CC=clang CXX=clang++ configure_and_build build/fuzz -DQELVA_FUZZ=ON -DQELVA_TESTS=OFF \
    -DQELVA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
  local program
  for program in build/fuzz/fuzz/qelva_fuzz_*; do
    local target=${program##*/qelva_fuzz_}
    echo "-- $target"
    "$program" -runs=0 "fuzz/corpus/$target" 2>&1 | grep -E "INITED|Done|ERROR|SUMMARY"
    [ "${PIPESTATUS[0]}" -eq 0 ]
  done
}

web_page() {
  QELVA_JOBS=$jobs bash scripts/build-web.sh
  bash web/tests/run.sh build/web/site build/release build/web/test-work
}

stage "1/6 native Release build + unit tests" native_release
stage "2/6 native ASan+UBSan build + unit tests" native_sanitize
stage "3/6 Windows x64 build (mingw-w64) + unit and end-to-end tests under Wine" win64
stage "4/6 Windows x86 build (mingw-w64), compile and link only" win32
stage "5/6 libFuzzer build (clang) + every corpus replayed" fuzz_replay
stage "6/6 web page (Emscripten) + binding tests under node + page tests in headless Chromium" web_page
