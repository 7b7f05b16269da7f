#!/usr/bin/env bash
# Builds the library and runs the tests: every test in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, then the release build of
# the shipped libraries (optimised at link time, as scripts/run-example.sh
# builds them) against the reference cases and for their exports, and the
# Python module on that build (Debian's python3: pytest, tests/python).
# Installs what is missing first (Debian packages).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc)}

scripts/install-deps.sh

echo "== sanitizer build (address, undefined behaviour): every test"
# -O1 and line tables only: the sanitizers find the same faults, the build
# takes half the time
cmake -S "$root" -B "$root/build/sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVEK_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" >/dev/null
cmake --build "$root/build/sanitize" -j "$jobs"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
(cd "$root/build/sanitize" && ctest --output-on-failure -j "$jobs")
unset ASAN_OPTIONS UBSAN_OPTIONS

echo "== release build (link-time optimised): the shipped libraries"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DTALVEK_BUILD_TESTS=ON \
  -DTALVEK_BUILD_BENCH=OFF -DTALVEK_BUILD_HOST=ON >/dev/null
cmake --build "$root/build/release" -j "$jobs" --target library_tests python_module
(cd "$root/build/release/tests" && ./library_tests)

echo "== the Python module on the release build (tests/python)"
# Debian's own interpreter, whatever python3 comes first on the PATH: the
# module needs only its python3-numpy, python3-pandas and python3-matplotlib
TALVEK_BUILD_DIR="$root/build/release" /usr/bin/python3 -m pytest -q -p no:cacheprovider "$root/tests/python"
