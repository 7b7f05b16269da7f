#!/usr/bin/env bash
# Builds the 32-bit Windows DLL with MinGW-w64 and checks it under Wine
# against the Linux build: the export table, the stack after each call, the
# result arrays and counters bit for bit, the member listing and error log,
# the progress dialog (a screenshot) and its Cancel button.
# Installs what is missing first (Debian packages, the i386 architecture
# for Wine's 32-bit side).
#
# Build directories (override with WINDOWS_BUILD and WINDOWS_CHECK_BUILD):
#   build/windows        the cross-build: the DLL, the Windows test host, the
#                        Wine prefix and the runs
#   build/windows-linux  the Linux library and the programs that prepare the
#                        inputs and make the reference runs
# SCREENSHOT=path writes the dialog's picture there as well.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc)}
win_build=${WINDOWS_BUILD:-$root/build/windows}
linux_build=${WINDOWS_CHECK_BUILD:-$root/build/windows-linux}
big_members=${BIG_MEMBERS:-200000}
started=$SECONDS

step() { echo "== $* ($((SECONDS - started))s)"; }

step "installing what is missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Wine runs 32-bit Windows programs with the i386 packages
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
scripts/install-deps.sh g++-mingw-w64-i686 wine wine32:i386 xvfb xauth xdotool imagemagick fonts-wine

step "Linux build: the reference library and the input tools"
cmake -S "$root" -B "$linux_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVEK_BUILD_WINDOWS_CHECK=ON \
  -DTALVEK_BUILD_TESTS=OFF -DTALVEK_BUILD_BENCH=OFF >/dev/null
cmake --build "$linux_build" -j "$jobs" --target Talvek_Pension_Model linux_host prepare_inputs talvek

step "Windows build: Talvek_Pension_Model.dll and the test host"
cmake -S "$root" -B "$win_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$win_build" -j "$jobs" --target Talvek_Pension_Model windows_host

passed=0
failed=0
pass() { echo "PASS $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }

dll=$win_build/Talvek_Pension_Model.dll
objdump=i686-w64-mingw32-objdump
step "export table and imports of the DLL"
exports=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^[[:space:]]*\[ *[0-9]+\]/ {print $3}' | sort | tr '\n' ' ')
if [ "$exports" = "CountInputData GenerateLiabilities " ]; then
  pass "exports: exactly CountInputData and GenerateLiabilities, undecorated"
else
  fail "exports: expected CountInputData and GenerateLiabilities, found: $exports"
fi
imports=$($objdump -p "$dll" | awk '/DLL Name:/ {print $3}' | tr '\n' ' ')
if echo "$imports" | grep -qiE 'libgcc|libstdc|libwinpthread'; then
  fail "imports: the DLL needs the compiler's runtime DLLs: $imports"
else
  pass "imports: system DLLs only ($imports)"
fi

step "inputs: the reference cases, the example plan, rejected lines, a large file"
work=$win_build/runs
rm -rf "$work" && mkdir -p "$work/cases"
cp "$dll" "$win_build/tests/windows/windows_host.exe" "$work/"
prepare=$linux_build/tests/windows/prepare_inputs
for case_file in tests/golden/*.case.json; do
  name=$(basename "$case_file" .case.json)
  "$prepare" case "$case_file" "$work/cases/golden-$name"
done
"$prepare" basis examples/basis.toml examples/members.txt "$work/cases/example"
# Rejected lines before the first member: they all fall on the progress check
# of 0 members done, which waits only once.
rejected=$work/rejected-members.txt
for i in $(seq 1 300); do printf 'R%07d,A,130,M,50000.00,,300.00,,M,47,,,,,\n' "$i"; done > "$rejected"
cat examples/members.txt >> "$rejected"
"$prepare" basis examples/basis.toml "$rejected" "$work/cases/rejected-lines"
"$linux_build/host/talvek" generate --members "$big_members" --seed 2011 --out "$work/big-members.txt"
"$prepare" basis examples/basis.toml "$work/big-members.txt" "$work/screenshot"
"$prepare" basis examples/basis.toml "$work/big-members.txt" "$work/cancel"

step "reference runs with the Linux build"
linux_library=$linux_build/libTalvek_Pension_Model.so
for dir in "$work"/cases/*/ "$work/screenshot/"; do
  mkdir -p "$dir/linux"
  (cd "$dir/linux" && "$linux_build/tests/windows/linux_host" "$linux_library" ../inputs.txt ../members.txt)
done

step "Wine prefix"
export WINEPREFIX=$win_build/wineprefix WINEARCH=win32 WINEDEBUG=-all
# no prompts to install Wine's .NET and HTML engines: nothing here needs them
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 300 xvfb-run -a sh -c 'wineboot -i && timeout 120 wineserver -w'
fi

step "runs of the DLL under Wine"
screenshot=$work/windows-progress-dialog.png
timeout 1500 xvfb-run -a -s "-screen 0 1024x768x24" tests/windows/wine_session.sh "$work" "$screenshot" ||
  fail "the Wine session did not finish"

step "comparisons"
for dir in "$work"/cases/*/ "$work/screenshot/"; do
  dir=${dir%/}
  name=$(basename "$dir")
  if [ "$(cat "$dir/win/host.rc" 2>/dev/null)" != 0 ]; then
    fail "$name: the Windows host ended with status $(cat "$dir/win/host.rc" 2>/dev/null || echo none)"
    sed 's/^/    /' "$dir/win/host.out" 2>/dev/null || true
    continue
  fi
  # the host checked the stack pointer around both calls (status 4 otherwise)
  if tests/windows/compare_runs.py "$dir/linux" "$dir/win"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
done
# Each run's host printed the stack pointer before and after both calls.
frames=$(cat "$work"/cases/*/win/host.out "$work"/screenshot/win/host.out 2>/dev/null | grep -c "stack pointer" || true)
kept=$(cat "$work"/cases/*/win/host.out "$work"/screenshot/win/host.out 2>/dev/null |
  awk '/stack pointer/ && $4 == $8 && /ebx, esi, edi kept/' | wc -l)
if [ "$frames" -gt 0 ] && [ "$frames" -eq "$kept" ]; then
  pass "stack: the same stack pointer before and after each of $frames calls"
  grep -h "stack pointer" "$work/cases/example/win/host.out" | sed 's/^/    /'
else
  fail "stack: $((frames - kept)) of $frames calls left the stack or the saved registers changed"
fi
seconds=999
if [ "$(cat "$work/cases/rejected-lines/win/host.rc" 2>/dev/null)" = 0 ]; then
  seconds=$(cat "$work/cases/rejected-lines/win/seconds")
fi
# 300 rejected lines would cost 30 s if each of their checks waited 100 ms
if [ "$seconds" -lt 20 ]; then
  pass "rejected lines: 300 of them before the first member cost one wait (${seconds}s)"
else
  fail "rejected lines: the run took ${seconds}s: the checks of rejected lines waited each"
fi
if [ -s "$screenshot" ]; then
  pass "screenshot of the progress dialog: $screenshot"
  [ -n "${SCREENSHOT:-}" ] && cp "$screenshot" "$SCREENSHOT"
else
  fail "no screenshot of the progress dialog"
fi

step "a run where the shell's dialog cannot be created"
# With the shell's progress dialog component switched off, and no X display
# at all, the run must go on without a dialog and give the same results.
nodialog=$work/no-dialog
mkdir -p "$nodialog/win"
cp "$work/cases/example/inputs.txt" "$work/cases/example/members.txt" "$nodialog/"
cp "$dll" "$win_build/tests/windows/windows_host.exe" "$nodialog/win/"
if (cd "$nodialog/win" && env -u DISPLAY WINEDLLOVERRIDES="$WINEDLLOVERRIDES;browseui=d" \
      timeout 120 wine windows_host.exe Talvek_Pension_Model.dll ../inputs.txt ../members.txt \
      > host.out 2>&1) &&
   tests/windows/compare_runs.py "$work/cases/example/linux" "$nodialog/win"; then
  pass "no dialog: the run went on without one"
else
  fail "no dialog: the run without the shell's dialog did not give the example's results"
  sed 's/^/    /' "$nodialog/win/host.out" 2>/dev/null || true
fi
timeout 60 wineserver -w || true

step "the cancelled run"
cancel=$work/cancel
results=$cancel/win/results.txt
if [ "$(cat "$cancel/win/host.rc" 2>/dev/null)" = 0 ] && [ -f "$results" ]; then
  done_count=$(awk '$2 == "membersDone" {print $3}' "$results")
  total=$(awk '$2 == "memberTotal" {print $3}' "$results")
  lines_read=$(($(wc -l < "$cancel/win/listing.txt") - 2))
  if [ "$done_count" -gt 0 ] && [ "$done_count" -lt "$total" ] && [ $((done_count % 1000)) -eq 0 ]; then
    pass "cancel: the run stopped at the progress check of $done_count of $total members"
  else
    fail "cancel: membersDone $done_count of $total is not a progress check before the end"
  fi
  # The members done so far, run on Linux: the same results, bit for bit.
  mkdir -p "$cancel/prefix/linux"
  head -n "$lines_read" "$cancel/members.txt" > "$cancel/prefix/members.txt"
  sed "s/^scalar memberTotal .*/scalar memberTotal $total/" "$cancel/inputs.txt" > "$cancel/prefix/inputs.txt"
  (cd "$cancel/prefix/linux" && "$linux_build/tests/windows/linux_host" "$linux_library" ../inputs.txt ../members.txt)
  if tests/windows/compare_runs.py "$cancel/prefix/linux" "$cancel/win" --prefix-of-count; then
    pass "cancel: the results are those of the first $lines_read lines"
  else
    fail "cancel: the results are not those of the lines read before the stop"
  fi
else
  fail "cancel: the Windows host ended with status $(cat "$cancel/win/host.rc" 2>/dev/null || echo none)"
fi

step "done"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
