#!/usr/bin/env bash
# Runs one fuzz target of a QELVA_FUZZ build on a working copy of its committed corpus:
#
#   fuzz/run_campaign.sh BUILD_DIR TARGET MAX_RUNS MAX_SECONDS WORK_DIR
#
# It stops after MAX_RUNS executions or MAX_SECONDS, whichever comes first. New inputs collect in
# WORK_DIR/TARGET/corpus, findings (crashes, leaks, timeouts, out-of-memory) in
# WORK_DIR/TARGET/findings, and libFuzzer's log in WORK_DIR/TARGET/log.
set -euo pipefail
[ $# -eq 5 ] || { sed -n 2,9p "$0" >&2; exit 2; }
build=$(cd "$1" && pwd) target=$2 runs=$3 seconds=$4 work=$(mkdir -p "$5" && cd "$5" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program="$build/fuzz/qelva_fuzz_$target"
[ -x "$program" ] || { echo "run_campaign: no $program (configure with -DQELVA_FUZZ=ON)" >&2; exit 2; }

mkdir -p "$work/$target/corpus" "$work/$target/findings"
cp -n "$root/fuzz/corpus/$target"/* "$work/$target/corpus/" 2>/dev/null || true
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$work/$target"
# A finding stops the run; its input is kept in findings/ for minimising and for the corpus.
status=0
"$program" -runs="$runs" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/$target/findings/" corpus >log 2>&1 || status=$?
grep -E "^stat::|INITED|DONE|ERROR|SUMMARY" log | tail -12
ls findings
exit $status
