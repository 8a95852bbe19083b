#!/usr/bin/env bash
# Checks the layering of src/: every folder is a layer, and a layer may include only its own
# headers, the host ABI header and the layers listed before it in src/CMakeLists.txt. A tool
# under tools/ may include any layer and its own folder, never another tool's.
#
# It also checks that each layer's library links exactly the layers its product code includes:
# a link without an include is a false dependency, an include without a link works only by
# accident of what some other library drags in.
#
# Prints every violation and exits 1 if there is any.
set -euo pipefail
cd "$(dirname "$0")/.."

order=$(sed -n 's/^foreach(subsystem \(.*\))$/\1/p' src/CMakeLists.txt)
if [ -z "$order" ]; then
  echo "check-layers: no 'foreach(subsystem ...)' line in src/CMakeLists.txt" >&2
  exit 2
fi

declare -A rank
i=0
for layer in $order; do
  rank[$layer]=$i
  i=$((i + 1))
done

failures=0
fail() {
  echo "check-layers: $*" >&2
  failures=$((failures + 1))
}

# The project folders a file includes, one "line:folder" per quoted include with a folder.
included_folders() {
  grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"/]+/' "$1" |
    sed -E 's/^([0-9]+):[^"]*"([^"/]+)\/.*/\1:\2/'
}

# Layers: includes go to the same layer, the ABI header or an earlier layer.
for dir in src/*/; do
  layer=$(basename "$dir")
  if [ -z "${rank[$layer]+set}" ]; then
    fail "src/$layer is not a layer listed in src/CMakeLists.txt"
    continue
  fi
  while IFS= read -r file; do
    while IFS=: read -r line folder; do
      [ -n "$folder" ] || continue
      [ "$folder" = pyx ] || [ "$folder" = "$layer" ] && continue
      if [ -z "${rank[$folder]+set}" ]; then
        fail "$file:$line includes \"$folder/...\", which is not a layer"
      elif [ "${rank[$folder]}" -gt "${rank[$layer]}" ]; then
        fail "$file:$line includes \"$folder/...\": $layer may not include a later layer"
      fi
    done < <(included_folders "$file")
  done < <(find "$dir" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
done

# Tools: any layer, their own folder.
for dir in tools/*/; do
  tool=$(basename "$dir")
  while IFS= read -r file; do
    while IFS=: read -r line folder; do
      [ -n "$folder" ] || continue
      [ "$folder" = pyx ] || [ "$folder" = "$tool" ] || [ -n "${rank[$folder]+set}" ] && continue
      fail "$file:$line includes \"$folder/...\": a tool includes only layers and its own folder"
    done < <(included_folders "$file")
  done < <(find "$dir" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
done

# Links: the pyx_* libraries after DEPS in pyx_add_subsystem(<layer> ...) against the layers
# the product files (not tests, benchmarks, fuzzers or test support) include.
for layer in $order; do
  cmake_file=src/$layer/CMakeLists.txt
  [ -f "$cmake_file" ] || continue
  linked=$(tr '\n' ' ' <"$cmake_file" |
    sed -nE "s/.*pyx_add_subsystem\\($layer[[:space:]]([^)]*)\\).*/\\1/p" |
    sed -E 's/TEST_DEPS.*//' | grep -oE 'pyx_[a-z_]+' | sed 's/^pyx_//' | sort -u || true)
  included=$(find "src/$layer" -type f \( -name '*.h' -o -name '*.cpp' \) \
      ! -name '*_test.cpp' ! -name '*_benchmark.cpp' ! -name '*_fuzzer.cpp' \
      ! -name '*_test_support.h' ! -name '*_test_support.cpp' -print0 |
    xargs -0 -r cat | grep -oE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"/]+/' |
    sed -E 's/.*"([^"/]+)\/$/\1/' | grep -vxE "pyx|$layer" | sort -u || true)
  for folder in $(comm -23 <(echo "$linked") <(echo "$included")); do
    fail "$cmake_file: pyx_$layer links pyx_$folder but none of its code includes $folder/"
  done
  for folder in $(comm -13 <(echo "$linked") <(echo "$included")); do
    fail "$cmake_file: pyx_$layer includes $folder/ but does not link pyx_$folder"
  done
done

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures violation(s)" >&2
  exit 1
fi
echo "check-layers: every include and link follows the layer order: $order"
