#!/usr/bin/env bash
# Memory measurement (release build, never under the sanitizers): values a
# member file of 10,000 lines and one of 1,000,000 lines, each in its own
# process, prints the peak resident memory of both runs and fails when the
# larger file takes more than 10 % above the smaller one: a run's memory must
# not grow with the number of members.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc)}

scripts/install-deps.sh

# the release build of scripts/test.sh: the library as it ships
build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVEK_BUILD_TESTS=ON \
  -DTALVEK_BUILD_BENCH=OFF -DTALVEK_BUILD_HOST=ON >/dev/null
cmake --build "$build" -j "$jobs" --target memory_run
runner="$build/tests/tools/memory_run"

work="$root/build/memory"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

declare -A peak
for lines in 10000 1000000; do
  "$runner" generate "$lines" "$work/members-$lines.txt"
  # the run leaves its scratch file in the working directory
  result=$(cd "$work" && "$runner" run "$work/members-$lines.txt")
  echo "$lines lines: $result"
  peak[$lines]=$(sed -n 's/.*peak-rss-kib \([0-9]*\).*/\1/p' <<<"$result")
  rm -f "$work/members-$lines.txt" "$work/listing.txt" "$work/errors.txt"
done

small=${peak[10000]} large=${peak[1000000]}
echo "peak resident memory: $small KiB for 10,000 lines, $large KiB for 1,000,000 lines"
if [ $((large * 10)) -gt $((small * 11)) ]; then
  echo "memory grows with the member file: more than 10 % above the small run"
  exit 1
fi
echo "memory: within 10 %"
