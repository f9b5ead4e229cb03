#!/usr/bin/env bash
# Installs what is missing, builds Tarvolin twice (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test:
# the unit tests in both builds, the network lab tests in the plain build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --with-lab
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTARVOLIN_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -L unit
