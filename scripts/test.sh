#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs every test. Any test failure, sanitizer report or leak fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=${NIMBOLT_TEST_BUILD:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DNIMBOLT_SANITIZE=ON -DNIMBOLT_CHECKS=ON -DNIMBOLT_WERROR=ON -DNIMBOLT_BENCH=OFF
cmake --build "$build"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
