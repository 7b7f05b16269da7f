#!/usr/bin/env bash
# Faults a real machine has, against a built talvek: a full disk, a read-only
# folder and file, a listing path that is a folder, SIGTERM and SIGINT at
# random moments of a large run, two runs into one folder, a pipe and a
# device as member file, and a member file truncated or appended during the
# run. After each, the results folder holds either the complete new results
# with exit 0 (or 3), a stopped run's results whole and marked with 130/143,
# or the earlier results untouched with a non-zero exit and a message naming
# the cause; and never a temporary file beside it.
#   scripts/fault-injection.sh [BUILD_DIR]
# Without BUILD_DIR it builds talvek in build/release (as run-example.sh
# does) and uses that; with one it uses the talvek already built there.
# FAULT_MEMBERS (default 2000000) and FAULT_SIGNALS (default 20) size the
# large run and the number of signals; FAULT_SEED makes the moments repeatable.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if [ $# -ge 1 ]; then
  build=$1
else
  build=build/release
  # a fresh folder gets the options of run-example.sh; an existing one keeps its own
  options=()
  [ -f "$root/$build/CMakeCache.txt" ] || options=(-DTALVEK_BUILD_TESTS=OFF -DTALVEK_BUILD_BENCH=OFF)
  cmake -S "$root" -B "$root/$build" -DCMAKE_BUILD_TYPE=Release -DTALVEK_BUILD_HOST=ON "${options[@]}" >/dev/null &&
    cmake --build "$root/$build" --target talvek -j "${JOBS:-$(nproc)}" >/dev/null || { echo "cannot build talvek"; exit 1; }
fi
talvek="$root/$build/host/talvek"
basis="$root/examples/basis.toml"
members_small="$root/examples/members.txt"
big_members=${FAULT_MEMBERS:-2000000}
signals=${FAULT_SIGNALS:-20}
RANDOM=${FAULT_SEED:-$$}
[ -x "$talvek" ] || { echo "no talvek at $talvek: build it first"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/talvek-faults.XXXXXX")
mounted=()
cleanup() {
  for point in "${mounted[@]}"; do umount "$point" 2>/dev/null; done
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

# Every file of a folder with its digest: "untouched" means the same text.
fingerprint() { (cd "$1" 2>/dev/null && find . -type f -print0 | sort -z | xargs -0 -r sha256sum) ; }

no_temporaries() { # parent folder
  local left
  left=$(find "$1" -maxdepth 1 -name '.*talvek-*' | head -5)
  [ -z "$left" ] || { fail "temporary files left: $left"; return 1; }
}

# A results folder that is whole: its record's counts match its listing, and
# its CSVs are marked as stopped exactly when the record says incomplete.
whole_results() { # folder, expected exit status
  local out=$1 status=$2 lines listed complete
  [ -f "$out/run.json" ] || { echo "no run.json in $out"; return 1; }
  grep -q "\"exit_status\": $status," "$out/run.json" || { echo "run.json has another exit status"; return 1; }
  lines=$(sed -n 's/.*"lines_read": \([0-9]*\),.*/\1/p' "$out/run.json")
  listed=$(wc -l < "$out/member_listing.txt")
  [ "$listed" -eq $((lines + 2)) ] || { echo "listing has $listed lines for $lines read"; return 1; }
  complete=$(sed -n 's/.*"complete": \(true\|false\).*/\1/p' "$out/run.json")
  for csv in member_counts.csv decrement_counts.csv benefit_cashflows.csv; do
    [ "$(wc -l < "$out/$csv")" -ge 112 ] || { echo "$csv is cut"; return 1; }
    if [ "$complete" = true ]; then head -1 "$out/$csv" | grep -q '^year,' || { echo "$csv not a whole run's"; return 1; }
    else head -1 "$out/$csv" | grep -q '^# STOPPED by ' || { echo "$csv not marked as stopped"; return 1; }; fi
  done
  case $status in 130|143) [ "$complete" = false ] ;; *) [ "$complete" = true ] ;; esac
}

# The outcome of one faulty run: new whole results, or earlier ones untouched
# with a message on standard error.
check_outcome() { # name, status, out, fingerprint before, stderr file, expected cause (regex, may be empty), "busy" when another run is still on
  local name=$1 status=$2 out=$3 before=$4 err=$5 cause=$6 busy=${7:-} problem
  case $status in
    0|3|130|143)
      if [ "$status" -ge 130 ] && [ -n "$before" ] && [ "$(fingerprint "$out")" = "$before" ]; then
        pass "$name: exit $status before the run began, earlier results untouched"
      elif problem=$(whole_results "$out" "$status"); then pass "$name: exit $status, results whole"
      else fail "$name: exit $status but $problem"; fi ;;
    *)
      if [ "$(fingerprint "$out")" != "$before" ]; then fail "$name: exit $status and the earlier results changed"
      elif [ ! -s "$err" ]; then fail "$name: exit $status without a message"
      elif [ -n "$cause" ] && ! grep -Eq "$cause" "$err"; then fail "$name: message does not name the cause: $(head -3 "$err")"
      else pass "$name: exit $status, earlier results untouched: $(grep -m1 talvek: "$err")"; fi ;;
  esac
  [ "$busy" = busy ] || no_temporaries "$(dirname "$out")"
}

run_talvek() { # members, out, stderr file, more options...
  local m=$1 o=$2 e=$3; shift 3
  "$talvek" run --basis "$basis" --members "$m" --out "$o" "$@" > /dev/null 2> "$e"
}

earlier_results() { # out: a complete run of the small example
  run_talvek "$members_small" "$1" "$work/earlier.err" --jobs 1 || { [ $? -eq 3 ] || fail "the earlier run failed: $(cat "$work/earlier.err")"; }
}

echo "== fault injection with $talvek (work in $work)"

# ---- disk full and a read-only file system: a tmpfs, where mounting is allowed;
# room for one run of the small example (about 480 KiB with the valuation's
# files) and not for a second beside it with the per-member figures
if [ "$(id -u)" -eq 0 ] && mkdir -p "$work/small-disk" && mount -t tmpfs -o size=700k tmpfs "$work/small-disk" 2>/dev/null; then
  mounted+=("$work/small-disk")
  out="$work/small-disk/out"
  earlier_results "$out"
  before=$(fingerprint "$out")
  run_talvek "$members_small" "$out" "$work/full.err" --jobs 2 --per-member --sensitivities; status=$?
  check_outcome "disk full" "$status" "$out" "$before" "$work/full.err" "No space left on device"
  [ "$status" -ne 0 ] || fail "disk full: exit 0"
  mount -o remount,ro "$work/small-disk"
  run_talvek "$members_small" "$out" "$work/ro-fs.err" --jobs 1; status=$?
  check_outcome "read-only file system" "$status" "$out" "$before" "$work/ro-fs.err" "Read-only file system"
else
  echo "skipped: disk full and read-only file system (mounting a tmpfs needs root and a machine that allows it)"
fi

# ---- a read-only folder (root is not held back by permissions)
if [ "$(id -u)" -ne 0 ]; then
  mkdir -p "$work/ro/parent"
  out="$work/ro/parent/out"
  earlier_results "$out"
  before=$(fingerprint "$out")
  chmod 555 "$work/ro/parent"
  run_talvek "$members_small" "$out" "$work/ro.err" --jobs 1; status=$?
  chmod 755 "$work/ro/parent"
  check_outcome "read-only folder" "$status" "$out" "$before" "$work/ro.err" "Permission denied"
else
  echo "skipped: read-only folder (root is not held back by permissions; the read-only file system above stands in)"
fi

# ---- a read-only listing and a listing path that is a folder: the run
# writes a new folder, so neither stands in its way
out="$work/files/out"
earlier_results "$out"
chmod 444 "$out/member_listing.txt"
run_talvek "$members_small" "$out" "$work/ro-file.err" --jobs 2; status=$?
check_outcome "read-only listing file" "$status" "$out" "" "$work/ro-file.err" ""
rm -f "$out/member_listing.txt" && mkdir "$out/member_listing.txt"
run_talvek "$members_small" "$out" "$work/dir-listing.err" --jobs 1; status=$?
check_outcome "listing path a folder" "$status" "$out" "" "$work/dir-listing.err" ""

# ---- a pipe and a device as member file
out="$work/pipe/out"
earlier_results "$out"
before=$(fingerprint "$out")
run_talvek <(cat "$members_small") "$out" "$work/pipe.err" --jobs 1; status=$?
check_outcome "member file from a pipe" "$status" "$out" "$before" "$work/pipe.err" "pipe or FIFO"
timeout 20 "$talvek" run --basis "$basis" --members /dev/zero --out "$out" > /dev/null 2> "$work/zero.err"; status=$?
[ "$status" -ne 124 ] || fail "/dev/zero: the run hung"
check_outcome "member file /dev/zero" "$status" "$out" "$before" "$work/zero.err" "character device"

# ---- the large member file
big="$work/big.txt"
"$talvek" generate --members "$big_members" --seed 11 --out "$big" || { fail "generate"; exit 1; }

# a run that takes the lock, and a second run into the same folder
out="$work/two/out"
earlier_results "$out"
# (started as a simple command: $! is talvek itself, not a subshell)
"$talvek" run --basis "$basis" --members "$big" --out "$out" --jobs 2 > /dev/null 2> "$work/first.err" & first=$!
for _ in $(seq 200); do [ -e "$work/two/.out.talvek-lock" ] && break; sleep 0.02; done
before=$(fingerprint "$out")
run_talvek "$members_small" "$out" "$work/second.err" --jobs 1; status=$?
[ "$status" -ne 0 ] || fail "two runs: the second exited 0 while the first ran"
check_outcome "second run into a folder in use" "$status" "$out" "$before" "$work/second.err" "another run is writing" busy
wait "$first"; status=$?
check_outcome "first run of two" "$status" "$out" "" "$work/first.err" ""

# the member file truncated, and appended to, during the run
for change in truncated appended; do
  out="$work/$change/out"
  earlier_results "$out"
  before=$(fingerprint "$out")
  cp "$big" "$work/changing.txt"
  "$talvek" run --basis "$basis" --members "$work/changing.txt" --out "$out" --jobs 2 > /dev/null 2> "$work/$change.err" & pid=$!
  # once the run has its temporary folder, it is reading the member file
  for _ in $(seq 500); do compgen -G "$work/$change/.out.talvek-partial-*" > /dev/null && break; sleep 0.01; done
  sleep 0.2
  if [ "$change" = truncated ]; then truncate -s 1000000 "$work/changing.txt"; else head -c 1000 "$members_small" >> "$work/changing.txt"; fi
  wait "$pid"; status=$?
  [ "$status" -ne 0 ] && [ "$status" -ne 3 ] || fail "member file $change: exit $status"
  check_outcome "member file $change during the run" "$status" "$out" "$before" "$work/$change.err" "changed during the run"
done

# SIGTERM and SIGINT at random moments: the moments spread over a whole run
start=$(date +%s%N)
run_talvek "$big" "$work/timed" "$work/timed.err" --jobs 2
whole_ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "   a whole run of $big_members members takes $whole_ms ms"
out="$work/signals/out"
earlier_results "$out"
for i in $(seq "$signals"); do
  if [ $((i % 2)) -eq 0 ]; then sig=TERM; else sig=INT; fi
  jobs=$((1 + RANDOM % 2))
  moment=$(( RANDOM % (whole_ms + whole_ms / 5 + 1) ))
  before=$(fingerprint "$out")
  "$talvek" run --basis "$basis" --members "$big" --out "$out" --jobs "$jobs" > /dev/null 2> "$work/signal.err" & pid=$!
  sleep "$(printf '%d.%03d' $((moment / 1000)) $((moment % 1000)))"
  kill -s "$sig" "$pid" 2>/dev/null
  wait "$pid"; status=$?
  check_outcome "SIG$sig after $moment ms (jobs $jobs)" "$status" "$out" "$before" "$work/signal.err" ""
done

if [ "$failures" -gt 0 ]; then
  echo "fault injection: $failures failure(s)"
  exit 1
fi
echo "fault injection: every fault ended in whole results or untouched ones"
