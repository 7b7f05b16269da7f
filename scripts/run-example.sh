#!/usr/bin/env bash
# Values the example plan: installs what is missing (Debian packages), builds
# talvek (Release) and runs it on examples/basis.toml and examples/members.txt.
# The summary (with the present values, DBO and service cost by status) is
# printed; the CSV files land in results/ (or in the directory given as the
# first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-results}
jobs=${JOBS:-$(nproc)}

scripts/install-deps.sh --run

build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DTALVEK_BUILD_TESTS=OFF -DTALVEK_BUILD_BENCH=OFF -DTALVEK_BUILD_HOST=ON >/dev/null
cmake --build "$build" --target talvek -j "$jobs" >/dev/null

# the summary ends with the directory of the CSV files
exec "$build/host/talvek" run --basis examples/basis.toml --members examples/members.txt --out "$out"
