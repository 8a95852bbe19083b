#!/usr/bin/env bash
# Proves the packed host records keep their 32-bit layout: the ABI header's static_asserts
# are compiled by a 32-bit Windows compiler, and by the native compiler for 64-bit.
set -euo pipefail
cd "$(dirname "$0")/.."
for header in include/pyx/*.h; do
  i686-w64-mingw32-g++-posix -std=c++20 -fsyntax-only -x c++ "$header"
  g++ -std=c++20 -fsyntax-only -x c++ "$header"
done
echo "host ABI layout checked: 32-bit and 64-bit"
