#!/usr/bin/env bash
# Builds the library and runs every test twice: in a normal build, and in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
# Installs what is missing first (Debian packages).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc)}

scripts/install-deps.sh

build() { # name, extra cmake options...
  local dir="$root/build/$1"; shift
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== normal build"
build normal
(cd build/normal && ctest --output-on-failure -j "$jobs")

echo "== sanitizer build (address, undefined behaviour)"
build sanitize -DTALVEK_SANITIZE=ON -DTALVEK_BUILD_BENCH=OFF
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
(cd build/sanitize && ctest --output-on-failure -j "$jobs")
