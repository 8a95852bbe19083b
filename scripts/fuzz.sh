#!/usr/bin/env bash
# Runs the fuzzers built by scripts/build.sh fuzz (build-fuzz/fuzz/).
#   scripts/fuzz.sh [SECONDS]  every fuzzer for SECONDS (default 60) from its seeds,
#                              fuzz/seeds/<fuzzer>/ (read only), growing a working corpus in
#                              fuzz/corpus-<fuzzer>/ (not committed) that later runs go on from.
#   scripts/fuzz.sh replay     every fuzzer once over its seeds, fuzzing nothing new; a fuzzer
#                              without seeds runs a fixed number of inputs from a fixed seed.
#   scripts/fuzz.sh seeds      folds each working corpus into the seeds (libFuzzer's -merge:
#                              only inputs that reach code the seeds do not), to be committed.
# Every fuzzer runs; the script fails if any of them failed. Findings (crash-*, leak-*,
# timeout-* inputs) are written to build-fuzz/fuzz-artifacts/; a fixed finding's input goes
# into the fuzzer's seeds so that every later replay tries it again.
set -euo pipefail
cd "$(dirname "$0")/.."
command=${1:-60}
tree=build-fuzz
runs=${PYX_FUZZ_RUNS:-20000}  # inputs per fuzzer that has no seeds, when replaying
# Inputs larger than this add little coverage per byte to the committed seeds.
max_len=${PYX_FUZZ_MAX_LEN:-4096}

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

case "$command" in
  replay|seeds) ;;
  *[!0-9]*|'') echo "usage: scripts/fuzz.sh [SECONDS | replay | seeds]" >&2; exit 2 ;;
esac

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
  corpus=fuzz/corpus-$name
  start=$SECONDS
  # libFuzzer's own output is long; it is shown only when the fuzzer fails.
  log=$artifacts/$name.log
  case "$command" in
    replay)
      if [ -d "$seeds" ]; then
        # -runs=0 with a corpus folder: run every input in it, fuzz nothing more. The folder
        # is read, never written (new inputs would go to the first folder given: none here).
        what="replayed $(find "$seeds" -type f | wc -l) seed inputs"
        set -- -runs=0 "$seeds"
      else
        what="ran $runs generated inputs (no $seeds/)"
        set -- -runs="$runs" -seed=1
      fi ;;
    seeds)
      if [ ! -d "$corpus" ]; then
        echo "fuzz.sh: $name: no $corpus/ to fold in; run scripts/fuzz.sh SECONDS first"
        continue
      fi
      mkdir -p "$seeds"
      before=$(find "$seeds" -type f | wc -l)
      set -- -merge=1 -max_len="$max_len" "$seeds" "$corpus" ;;
    *)
      mkdir -p "$corpus"
      what="fuzzed for $command s"
      # The working corpus comes first: new inputs are written there, never into the seeds.
      set -- -max_total_time="$command" -max_len="$max_len" -print_final_stats=1 "$corpus"
      [ -d "$seeds" ] && set -- "$@" "$seeds" ;;
  esac
  if ! "$fuzzer" -artifact_prefix="$artifacts/$name-" "$@" >"$log" 2>&1; then
    cat "$log" >&2
    echo "fuzz.sh: $name FAILED after $((SECONDS - start)) s; its findings are in $artifacts/" >&2
    failed+=("$name")
    continue
  fi
  case "$command" in
    seeds) what="seeds $before -> $(find "$seeds" -type f | wc -l) inputs" ;;
    replay) ;;
    *)
      executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
      edges=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
      what="$what: ${executions:-?} executions, ${edges:-?} edges" ;;
  esac
  echo "fuzz.sh: $name: $what in $((SECONDS - start)) s"
done
if ((${#failed[@]})); then
  echo "fuzz.sh: failed: ${failed[*]}" >&2
  exit 1
fi
