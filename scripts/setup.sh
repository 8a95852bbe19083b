#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian 12 machine (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  build-essential g++ cmake ninja-build git
  libgtest-dev libgmock-dev libbenchmark-dev   # tests and benchmarks
  rapidjson-dev libyaml-dev                    # JSON and YAML codecs
  clang libclang-rt-14-dev                     # libFuzzer and sanitizer runtimes
  g++-mingw-w64-i686-posix                     # 32-bit layout check of the host ABI
  nlohmann-json3-dev                           # benchmark reference only
  libcpp-httplib-dev pkg-config                # HTTP server of the development host (its
                                               # compile flags come from pkg-config)
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
