#!/usr/bin/env bash
# The cluster build of talvek (Open MPI): a scenario set, and a member file's
# valuation with its sensitivities and per-member figures, valued on 1, 2
# and 3 ranks of this machine give the same bytes in every result file and
# report as one process of the plain build; SIGTERM to mpirun stops every
# rank and leaves results marked as stopped; a rank stopped on its own ends
# the run with a message naming it.
# Usage: scripts/test-cluster.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh --run libopenmpi-dev openmpi-bin openssh-client

build="$root/build/cluster"
plain_build="$root/build/cluster-plain"
for b in "$build:ON" "$plain_build:OFF"; do
  cmake -S "$root" -B "${b%%:*}" -DCMAKE_BUILD_TYPE=Release -DTALVEK_BUILD_TESTS=OFF -DTALVEK_BUILD_BENCH=OFF \
    -DTALVEK_MPI="${b##*:}" >/dev/null
  cmake --build "${b%%:*}" --target talvek -j 2 >/dev/null
done
talvek="$build/host/talvek"
plain="$plain_build/host/talvek"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# CI runs as root; three ranks on two cores need --oversubscribe
mpi=(mpirun --oversubscribe)
[ "$(id -u)" -eq 0 ] && mpi+=(--allow-run-as-root)

"$plain" generate --members 4000 --seed 11 --out "$work/members.txt"
"$plain" generate-scenarios --count 7 --seed 5 --basis examples/basis.toml --out "$work/scenarios.csv"
run_args=(run --basis examples/basis.toml --members "$work/members.txt" --jobs 1)

# every CSV of two result folders, byte for byte
same_results() { # folder folder what
  local f n=0
  for f in "$1"/*.csv; do
    n=$((n + 1))
    cmp -s "$f" "$2/$(basename "$f")" || fail "$3: $(basename "$f") differs"
  done
  [ "$n" -gt 0 ] || fail "$3: no result files"
}

"$plain" "${run_args[@]}" --scenarios "$work/scenarios.csv" --scenario-cashflows --out "$work/one" >/dev/null ||
  fail "one process of the plain build"
for ranks in 1 2 3; do
  if "${mpi[@]}" -n "$ranks" "$talvek" "${run_args[@]}" --scenarios "$work/scenarios.csv" --scenario-cashflows \
      --out "$work/ranks$ranks" >"$work/ranks$ranks.log" 2>&1; then
    same_results "$work/one" "$work/ranks$ranks" "$ranks ranks"
    echo "scenario set on $ranks ranks: the same bytes as one process"
  else
    fail "the scenario set on $ranks ranks exited $?"; tail -5 "$work/ranks$ranks.log"
  fi
done

# a member file's pieces over the ranks: the one process's results and
# reports, for any number of ranks and of jobs on each (40,000 members are
# 28 pieces: every rank has some)
"$plain" generate --members 40000 --seed 12 --out "$work/large.txt"
valuation_args=(run --basis examples/basis.toml --members "$work/large.txt" --per-member --sensitivities)
"$plain" "${valuation_args[@]}" --jobs 1 --out "$work/valued-one" >/dev/null || fail "the valuation in one process"
for ranks in 1 2 3; do
  for jobs in 1 2; do
    what="the valuation on $ranks ranks of $jobs jobs"
    if "${mpi[@]}" -n "$ranks" "$talvek" "${valuation_args[@]}" --jobs "$jobs" --out "$work/valued-$ranks-$jobs" \
        >"$work/valued.log" 2>&1; then
      same_results "$work/valued-one" "$work/valued-$ranks-$jobs" "$what"
      for report in member_listing.txt errors.txt; do
        cmp -s "$work/valued-one/$report" "$work/valued-$ranks-$jobs/$report" || fail "$what: $report differs"
      done
    else
      fail "$what exited $?"; tail -5 "$work/valued.log"
    fi
  done
  echo "member file on $ranks ranks (1 and 2 jobs each): the same bytes as one process"
done
"${mpi[@]}" -n 2 "$talvek" run --basis examples/basis.toml --members "$work/large.txt" --no-present-values \
  --jobs 1 --out "$work/projected-ranks" >/dev/null 2>&1 || fail "the projection alone on 2 ranks"
"$plain" run --basis examples/basis.toml --members "$work/large.txt" --no-present-values --jobs 1 \
  --out "$work/projected-one" >/dev/null || fail "the projection alone in one process"
same_results "$work/projected-one" "$work/projected-ranks" "the projection alone on 2 ranks"

# Signals and a paused rank, on sets of scenarios long enough that they are
# still running when the signal comes: a block of scenarios costs little
# more than one run
"$plain" generate-scenarios --count 120 --seed 6 --basis examples/basis.toml --out "$work/many.csv"
large_args=(run --basis examples/basis.toml --members "$work/large.txt" --jobs 1 --scenarios "$work/many.csv")

# SIGTERM to mpirun after SECONDS: every rank stops, and the results are
# written, marked as stopped.   stop_every_rank SECONDS OUT WHAT ARGS...
stop_every_rank() {
  local seconds=$1 out=$work/$2 what=$3 runner
  shift 3
  "${mpi[@]}" -n 3 "$talvek" "$@" --out "$out" >"$out.log" 2>&1 &
  runner=$!
  sleep "$seconds"
  kill -TERM "$(pgrep -P "$runner" -x mpirun || echo "$runner")" 2>/dev/null || kill -TERM "$runner"
  if wait "$runner"; then fail "$what stopped by SIGTERM exited 0"; fi
  grep -q '"complete": false' "$out/run.json" 2>/dev/null ||
    { fail "SIGTERM: the run.json of $what is not marked incomplete"; tail -5 "$out.log"; }
  pgrep -f "$out" >/dev/null && fail "SIGTERM: a rank of $what is still running"
  echo "SIGTERM to mpirun during $what: every rank stopped, the results marked as stopped"
}

# SIGTERM to rank 2 alone, SECONDS after every rank started: the run ends
# non-zero and a message names the rank.   stop_one_rank SECONDS OUT WHAT NAMING ARGS...
# The process of rank 2 of the three-rank run writing into OUT, once mpirun
# has started all three.   last_rank OUT
last_rank() {
  local ranks worker=""
  for _ in $(seq 50); do
    # mpirun and its three ranks, in start order: the last is rank 2
    ranks=$(pgrep -f -- "host/talvek run .*--out $1" | sort -n || true)
    worker=$(echo "$ranks" | tail -1)
    [ "$(echo "$ranks" | grep -c .)" -eq 4 ] && break
    sleep 0.1
  done
  echo "$worker"
}

stop_one_rank() {
  local seconds=$1 out=$work/$2 what=$3 naming=$4 runner worker
  shift 4
  "${mpi[@]}" -n 3 "$talvek" "$@" --out "$out" >"$out.log" 2>&1 &
  runner=$!
  worker=$(last_rank "$out")
  sleep "$seconds"
  [ -n "$worker" ] && kill -TERM "$worker"
  if wait "$runner"; then fail "$what with a stopped rank exited 0"; fi
  grep -q "$naming" "$out.log" ||
    { fail "the stopped rank of $what is not named"; grep -m3 "talvek:\|Process name" "$out.log"; }
  echo "a rank stopped on its own during $what: the run ends non-zero, naming the rank"
}

# the signals come well before the end of a set of 600: on three ranks that
# share out batches of scenarios, a set of 120 can be over within 3 seconds
"$plain" generate-scenarios --count 600 --seed 6 --basis examples/basis.toml --out "$work/longer.csv"
longer_args=(run --basis examples/basis.toml --members "$work/large.txt" --jobs 1 --scenarios "$work/longer.csv")
stop_every_rank 3 stopped "a scenario set" "${longer_args[@]}"
stop_one_rank 1 rank-stopped "a scenario set" "rank 2 (scenarios from [0-9]* on): scenario [0-9]*: the run was stopped" \
  "${longer_args[@]}"

# the same for a member file's pieces
"$plain" generate --members 400000 --seed 13 --out "$work/huge.txt"
huge_args=(run --basis examples/basis.toml --members "$work/huge.txt" --jobs 1 --sensitivities)
stop_every_rank 4 pieces-stopped "a valuation" "${huge_args[@]}"

# A rank that falls behind (paused for two seconds, on a loaded machine or a
# slower one): the others value the batches it would have valued (of pieces
# or of scenarios), wait once they are far enough ahead, and the results
# are still one process's bytes.   pause_one_rank OUT WHAT ONE ARGS...
pause_one_rank() {
  local out=$work/$1 what=$2 one=$3 runner worker report
  shift 3
  "${mpi[@]}" -n 3 "$talvek" "$@" --out "$out" >"$out.log" 2>&1 &
  runner=$!
  worker=$(last_rank "$out")
  sleep 0.3
  [ -n "$worker" ] && kill -STOP "$worker"
  sleep 2
  [ -n "$worker" ] && kill -CONT "$worker"
  if wait "$runner"; then
    same_results "$one" "$out" "$what with a rank paused"
    for report in member_listing.txt errors.txt; do
      cmp -s "$one/$report" "$out/$report" || fail "$what with a rank paused: $report differs"
    done
    echo "a rank paused during $what: the others go on, and the results are the same bytes"
  else
    fail "$what with a rank paused exited $?"; tail -5 "$out.log"
  fi
}
pause_one_rank paused "a valuation" "$work/valued-one" "${valuation_args[@]}" --jobs 1
"$plain" "${large_args[@]}" --out "$work/many-one" >/dev/null || fail "the set of 120 in one process"
pause_one_rank paused-set "a scenario set" "$work/many-one" "${large_args[@]}"
stop_one_rank 4 piece-rank-stopped "a valuation" "talvek: rank 2: " "${huge_args[@]}"

[ "$failures" -eq 0 ] && echo "cluster checks passed"
[ "$failures" -eq 0 ]
