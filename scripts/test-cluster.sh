#!/usr/bin/env bash
# The cluster build of talvek (Open MPI): a scenario set valued on 1, 2 and 3
# ranks of this machine gives the same bytes in every result file as one
# process of the plain build; a plain run under mpirun is that of one
# process; SIGTERM to mpirun stops every rank and leaves results marked as
# stopped; a rank stopped on its own ends the run with a message naming it.
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

# a plain run under mpirun is the one process's run
"$plain" "${run_args[@]}" --out "$work/plain-one" >/dev/null || fail "plain run"
"${mpi[@]}" -n 2 "$talvek" "${run_args[@]}" --out "$work/plain-ranks" >/dev/null 2>&1 || fail "plain run on 2 ranks"
same_results "$work/plain-one" "$work/plain-ranks" "plain run on 2 ranks"

# SIGTERM to mpirun: every rank stops; the results are written, marked as stopped
"$plain" generate --members 40000 --seed 12 --out "$work/large.txt"
# enough scenarios that the set is still running when the signals come: a
# block of scenarios costs little more than one run
"$plain" generate-scenarios --count 120 --seed 6 --basis examples/basis.toml --out "$work/many.csv"
large_args=(run --basis examples/basis.toml --members "$work/large.txt" --jobs 1 --scenarios "$work/many.csv")
"${mpi[@]}" -n 3 "$talvek" "${large_args[@]}" --out "$work/stopped" >"$work/stopped.log" 2>&1 &
runner=$!
sleep 3
kill -TERM "$(pgrep -P "$runner" -x mpirun || echo "$runner")" 2>/dev/null || kill -TERM "$runner"
if wait "$runner"; then fail "a run stopped by SIGTERM exited 0"; fi
grep -q '"complete": false' "$work/stopped/run.json" 2>/dev/null || fail "SIGTERM: run.json is not marked incomplete"
pgrep -f "$work/stopped" >/dev/null && fail "SIGTERM: a rank is still running"
echo "SIGTERM to mpirun: every rank stopped, the results marked as stopped"

# one rank stopped on its own: the run ends non-zero, its message names the rank
"${mpi[@]}" -n 3 "$talvek" "${large_args[@]}" --out "$work/rank-stopped" >"$work/rank-stopped.log" 2>&1 &
runner=$!
worker=""
for _ in $(seq 50); do
  # the ranks in start order; the last is rank 2
  # mpirun and its three ranks, in start order: the last is rank 2
  ranks=$(pgrep -f -- "host/talvek run .*--out $work/rank-stopped" | sort -n || true)
  worker=$(echo "$ranks" | tail -1)
  [ "$(echo "$ranks" | grep -c .)" -eq 4 ] && break
  sleep 0.1
done
sleep 1
[ -n "$worker" ] && kill -TERM "$worker"
if wait "$runner"; then fail "a run with a stopped rank exited 0"; fi
grep -q "rank 2 (scenarios from 81 on): scenario [0-9]*: the run was stopped" "$work/rank-stopped.log" ||
  { fail "the stopped rank is not named"; grep -m3 "talvek:\|Process name" "$work/rank-stopped.log"; }
echo "a rank stopped on its own: the run ends non-zero, naming the rank"

[ "$failures" -eq 0 ] && echo "cluster checks passed"
[ "$failures" -eq 0 ]
