#!/usr/bin/env bash
# Builds and runs the test suite.
#   scripts/test.sh         every test in the default build
#   scripts/test.sh asan    every test under AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/test.sh tsan    the concurrency tests (label "concurrency") under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-default}
scripts/build.sh "$mode"
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
case "$mode" in
  default) ctest --test-dir build --output-on-failure -j "$(nproc)" ;;
  asan)    ctest --test-dir build-asan --output-on-failure -j "$(nproc)" ;;
  tsan)    ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" -L concurrency --no-tests=ignore ;;
  *) echo "unknown mode: $mode" >&2; exit 2 ;;
esac
