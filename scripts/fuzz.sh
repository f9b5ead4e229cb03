#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the libFuzzer harnesses (clang, ASan + UBSan, in build-fuzz) and runs
# each of them, then prints per harness: executions, executions per second,
# coverage (cov = edges, ft = features) and crashes.
#
#   scripts/fuzz.sh [seconds-per-harness] [harness ...]
#   FUZZ_RUNS=10000000 scripts/fuzz.sh 0      # a fixed number of executions each
#
# Seeds come from fuzz/corpus/<harness>/ (left untouched); what a run finds
# grows in build-fuzz/corpus/<harness>/, crash reproducers go to
# build-fuzz/artifacts/<harness>/. Exit status 1 when any harness crashed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
shift || true
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# FUZZ_NO_BUILD=1 runs the harnesses as they are built.
if [ -z "${FUZZ_NO_BUILD:-}" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DTARVOLIN_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "${launcher[@]}" >/dev/null
  cmake --build "$build" -j"$(nproc)" >/dev/null
fi

if [ $# -gt 0 ]; then
  harnesses=("$@")
else
  harnesses=()
  for src in fuzz/fuzz_*.cpp; do
    n=$(basename "$src" .cpp)
    harnesses+=("${n#fuzz_}")
  done
fi

limits=(-max_total_time="$seconds")
[ "$seconds" = 0 ] && limits=()
[ -n "${FUZZ_RUNS:-}" ] && limits+=(-runs="$FUZZ_RUNS")

# -timeout is wall-clock time: generous, so that a busy machine (the test
# command builds and fuzzes on two cores) does not pass for a hang.
# Leaks are errors here as in the sanitizer suite.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen

failed=0
table=$(printf '%-20s %12s %9s %7s %7s %8s\n' harness executions exec/s cov ft crashes)
for h in "${harnesses[@]}"; do
  bin="$build/fuzz/fuzz_$h"
  [ -x "$bin" ] || { echo "no harness $h" >&2; exit 2; }
  work="$build/corpus/$h"
  artifacts="$build/artifacts/$h"
  log="$build/fuzz-$h.log"
  mkdir -p "$work" "$artifacts" "fuzz/corpus/$h"
  stamp=$(mktemp)
  status=0
  "$bin" "${limits[@]}" -timeout=120 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$work" "fuzz/corpus/$h" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  # slow-unit-* files only say an input took long (a busy machine): not a crash.
  crashes=$(find "$artifacts" -type f -newer "$stamp" ! -name 'slow-unit-*' | wc -l)
  rm -f "$stamp"
  if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
  table+=$(printf '\n%-20s %12s %9s %7s %7s %8s' "$h" "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$crashes")
  if [ "$crashes" -ne 0 ]; then
    failed=1
    echo "== $h crashed; log $log, reproducers in $artifacts:" >&2
    grep -E 'ERROR|property violated|runtime error|SUMMARY' "$log" | head -5 >&2 || true
  fi
done
echo "$table"
exit "$failed"
