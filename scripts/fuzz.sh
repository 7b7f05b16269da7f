#!/usr/bin/env bash
# Runs each fuzz target for SECONDS seconds (default 60), each under timeout,
# in a clang build with the address and undefined-behaviour sanitizers
# (build/fuzz). New inputs go to build/fuzz/corpus/<target>, beside the seeds
# of tests/fuzz/corpus/<target>; a crash leaves its input in
# build/fuzz/artifacts/ and fails the script. Installs clang and its fuzzer
# runtime first when they are missing (Debian packages).
#   scripts/fuzz.sh 60
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
jobs=${JOBS:-$(nproc)}
targets=(member_line_fuzz run_fuzz talvek_run_fuzz)

scripts/install-deps.sh clang-14 libclang-rt-14-dev

cc=clang-14 cxx=clang++-14
command -v "$cxx" >/dev/null || { cc=clang; cxx=clang++; }

build="$root/build/fuzz"
CC=$cc CXX=$cxx cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVEK_FUZZ=ON \
  -DTALVEK_BUILD_TESTS=OFF -DTALVEK_BUILD_BENCH=OFF -DTALVEK_BUILD_HOST=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The targets keep their files in a directory of their own under TMPDIR.
export TMPDIR="$build/tmp"
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR" "$build/artifacts"

failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  log="$build/$target.log"
  mkdir -p "$corpus"
  echo "== $target: $seconds s"
  status=0
  # libFuzzer stops itself after max_total_time; timeout catches a hang of the
  # whole process.
  timeout --kill-after=30 $((seconds + 120)) "$build/tests/fuzz/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -close_fd_mask=2 \
    -artifact_prefix="$build/artifacts/$target-" \
    "$corpus" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    grep -E '^(Done|stat::number_of_executed_units)' "$log" || true
  else
    echo "$target failed (exit $status); its log:"
    grep -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse)' "$log" | tail -60
    failed+=("$target")
  fi
done
rm -rf "$TMPDIR"

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found crashes in: ${failed[*]} (inputs in $build/artifacts)"
  exit 1
fi
echo "fuzzing: no crash"
