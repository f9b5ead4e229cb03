#!/usr/bin/env bash
# Installs what is missing, builds Tarvolin twice (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test:
# the unit tests in both builds (leak checking on in the sanitizer build),
# the network lab tests in the plain build, then each fuzz harness briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --with-lab
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTARVOLIN_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
# LeakSanitizer is on (no suppressions: nothing leaks, ours or the libraries').
ASAN_OPTIONS=abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -L unit

# The readers against hostile bytes: a few seconds per harness (clang build).
scripts/fuzz.sh "${FUZZ_SECONDS:-4}"
