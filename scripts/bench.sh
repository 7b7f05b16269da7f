#!/usr/bin/env bash
# Measures the library on this machine and prints a table: the basis build,
# members valued per second for each status alone and for a mixed portfolio
# of 100,000 members, end to end through talvek run and the engine (reading,
# listing and error log included) and for the valuation alone, and peak
# memory; then two jobs against one, and (with BASELINE_TALVEK=path to
# another build's talvek) one job of this build against one of that build,
# for the mixed portfolio and for each status's file, both measured in turn,
# run after run; with BASELINE_VALUATION_BENCH=path to another build's
# valuation_bench, the valuation alone of both builds, run in turn, best of
# three; and a run with present values against the projection alone
# (--no-present-values), and --per-member against a run without it.
# Usage: scripts/bench.sh [MEMBERS] (default 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
members=${1:-100000}
jobs=${JOBS:-$(nproc)}

scripts/install-deps.sh time
build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVEK_BUILD_TESTS=OFF \
  -DTALVEK_BUILD_BENCH=ON -DTALVEK_BUILD_HOST=ON >/dev/null
cmake --build "$build" --target talvek basis_bench valuation_bench member_check_bench -j "$jobs" >/dev/null
talvek="$build/host/talvek"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# the portfolio, and one file per status (column 2 holds the status code)
"$talvek" generate --members "$members" --seed 42 --out "$work/mixed.txt"
declare -A code=([in_service]=A [pensioners]=P [disabled]=D [deferred]=V [spouses]=S)
for name in "${!code[@]}"; do
  awk -F, -v c="${code[$name]}" '$2 == c' "$work/mixed.txt" > "$work/$name.txt"
done

# best of three runs: wall seconds and peak resident memory
run() { # file, jobs
  local best="" memory=""
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$work/time" "$talvek" run --jobs "$2" --basis examples/basis.toml \
      --members "$1" --out "$work/out" >/dev/null
    read -r seconds kb < "$work/time"
    if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN{exit !(a<b)}'; then best=$seconds; fi
    memory=$kb
  done
  echo "$best $memory"
}

echo
echo "== basis build (once per run)"
"$build/bench/basis_bench" --benchmark_filter=BM_BasisBuild --benchmark_min_time=1 2>/dev/null |
  awk '/BM_BasisBuild/ {printf "  %s %s (wall %s %s)\n", $4, $5, $2, $3}'

echo
echo "== valuation alone (typical plan, spread of ages), members per second"
"$build/bench/valuation_bench" --benchmark_min_time=1 2>/dev/null |
  awk '/items_per_second/ {split($NF, v, "="); printf "  %-22s %s\n", $1, v[2]}'

echo
echo "== member data check (100,000 generated members), lines per second; /1 one thread, /2 two"
"$build/bench/member_check_bench" --benchmark_min_time=1 2>/dev/null |
  awk '/items_per_second/ {split($NF, v, "="); printf "  %-40s %s\n", $1, v[2]}'

echo
echo "== end to end through talvek run (examples/basis.toml), $members-member portfolio"
printf "  %-12s %9s %8s %10s %14s %10s\n" file members jobs seconds members/s "peak MiB"
for name in in_service pensioners disabled deferred spouses mixed; do
  count=$(wc -l < "$work/$name.txt")
  for j in 1 2; do
    [ "$name" != mixed ] && [ "$j" = 2 ] && continue
    read -r seconds kb < <(run "$work/$name.txt" "$j")
    awk -v n="$name" -v c="$count" -v j="$j" -v s="$seconds" -v k="$kb" \
      'BEGIN { printf "  %-12s %9d %8d %10.2f %14.0f %10.1f\n", n, c, j, s, (s > 0 ? c / s : 0), k / 1024 }'
  done
done

# Two commands timed in turn, run after run, so that a change of the
# machine's speed touches both alike: the median of the pairwise ratios.
side_by_side() { # label, command A, command B
  local ratios=()
  for _ in 1 2 3 4 5 6 7; do
    local a b
    # the times go to a file: the commands' own output is thrown away
    /usr/bin/time -f "%e" -o "$work/pair" bash -c "$2" >/dev/null 2>&1
    a=$(tail -1 "$work/pair")
    /usr/bin/time -f "%e" -o "$work/pair" bash -c "$3" >/dev/null 2>&1
    b=$(tail -1 "$work/pair")
    ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", (a > 0 ? b / a : 0) }')")
  done
  local median
  median=$(printf '%s\n' "${ratios[@]}" | sort -n | sed -n 4p)
  printf "  %-44s %s times (ratios %s)\n" "$1" "$median" "${ratios[*]}"
}

echo
echo "== side by side on the mixed portfolio (median of 7 pairs)"
common="--basis examples/basis.toml --members $work/mixed.txt"
side_by_side "jobs 2 against jobs 1: jobs 1 takes" "$talvek run --jobs 2 $common --out $work/o2" \
  "$talvek run --jobs 1 $common --out $work/o1"
# the check and the conversion against a run without them: the portfolio as it
# is, and saved as a spreadsheet saves it (header row, quoted member numbers,
# semicolons, decimal commas, no delimiter after the last field, CRLF)
awk -F, 'BEGIN { OFS = ";"; print "number;status;age;sex;salary;w1;w2;pension;marital;spouse;retired;bridge;part;average\r" }
  { NF = NF - 1; for (i = 1; i <= NF; i++) gsub(/\./, ",", $i); $1 = "\"" $1 "\""; print $0 "\r" }' \
  "$work/mixed.txt" > "$work/mixed.csv"
sed -e '/^\[member_file\]/,/^\[member_file.columns\]/c\
[member_file]\
delimiter = "semicolon"\
layout = "spreadsheet"\
header = true\
decimal_separator = "comma"\
\
[member_file.columns]' examples/basis.toml > "$work/sheet.toml"
side_by_side "run with the check against --no-check: it takes" \
  "$talvek run --no-check $common --out $work/n1" "$talvek run $common --out $work/c1"
# the valuation (present values, obligation and service cost, the results by
# status) against the projection alone, and the per-member figures on top
side_by_side "present values against the projection alone: it takes" \
  "$talvek run --no-present-values $common --out $work/p1" "$talvek run $common --out $work/v1"
side_by_side "--per-member against present values alone: it takes" \
  "$talvek run $common --out $work/v1" "$talvek run --per-member $common --out $work/m1"
side_by_side "spreadsheet checked, converted, run: it takes" \
  "$talvek run --no-check $common --out $work/n1" \
  "$talvek run --basis $work/sheet.toml --members $work/mixed.csv --out $work/s1"
if [ -n "${BASELINE_TALVEK:-}" ]; then
  side_by_side "this build against BASELINE_TALVEK, one job: the baseline takes" \
    "$talvek run --jobs 1 $common --out $work/o1" "$BASELINE_TALVEK run --jobs 1 $common --out $work/ob"
  for name in in_service pensioners disabled deferred spouses; do
    each="--basis examples/basis.toml --members $work/$name.txt"
    side_by_side "  $name alone: the baseline takes" \
      "$talvek run --jobs 1 $each --out $work/o1" "$BASELINE_TALVEK run --jobs 1 $each --out $work/ob"
  done
fi

# The valuation alone of both builds, in turn: members per second, best of three.
if [ -n "${BASELINE_VALUATION_BENCH:-}" ]; then
  echo
  echo "== valuation alone, this build against BASELINE_VALUATION_BENCH (best of three, in turn)"
  for _ in 1 2 3; do
    for which in this baseline; do
      bench="$build/bench/valuation_bench"
      [ "$which" = baseline ] && bench="$BASELINE_VALUATION_BENCH"
      "$bench" --benchmark_min_time=0.5 2>/dev/null |
        awk -v w="$which" '/items_per_second/ { v = $NF; sub("items_per_second=", "", v); m = 1;
          if (v ~ /k\/s/) m = 1e3; if (v ~ /M\/s/) m = 1e6; sub(/[kM]\/s/, "", v); print w, $1, v * m }'
    done
  done > "$work/valuation"
  awk '{ key = $2; if ($3 > best[$1, key]) best[$1, key] = $3; names[key] = 1 }
       END { for (k in names) printf "  %-22s %12.0f %12.0f   ratio %.2f\n", k, best["this", k],
             best["baseline", k], best["this", k] / best["baseline", k] }' "$work/valuation" | sort
fi

# Economic scenarios (SCENARIOS of them, default 1000, on one job): the set
# in one run on each instruction set the machine works the lanes of a block
# with, against as many plain runs (one plain run, the median of six taken
# around the set, times the count: each scenario's rates in a basis of its
# own being what a run per scenario would take); then, with Open MPI, the set
# on two ranks against one (BENCH_MPI=1 builds the cluster build).
#
# Every run of this part is pinned to one core: the cores of a virtual or
# shared machine may run at different speeds (on the machine this was first
# measured on, one core ran at about two thirds of the other's, and which
# one changed from hour to hour), and a set timed on one core against plain
# runs timed on the other says nothing. A thousand scenarios take about 2.5
# minutes with AVX-512 on 100,000 members, 5 with AVX2, 7 portable;
# SCENARIOS=100 gives a quicker look.
scenarios=${SCENARIOS:-1000}
core=$(($(nproc) - 1))
pinned=(taskset -c "$core")
command -v taskset >/dev/null || pinned=()
echo
echo "== $scenarios economic scenarios on $members members, one job, on core $core"
"$talvek" generate-scenarios --count "$scenarios" --seed 7 --basis examples/basis.toml --out "$work/scenarios.csv"
plain_runs() { # three plain runs, their seconds appended to $work/plain
  for _ in 1 2 3; do
    /usr/bin/time -f "%e" -o "$work/one" "${pinned[@]}" "$talvek" run --jobs 1 $common --out "$work/pl" >/dev/null
    cat "$work/one" >> "$work/plain"
  done
}
paths=portable
grep -qw avx2 /proc/cpuinfo && paths="$paths avx2"
grep -qw avx512f /proc/cpuinfo && paths="$paths avx512"
for path in $paths; do
  : > "$work/plain"
  plain_runs
  TALVEK_LANES=$path /usr/bin/time -f "%e %M" -o "$work/set" "${pinned[@]}" "$talvek" run --jobs 1 $common \
    --scenarios "$work/scenarios.csv" --out "$work/sc-$path" >/dev/null
  plain_runs
  plain_seconds=$(sort -n "$work/plain" | sed -n 3,4p | awk '{ s += $1 } END { printf "%.3f", s / 2 }')
  read -r set_seconds set_kb < "$work/set"
  awk -v s="$set_seconds" -v p="$plain_seconds" -v k="$set_kb" -v n="$scenarios" -v path="$path" \
    -v spread="$(sort -n "$work/plain" | sed -n '1p;$p' | paste -sd-)" 'BEGIN {
    printf "  %-9s the set %.2f s (peak %d MiB), %d plain runs %.2f s (%d x %.3f, from %s s): the set takes %.3f of their time\n",
           path, s, k / 1024, n, n * p, n, p, spread, s / (n * p) }'
  cmp -s "$work/sc-portable/scenario_present_values.csv" "$work/sc-$path/scenario_present_values.csv" ||
    { echo "  $path: present values differ from the portable path's" >&2; exit 1; }
done
if [ "${BENCH_MPI:-0}" = 1 ] && command -v mpirun >/dev/null; then
  cluster="$root/build/cluster"
  cmake -S "$root" -B "$cluster" -DCMAKE_BUILD_TYPE=Release -DTALVEK_BUILD_TESTS=OFF -DTALVEK_BUILD_BENCH=OFF \
    -DTALVEK_MPI=ON >/dev/null
  cmake --build "$cluster" --target talvek -j "$jobs" >/dev/null
  mpi=(mpirun --oversubscribe)
  [ "$(id -u)" -eq 0 ] && mpi+=(--allow-run-as-root)
  # mpirun binds one rank to core 0 and two to cores 0 and 1: what two ranks
  # can gain over one is bounded by the two cores' speeds, measured here
  if [ -n "${pinned[*]}" ] && [ "$(nproc)" -ge 2 ]; then
    for c in 0 1; do
      : > "$work/core$c"
      for _ in 1 2 3; do
        /usr/bin/time -f "%e" -o "$work/one" taskset -c "$c" "$talvek" run --jobs 1 $common --out "$work/pl" >/dev/null
        cat "$work/one" >> "$work/core$c"
      done
    done
    awk -v a="$(sort -n "$work/core0" | sed -n 2p)" -v b="$(sort -n "$work/core1" | sed -n 2p)" 'BEGIN {
      printf "  a plain run takes %.2f s on core 0 and %.2f s on core 1: two ranks can be at most %.2f times one rank (on core 0)\n",
             a, b, 1 + a / b }'
  fi
  mpi_scenarios=${MPI_SCENARIOS:-100}
  "$talvek" generate-scenarios --count "$mpi_scenarios" --seed 7 --basis examples/basis.toml --out "$work/mpi.csv"
  side_by_side "$mpi_scenarios scenarios on MPI ranks, 2 against 1 (--jobs 1 each): one rank takes" \
    "${mpi[*]} -n 2 $cluster/host/talvek run --jobs 1 $common --scenarios $work/mpi.csv --out $work/r2" \
    "${mpi[*]} -n 1 $cluster/host/talvek run --jobs 1 $common --scenarios $work/mpi.csv --out $work/r1"
  # a valuation's pieces over the ranks: with the sensitivities (seven runs
  # of the member file) the pieces' work outweighs rank 0's check and writing
  side_by_side "a valuation with its sensitivities on MPI ranks, 2 against 1 (--jobs 1 each): one rank takes" \
    "${mpi[*]} -n 2 $cluster/host/talvek run --jobs 1 $common --sensitivities --out $work/v2" \
    "${mpi[*]} -n 1 $cluster/host/talvek run --jobs 1 $common --sensitivities --out $work/v1"
  side_by_side "a plain valuation on MPI ranks, 2 against 1 (--jobs 1 each): one rank takes" \
    "${mpi[*]} -n 2 $cluster/host/talvek run --jobs 1 $common --out $work/p2" \
    "${mpi[*]} -n 1 $cluster/host/talvek run --jobs 1 $common --out $work/p1"
fi
