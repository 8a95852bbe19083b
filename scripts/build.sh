#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh [mode] [target...]
#   scripts/build.sh            release-with-debug-info build in build/: the main job only,
#                               lib/libpyx_missions.so and bin/devhost
#   scripts/build.sh asan       ASan + UBSan build in build-asan/
#   scripts/build.sh tsan       ThreadSanitizer build in build-tsan/
#   scripts/build.sh bench      optimised build with the benchmarks in build-bench/
#   scripts/build.sh fuzz       clang + libFuzzer + ASan/UBSan build in build-fuzz/
#   scripts/build.sh windows    32-bit Windows cross build (mingw-w64) in build-windows/: the
#                               main job only, bin/pyx_missions.dll and bin/devhost.exe
#   scripts/build.sh windows64  the same for 64-bit Windows in build-windows64/ (runs under
#                               64-bit Wine where the kernel cannot run 32-bit programs)
# Targets after the mode build those instead; `all` builds every program of the tree, the
# tests among them (scripts/test.sh does that). The asan, tsan, bench and fuzz trees build
# everything unless told otherwise. A tree is configured the same whatever is built in it, so
# the main job's build is part of the full one, never done twice.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-default}
targets=("${@:2}")
jobs=$(nproc)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
# The Windows trees are optimised like the default one but carry no debug information: no
# debugger reads it under Wine, and linking it into every program doubles their build time.
windows=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPYX_DEVELOPER=ON
         "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG")
case "$mode" in
  default) dir=build;      args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPYX_DEVELOPER=ON) ;;
  asan)    dir=build-asan; args=(-DCMAKE_BUILD_TYPE=Debug -DPYX_SANITIZE=address,undefined -DPYX_DEVELOPER=ON) ;;
  tsan)    dir=build-tsan; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPYX_SANITIZE=thread) ;;
  bench)   dir=build-bench; args=(-DCMAKE_BUILD_TYPE=Release -DPYX_TESTS=OFF -DPYX_BENCHMARKS=ON) ;;
  fuzz)    dir=build-fuzz; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPYX_TESTS=OFF -DPYX_FUZZERS=ON
                                 -DPYX_SANITIZE=address,undefined
                                 -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  windows) dir=build-windows; args=("${windows[@]}"
                                    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/i686-w64-mingw32.toolchain.cmake") ;;
  windows64) dir=build-windows64; args=("${windows[@]}"
                                    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/x86_64-w64-mingw32.toolchain.cmake") ;;
  *) echo "unknown mode: $mode" >&2; exit 2 ;;
esac
if ((${#targets[@]} == 0)); then
  case "$mode" in
    default|windows|windows64) targets=(pyx_missions_plugin devhost) ;;  # what the main job runs
    *) targets=(all) ;;
  esac
fi
cmake -S . -B "$dir" "${gen[@]}" "${args[@]}" >/dev/null
cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
