#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian 12 machine (run as root).
#   scripts/setup.sh         everything: every build tree, every test, CI
#   scripts/setup.sh native  only what the native build in build/ needs (scripts/build.sh):
#                            the main job and every test but the console's browser tests,
#                            which need the full set-up's Chromium
#
# Both install the console's npm files (package-lock.json). Besides the native tool chain the
# full set-up prepares Chromium and Selenium for the browser tests, clang for the fuzzers, the benchmark
# libraries, and the 32-bit Windows build: the mingw-w64 cross compiler, Wine for running its
# programs, and the sources the cross build compiles itself (libyaml and cpp-httplib from
# Debian's source packages, GoogleTest from libgtest-dev, RapidJSON's headers).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

scope=${1:-all}
case "$scope" in
  all|native) ;;
  *) echo "usage: scripts/setup.sh [native]" >&2; exit 2 ;;
esac

# Where the Debian source packages for the cross build are unpacked (outside the repository).
deps_dir=${PYX_DEPS_DIR:-/usr/local/src/pyx-deps}

# The native build in build/ (the plugin, devhost and the tests).
packages=(
  build-essential g++ cmake ninja-build git
  libgtest-dev libgmock-dev                    # tests
  rapidjson-dev libyaml-dev                    # JSON and YAML codecs
  libcpp-httplib-dev pkg-config                # HTTP server of the development host (its
                                               # compile flags come from pkg-config)
)
# npm installs the web console's third-party files (package-lock.json pins them), which the
# devhost build embeds. A machine that already has Node.js with npm from elsewhere keeps it.
if ! command -v npm >/dev/null 2>&1; then
  packages+=(nodejs npm)
fi
# The other trees.
if [ "$scope" = all ]; then
  packages+=(
    dpkg-dev                                   # apt-get source, for the cross build's sources
    libbenchmark-dev                           # benchmarks
    nlohmann-json3-dev                         # benchmark reference only
    clang libclang-rt-14-dev                   # libFuzzer and sanitizer runtimes
    g++-mingw-w64-i686-posix                   # the 32-bit Windows DLL and its tests
    wine                                       # runs the Windows tests (wine32:i386 below)
    g++-mingw-w64-x86-64-posix wine64          # the same for 64-bit Windows, where the
                                               # kernel cannot run 32-bit programs
    chromium chromium-driver python3-selenium  # browser tests of the devhost console
  )
fi

# apt-get update fails now and then while a mirror's index is mid-sync: try a few times.
apt_update() {
  local attempt
  for attempt in 1 2 3 4 5; do
    apt-get update -qq && return 0
    echo "setup: apt-get update failed (attempt $attempt), retrying in $((attempt * 10)) s" >&2
    sleep $((attempt * 10))
  done
  echo "setup: apt-get update keeps failing; check the network and the apt sources" >&2
  return 1
}

# A deb-src stanza for every Debian deb stanza in deb822 form, so `apt-get source` works.
add_source_entries() {
  local target=/etc/apt/sources.list.d/pyx-deb-src.sources
  [ -e "$target" ] && return 1
  local file found=0
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -e "$file" ] || continue
    grep -q -E '^URIs:.*debian\.org' "$file" || continue
    # Keep the stanzas whose types include deb and whose URIs are Debian's; comments dropped.
    awk '
      function flush() {
        if (stanza != "" && is_deb && is_debian) { printf "%s%s\n", (printed ? "\n" : ""), stanza; printed = 1 }
        stanza = ""; is_deb = 0; is_debian = 0
      }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      /^Types:/ { if ($0 ~ /[ \t]deb([ \t]|$)/) is_deb = 1; stanza = stanza "Types: deb-src\n"; next }
      /^URIs:/ { if ($0 ~ /debian\.org/) is_debian = 1 }
      { stanza = stanza $0 "\n" }
      END { flush() }
    ' "$file" >>"$target.tmp"
    found=1
  done
  if [ -f /etc/apt/sources.list ]; then
    sed -n -E 's/^deb (.*debian\.org.*)$/deb-src \1/p' /etc/apt/sources.list >"/etc/apt/sources.list.d/pyx-deb-src.list"
    [ -s /etc/apt/sources.list.d/pyx-deb-src.list ] && found=1 || rm -f /etc/apt/sources.list.d/pyx-deb-src.list
  fi
  if [ -s "$target.tmp" ]; then mv "$target.tmp" "$target"; else rm -f "$target.tmp"; fi
  ((found))
}

updated=0
# wine32 is an i386 package; the cross build's sources come from deb-src entries.
if [ "$scope" = all ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  if add_source_entries; then
    apt_update
    updated=1
  fi
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  ((updated)) || apt_update
  updated=1
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The console's files and the OpenAPI validator, exactly as the lock file names them. No
# package runs install scripts: none needs one, and one would phone home.
(cd "$(dirname "$0")/.." && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)

# What follows (32-bit Wine, the cross build's sources) only serves the Windows build.
[ "$scope" = all ] || exit 0

# Wine's 32-bit loader runs the 32-bit test programs. Only a kernel with 32-bit support can
# start it, and the i386 index is now and then mid-sync; without it the Windows suite runs
# built for 64-bit Windows under wine64 (scripts/test.sh windows), so its absence is said
# loudly but does not stop the set-up.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  ((updated)) || apt_update
  updated=1
  # (Read whole first: grep -q stopping early would fail the pipeline under pipefail.)
  policy=$(apt-cache policy wine32:i386)
  if grep -q -E 'Candidate: [0-9]' <<<"$policy"; then
    apt-get install -y -qq --no-install-recommends wine32:i386 ||
      echo "setup: WARNING: wine32:i386 did not install; 32-bit Windows tests cannot run" >&2
  else
    echo "setup: WARNING: wine32:i386 has no install candidate (is the i386 index of every" \
         "suite reachable? 'apt-cache policy wine32:i386' tells); 32-bit Windows tests" \
         "cannot run here" >&2
  fi
fi

# Debian source packages the cross build compiles itself, each the same version as its
# native package: unpacked once into $deps_dir, where `NAME` always points at the current
# version. fetch_source PACKAGE NAME FILE (FILE proves an unpacked tree, relative to it).
fetch_source() {
  local package=$1 name=$2 file=$3 unpacked
  [ -f "$deps_dir/$name/$file" ] && return 0
  mkdir -p "$deps_dir"
  # The download runs as _apt where it can write, which keeps apt from warning.
  chown _apt "$deps_dir" 2>/dev/null || true
  if ! (cd "$deps_dir" && apt-get source -qq "$package" >/dev/null); then
    ((updated)) || apt_update
    updated=1
    (cd "$deps_dir" && apt-get source -qq "$package" >/dev/null)
  fi
  unpacked=$(find "$deps_dir" -maxdepth 1 -type d -name "$package-[0-9]*" | sort -V | tail -n 1)
  if [ -z "$unpacked" ] || [ ! -f "$unpacked/$file" ]; then
    echo "setup: apt-get source $package unpacked no $file" >&2
    exit 1
  fi
  ln -sfn "$(basename "$unpacked")" "$deps_dir/$name"
}

# libyaml under the YAML reader.
fetch_source libyaml libyaml src/parser.c
# cpp-httplib for the development host on Windows: libcpp-httplib-dev splits the header and
# puts the implementation in a Linux library, while the source package keeps the whole
# single header, which needs nothing but Windows' sockets.
fetch_source cpp-httplib cpp-httplib httplib.h
