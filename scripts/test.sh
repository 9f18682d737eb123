#!/usr/bin/env bash
# Builds everything with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, with the fuzz targets, and runs every test:
# the core tests, the window tests, the fuzz regressions and a short fuzzing
# run of each target.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

build=build-test
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DZENTAVO_SANITIZE=ON -DZENTAVO_FUZZ=ON
ninja -C "$build"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
