#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Long soak: in one process, 200 automatic test runs ("Повторить тест") and
# 100 openings of each tool window against the loopback test servers; prints
# descriptors, resident memory, timers and socket notifiers after the warm-up
# and at the end, and fails when anything was left behind.
#
#   scripts/soak.sh [runs] [openings-per-window]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-200}
opens=${2:-100}
build=${SOAK_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target test_soak >/dev/null

run=("$build/tests/test_soak")
# A private network namespace keeps port 5060 free of other programs.
if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
  run=(unshare -n sh -c 'ip link set lo up && exec "$0"' "$build/tests/test_soak")
fi
start=$(date +%s)
status=0
TARVOLIN_SOAK_RUNS=$runs TARVOLIN_SOAK_OPENS=$opens QT_QPA_PLATFORM=offscreen "${run[@]}" \
  >"$build/soak.log" 2>&1 || status=$?
sed -n 's/^.*soak: /soak: /p' "$build/soak.log"
grep -E '^(FAIL|Totals)' "$build/soak.log" || true
echo "soak: $(( $(date +%s) - start )) s, log $build/soak.log"
exit "$status"
