#!/usr/bin/env bash
# The one test command: builds and tests every configuration, stopping at the first failure.
#
#   bash scripts/test.sh            (from anywhere; build folders go to build/ in the repository)
#   bash scripts/test.sh --soak     the thousand-cycle soak of the viewer alone (build/win64)
#
# The stages, in this order:
#   - mingw-w64 x64 build                                             build/win64
#   - its tests under Wine, in the background from here on: the unit tests, the peer and fault
#     checks of qelvaconv.exe, the corpus replays, and the viewer's end-to-end tests (the real
#     QelvaView.exe driven through real X input) in shards side by side, each shard with its own
#     Xvfb and Wine prefix, and a 300-cycle soak of one viewer process (ctest -j)
#   - native Release build, unit, peer and fault tests, corpus replays     build/release
#   - the converter's files compared between Linux and Windows (every type)
#   - native clang build with ASan + UBSan and libFuzzer: the same tests,  build/sanitize
#     and every fuzz target runs its committed corpus once (-runs=0)
#   - the Wine tests joined: their output, and their time
#   - the web page (Emscripten), its binding layer under node and the      build/web
#     page in headless Chromium, against the native converter; in the
#     background from here on
#   - the release packages (scripts/release.sh: the x64 and x86 zips,      build/packages
#     whose x86 programs this kernel cannot run, the .deb, the tarball),
#     their contents checked, and the x64 zip and the .deb built at the
#     same time in a clone at another path and compared byte for byte
#   - the web page's tests joined
# The Wine tests mostly wait for windows, so the native builds compile meanwhile; the web page's
# tests wait for the browser, so the release packages build meanwhile. A background stage that
# fails stops the run at the next stage; a failing stage ends the background one. A new stage
# is a function and one line at the end, `stage "NAME" FUNCTION`: it runs beside the background
# stage started before it, if any has not been joined.
#
# Needs what scripts/setup.sh installs. QELVA_JOBS sets the parallel jobs (default: the cores, at
# most 2); QELVA_WINE_JOBS the Wine tests run side by side (default 7: four end-to-end shards, the
# soak and the converter's tests, which mostly wait).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

mode=all
case "${1:-}" in
  "") ;;
  --soak) mode=soak ;;
  *)
    echo "usage: $0 [--soak]" >&2
    exit 2
    ;;
esac

jobs=${QELVA_JOBS:-$(nproc)}
[ "$jobs" -gt 2 ] && [ -z "${QELVA_JOBS:-}" ] && jobs=2
wine_jobs=${QELVA_WINE_JOBS:-7}

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=0:detect_stack_use_after_return=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export CTEST_OUTPUT_ON_FAILURE=1

summary=()
current=
started=$SECONDS
# The stage running in the background: its name, process group, log, status file and start.
bg_name= bg_pid= bg_log= bg_status= bg_t0=

# Sends TERM to a process and to every process below it (the end-to-end launchers then end
# their Xvfb and wineserver).
end_tree() {  # PID
  local pids=("$1") i=0
  while [ $i -lt ${#pids[@]} ]; do
    # shellcheck disable=SC2207
    pids+=($(pgrep -P "${pids[$i]}" || true))
    i=$((i + 1))
  done
  kill -TERM "${pids[@]}" 2>/dev/null || true
}

on_exit() {
  local status=$?
  trap '' INT TERM
  if [ -n "$bg_pid" ]; then
    # The run ends before the background stage did: end it (its launchers end their Xvfb and
    # wineserver on the signal) and say where its output is. Its process group holds whatever
    # it starts from now on; end_tree reaches the programs that made groups of their own.
    end_tree "$bg_pid"
    kill -TERM -- "-$bg_pid" 2>/dev/null || true
    wait "$bg_pid" 2>/dev/null || true
    summary+=("stopped $bg_name (its output: $bg_log)")
    bg_pid=
  fi
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
# A run stopped from outside is no pass.
trap 'exit 130' INT
trap 'exit 143' TERM

# stage NAME COMMAND...: runs the command as one named stage and records its time. A failed
# background stage stops the run first.
stage() {
  check_background
  current=$1
  shift
  local t0=$SECONDS
  echo
  echo "==== $current ===="
  "$@"
  summary+=("ok      $current ($((SECONDS - t0)) s)")
  current=
}

# background NAME COMMAND...: starts the command as a named stage, its output into build/logs/;
# join prints the output and records the stage.
background() {
  check_background
  bg_name=$1
  shift
  mkdir -p build/logs
  bg_log=$root/build/logs/$(echo "$bg_name" | tr -cs 'A-Za-z0-9' '-' | sed 's/-*$//').log
  bg_status=$bg_log.status
  rm -f "$bg_status"
  bg_t0=$SECONDS
  echo
  echo "==== $bg_name (in the background; output in $bg_log) ===="
  # The status file holds the exit status and the stage's own time, written when it ends. The
  # stage runs in a process group of its own (set -m), so that a signal its programs send to
  # their group (CTest ending its tests) cannot reach this script.
  set -m
  ( trap - EXIT INT TERM; t0=$SECONDS; status=0; "$@" >"$bg_log" 2>&1 </dev/null || status=$?
    echo "$status $((SECONDS - t0))" >"$bg_status" ) &
  bg_pid=$!
  set +m
}

check_background() {
  if [ -n "$bg_pid" ] && [ -f "$bg_status" ] && [ "$(cut -d' ' -f1 "$bg_status")" != 0 ]; then
    join
  fi
}

join() {
  [ -n "$bg_pid" ] || return 0
  current=$bg_name
  wait "$bg_pid" || true
  bg_pid=
  echo
  echo "==== $bg_name (joined) ===="
  cat "$bg_log"
  local status seconds
  read -r status seconds <"$bg_status" 2>/dev/null || status=1
  [ "$status" = 0 ] || return "$status"
  summary+=("ok      $bg_name ($seconds s, beside the stages above; joined after $((SECONDS - bg_t0)) s)")
  current=
}

configure_and_build() {  # DIR CMAKE-ARGS...
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j "$jobs"
}

run_ctest() {  # DIR [CTEST-ARGS...]
  local dir=$1
  shift
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --no-tests=error "$@"
}

native_release() {
  configure_and_build build/release -DCMAKE_BUILD_TYPE=Release
  run_ctest build/release
}

# One clang build with ASan + UBSan serves the unit tests and the fuzz targets: with the tests on,
# each target's corpus replay is a CTest test running the libFuzzer program.
native_sanitize() {
  CC=clang CXX=clang++ configure_and_build build/sanitize -DCMAKE_BUILD_TYPE=Debug \
    -DQELVA_SANITIZE=ON -DQELVA_FUZZ=ON -DQELVA_BENCH=OFF
  run_ctest build/sanitize
}

win64_build() {
  configure_and_build build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x64.cmake -DCMAKE_BUILD_TYPE=Release
}

# Every test of the x64 build but the long soak, several at once: each end-to-end shard and the
# soak have their own Xvfb and Wine prefix, the other Wine tests share one.
# Under Wine, with several prefixes starting side by side, a test has now and then stopped on
# Wine itself (a process it would not create, once a soak that never got past its first cycle):
# a failed test runs once more, and CTest's output keeps the failure for the record.
win64_tests() {
  ctest --test-dir build/win64 -j "$wine_jobs" -LE soak --output-on-failure --no-tests=error \
    --repeat until-pass:2
}

# The same files from the Linux and the Windows converter, for every type.
same_on_both() {
  bash tests/peer/same_on_both.sh build/release/qelva_make_samples build/release/qelvaconv \
    build/win64/tests/run-qelvaconv.sh build/win64/same-on-both
}

soak() {
  run_ctest build/win64 -L soak
}

web_page() {
  QELVA_JOBS=$jobs bash scripts/build-web.sh
  bash web/tests/run.sh build/web/site build/release build/web/test-work
}

# Every package, built as scripts/release.sh builds it (its x86 programs are the x86 build), its
# contents checked, and the x64 zip and the .deb built at the same time in a clone at another
# path: the same bytes (tests/release/reproducible.sh runs the contents check too).
release_packages() {
  bash tests/release/reproducible.sh --beside "QELVA_JOBS=$jobs bash scripts/release.sh" \
    build/packages
}

if [ "$mode" = soak ]; then
  stage "Windows x64 build (mingw-w64)" win64_build
  stage "the thousand-cycle soak of the viewer under Wine" soak
  exit 0
fi

stage "Windows x64 build (mingw-w64)" win64_build
background "Windows x64 unit, peer, fault and end-to-end tests under Wine" win64_tests
stage "native Release build + unit tests" native_release
stage "Linux and Windows converters write the same bytes" same_on_both
stage "native clang ASan+UBSan build + unit tests + every corpus through libFuzzer" native_sanitize
join
background "web page (Emscripten) + binding tests under node + page tests in headless Chromium" web_page
stage "release packages + their contents + the x64 zip and the .deb built again elsewhere, the same bytes" release_packages
join
