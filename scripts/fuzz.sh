#!/usr/bin/env bash
# Runs the fuzzers built by scripts/build.sh fuzz (build-fuzz/fuzz/).
#   scripts/fuzz.sh replay   every fuzzer once over its seed inputs, fuzz/seeds/<fuzzer>/, when
#                            that folder exists; otherwise a fixed number of inputs generated
#                            from an empty corpus with a fixed seed, so a run is repeatable.
#                            Every fuzzer runs; the script fails if any of them failed.
# Findings (crash-*, leak-*, timeout-* inputs) are written to build-fuzz/fuzz-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
command=${1:-}
tree=build-fuzz
runs=${PYX_FUZZ_RUNS:-20000}  # inputs per fuzzer that has no seeds

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

case "$command" in
  replay)
    fuzzers=()
    for fuzzer in "$tree"/fuzz/*_fuzzer; do
      [ -x "$fuzzer" ] && fuzzers+=("$fuzzer")
    done
    if ((${#fuzzers[@]} == 0)); then
      echo "fuzz.sh: no fuzzers in $tree/fuzz/; build them with scripts/build.sh fuzz" >&2
      exit 1
    fi
    artifacts=$tree/fuzz-artifacts
    mkdir -p "$artifacts"
    failed=()
    for fuzzer in "${fuzzers[@]}"; do
      name=$(basename "$fuzzer")
      seeds=fuzz/seeds/$name
      start=$SECONDS
      # libFuzzer's own output is long; it is shown only when the fuzzer fails.
      log=$artifacts/$name.log
      if [ -d "$seeds" ]; then
        # -runs=0 with a corpus folder: run every input in it, fuzz nothing more. The folder is
        # read, never written (new inputs would go to the first folder given: none here).
        what="replayed $(find "$seeds" -type f | wc -l) seed inputs"
        set -- -runs=0 "$seeds"
      else
        what="ran $runs generated inputs (no $seeds/)"
        set -- -runs="$runs" -seed=1
      fi
      if ! "$fuzzer" -artifact_prefix="$artifacts/$name-" "$@" >"$log" 2>&1; then
        cat "$log" >&2
        echo "fuzz.sh: $name FAILED after $((SECONDS - start)) s; its findings are in $artifacts/" >&2
        failed+=("$name")
        continue
      fi
      echo "fuzz.sh: $name: $what in $((SECONDS - start)) s"
    done
    if ((${#failed[@]})); then
      echo "fuzz.sh: failed: ${failed[*]}" >&2
      exit 1
    fi ;;
  *) echo "usage: scripts/fuzz.sh replay" >&2; exit 2 ;;
esac
