#!/usr/bin/env bash
# Builds and runs the test suite.
#   scripts/test.sh         every test in the default build
#   scripts/test.sh asan    every test under AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/test.sh tsan    the concurrency tests (label "concurrency") under ThreadSanitizer
#   scripts/test.sh windows every test of the Windows build under Wine: the 32-bit one, or
#                           where the kernel cannot run 32-bit programs the 64-bit one
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-default}
scripts/build.sh "$mode" all

# Runs one Windows build tree's tests under Wine: one wineserver for the whole run (each test
# is a process of its own), detached from this script's output so that it cannot keep the
# script from ending.
run_under_wine() {
  local tree=$1
  export WINEPREFIX="$PWD/$tree/wine-prefix" WINEDEBUG=-all
  unset DISPLAY
  mkdir -p "$WINEPREFIX"
  # (It fails when one already serves this prefix, kept warm by hand, say; that one does.)
  wineserver -p </dev/null >/dev/null 2>&1 || true
  trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
  # The first start creates the prefix.
  "$tree/wine-run.sh" wineboot --init </dev/null >/dev/null 2>&1 || true
  ctest --test-dir "$tree" --output-on-failure -j "$(nproc)"
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
case "$mode" in
  default) ctest --test-dir build --output-on-failure -j "$(nproc)" ;;
  asan)    ctest --test-dir build-asan --output-on-failure -j "$(nproc)" ;;
  tsan)    ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" -L concurrency --no-tests=ignore ;;
  windows)
    # The 32-bit DLL as a file: PE32, one export, Windows' own DLLs only.
    scripts/check-windows-dll.sh build-windows/bin/pyx_missions.dll
    # Its suite runs under 32-bit Wine. A kernel built without 32-bit support (ia32
    # emulation off) cannot start 32-bit programs at all; there the same sources, built for
    # 64-bit Windows, run under 64-bit Wine instead.
    tree=build-windows
    if ! build-windows/wine-run.sh --version >/dev/null 2>&1; then
      echo "test.sh: this kernel cannot run 32-bit programs (ia32 emulation is off): running" \
           "the Windows suite built for 64-bit Windows under 64-bit Wine" >&2
      scripts/build.sh windows64 all
      tree=build-windows64
    fi
    run_under_wine "$tree" ;;
  *) echo "unknown mode: $mode" >&2; exit 2 ;;
esac
