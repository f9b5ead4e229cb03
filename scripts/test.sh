#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, builds Tarvolin (plain, and with AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs every test: the unit tests in both
# builds (leak checking on in the sanitizer build), the network lab tests and
# the package test (which builds and installs the Debian package) in the plain
# build, then each fuzz harness briefly (clang build).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --with-lab
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLIN_SECOND_SIP_PORT=5080 >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -L unit
# The lab suites mostly wait on their networks and the package test on its
# (niced) compiler and apt: they run side by side, except the lab suites that
# time the program, which run alone.
ctest --test-dir build --output-on-failure -LE unit -j3

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTARVOLIN_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
# LeakSanitizer is on (no suppressions: nothing leaks, ours or the libraries').
ASAN_OPTIONS=abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -L unit

# The readers against hostile bytes: a few seconds per harness (clang build).
scripts/fuzz.sh "${FUZZ_SECONDS:-4}"
