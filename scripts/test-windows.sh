#!/usr/bin/env bash
# Builds the Windows DLLs with MinGW-w64, 32-bit and 64-bit, and checks them
# against the Linux build: the export tables, the imports, the calling
# convention, and under Wine the result arrays and counters bit for bit, the
# member listing and error log, the progress dialog (a screenshot), a run
# without the dialog and a press of its Cancel button.
#
# The 64-bit DLL runs under 64-bit Wine on every machine. The 32-bit DLL runs
# under 32-bit Wine where the machine can execute 32-bit programs (a tiny
# 32-bit Linux program tells); where it cannot, that is said in one line and
# the 32-bit DLL is checked without running it: its export table and, in its
# code, that each export removes its own arguments from the stack.
# WINDOWS_32BIT=skip skips the 32-bit runs on any machine.
#
# Installs what is missing first (Debian packages; for the 32-bit runs also
# the i386 architecture and Wine's 32-bit side, about 1.5 GiB in all).
#
# Build directories:
#   build/windows        the 32-bit cross-build: DLL, test host, Wine prefix, runs
#   build/windows64      the same for the 64-bit DLL
#   build/windows-linux  the Linux library, the programs that prepare the
#                        inputs and make the reference runs, and those runs
# SCREENSHOT=path writes the 64-bit dialog's picture there as well.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc)}
linux_build=$root/build/windows-linux
big_members=${BIG_MEMBERS:-200000}
started=$SECONDS

step() { echo "== $* ($((SECONDS - started))s)"; }
passed=0
failed=0
pass() { echo "PASS $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
# Stops the whole check: what follows needs what just failed.
give_up() {
  fail "$*"
  echo "$passed passed, $failed failed"
  exit 1
}

# Whether this machine executes 32-bit x86 programs: a 93-byte static 32-bit
# Linux program that only exits with status 42. The kernel refuses it with
# "Exec format error" where 32-bit support is missing; any other outcome is a
# fault of the machine's set-up and stops the check.
probe_32bit() {
  local probe=$linux_build/probe-32bit output status
  mkdir -p "$linux_build"
  # ELF header, one loadable segment at 0x08048000, then the code:
  # xor ebx,ebx; mov bl,42; xor eax,eax; inc eax; int 0x80 (exit 42)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' > "$probe"
  chmod +x "$probe"
  output=$("$probe" 2>&1)
  status=$?
  if [ "$status" -eq 42 ]; then
    echo yes
  elif echo "$output" | grep -q "Exec format error"; then
    echo no
  else
    echo "unknown (status $status: $output)"
  fi
}

step "can this machine execute 32-bit programs"
run32=$(probe_32bit)
case "$run32" in
  yes) echo "yes: the 32-bit DLL runs under 32-bit Wine" ;;
  no) echo "no: the kernel answers \"Exec format error\"" ;;
  *) give_up "the 32-bit probe gave no clear answer: $run32" ;;
esac
skip_reason="this machine cannot execute 32-bit programs"
if [ "${WINDOWS_32BIT:-}" = skip ]; then
  run32=no
  skip_reason="WINDOWS_32BIT=skip"
fi

step "installing what is missing"
packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xauth xdotool imagemagick
  fonts-wine python3 nlohmann-json3-dev)
if [ "$run32" = yes ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  # Wine runs 32-bit Windows programs with the i386 packages
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386 || give_up "cannot add the i386 architecture"
  fi
  packages+=(wine32:i386)
fi
scripts/install-deps.sh "${packages[@]}" || give_up "cannot install ${packages[*]}"

step "Linux build: the reference library and the input tools"
{ cmake -S "$root" -B "$linux_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVEK_BUILD_WINDOWS_CHECK=ON \
    -DTALVEK_BUILD_TESTS=OFF -DTALVEK_BUILD_BENCH=OFF >/dev/null &&
  cmake --build "$linux_build" -j "$jobs" --target Talvek_Pension_Model linux_host prepare_inputs talvek; } ||
  give_up "the Linux build failed"

# Cross-builds the DLL and the Windows test host: build folder, toolchain.
build_windows() {
  cmake -S "$root" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >/dev/null && cmake --build "$1" -j "$jobs" --target Talvek_Pension_Model windows_host
}
step "Windows builds: Talvek_Pension_Model.dll and the test host, 32-bit and 64-bit"
build_windows "$root/build/windows" mingw-i686.cmake || give_up "the 32-bit Windows build failed"
build_windows "$root/build/windows64" mingw-x86_64.cmake || give_up "the 64-bit Windows build failed"

step "export tables, imports and calling convention of the DLLs"
check_dll=tests/windows/check_dll.sh
for target in i686 x86_64; do
  dir=$root/build/windows
  [ $target = x86_64 ] && dir=$root/build/windows64
  if out=$($check_dll exports "$target" "$dir/Talvek_Pension_Model.dll"); then pass "$out"; else fail "$out"; fi
  if out=$($check_dll imports "$target" "$dir/Talvek_Pension_Model.dll"); then pass "$out"; else fail "$out"; fi
done
if out=$($check_dll stdcall i686 "$root/build/windows/Talvek_Pension_Model.dll"); then pass "$out"; else fail "$out"; fi
# The check of the convention must tell a wrong DLL: one whose exports
# leave their arguments on the stack, as the C convention does.
breaker=$root/build/windows/convention_breaker.dll
if i686-w64-mingw32-gcc -O1 -shared -o "$breaker" tests/windows/convention_breaker.c -Wl,--kill-at; then
  if out=$($check_dll stdcall i686 "$breaker"); then
    fail "convention check: it passed a DLL whose exports leave their arguments ($out)"
  else
    pass "convention check: it rejects a DLL whose exports leave their arguments ($out)"
  fi
else
  fail "convention check: cannot build the DLL with the wrong convention"
fi

step "inputs: the reference cases, the example plan, rejected lines, a large file"
inputs=$linux_build/runs
rm -rf "$inputs" && mkdir -p "$inputs/cases"
prepare=$linux_build/tests/windows/prepare_inputs
for case_file in tests/golden/*.case.json; do
  name=$(basename "$case_file" .case.json)
  "$prepare" case "$case_file" "$inputs/cases/golden-$name" || fail "inputs of $name"
done
"$prepare" basis examples/basis.toml examples/members.txt "$inputs/cases/example" || fail "inputs of the example"
# Rejected lines before the first member: they all fall on the progress check
# of 0 members done, which waits only once.
rejected=$inputs/rejected-members.txt
for i in $(seq 1 300); do printf 'R%07d,A,130,M,50000.00,,300.00,,M,47,,,,,\n' "$i"; done > "$rejected"
cat examples/members.txt >> "$rejected"
"$prepare" basis examples/basis.toml "$rejected" "$inputs/cases/rejected-lines" || fail "inputs of the rejected lines"
"$linux_build/host/talvek" generate --members "$big_members" --seed 2011 --out "$inputs/big-members.txt" ||
  fail "the large member file"
"$prepare" basis examples/basis.toml "$inputs/big-members.txt" "$inputs/screenshot" || fail "inputs of the large file"
"$prepare" basis examples/basis.toml "$inputs/big-members.txt" "$inputs/cancel" || fail "inputs of the large file"

step "reference runs with the Linux build"
linux_library=$linux_build/libTalvek_Pension_Model.so
for dir in "$inputs"/cases/*/ "$inputs/screenshot/"; do
  mkdir -p "$dir/linux"
  (cd "$dir/linux" && "$linux_build/tests/windows/linux_host" "$linux_library" ../inputs.txt ../members.txt) ||
    fail "the Linux reference run of $(basename "$dir")"
done

# Runs one DLL under Wine and compares everything with the Linux runs:
#   run_under_wine LABEL BUILD_DIR WINEARCH WINE_COMMAND
run_under_wine() {
  local label=$1 win_build=$2 arch=$3 wine_command=$4
  local work=$win_build/runs dll=$win_build/Talvek_Pension_Model.dll
  local exe=$win_build/tests/windows/windows_host.exe
  rm -rf "$work" && mkdir -p "$work"
  cp -r "$inputs/cases" "$inputs/screenshot" "$inputs/cancel" "$work/"
  cp "$dll" "$exe" "$work/"

  step "$label: Wine prefix"
  export WINEPREFIX=$win_build/wineprefix WINEARCH=$arch WINEDEBUG=-all WINE=$wine_command
  # no prompts to install Wine's .NET and HTML engines: nothing here needs them
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "$arch" = win64 ]; then export WINELOADER=$wine_command; else unset WINELOADER; fi
  # Making a prefix now and then fails on a busy machine (a display that is
  # not up in time, a server left from before): a second try starts from
  # nothing, and what Wine said is shown when that fails too.
  local try made=no
  for try in 1 2; do
    [ -f "$WINEPREFIX/system.reg" ] && { made=yes; break; }
    if timeout 300 xvfb-run -a sh -c '"$WINE" wineboot -i && timeout 120 wineserver -w' \
         >"$win_build/wineboot.log" 2>&1 && [ -f "$WINEPREFIX/system.reg" ]; then
      made=yes
      break
    fi
    echo "making the Wine prefix failed (try $try of 2)"
    tail -n 20 "$win_build/wineboot.log" | sed 's/^/    /'
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  done
  if [ "$made" != yes ]; then
    fail "$label: Wine cannot make its prefix"
    return
  fi

  step "$label: runs of the DLL under Wine"
  local screenshot=$work/windows-progress-dialog.png
  timeout 1500 xvfb-run -a -s "-screen 0 1024x768x24" tests/windows/wine_session.sh "$work" "$screenshot" ||
    fail "$label: the Wine session did not finish"

  step "$label: comparisons"
  local dir name
  for dir in "$work"/cases/*/ "$work/screenshot/"; do
    dir=${dir%/}
    name=$(basename "$dir")
    if [ "$(cat "$dir/win/host.rc" 2>/dev/null)" != 0 ]; then
      fail "$label $name: the Windows host ended with status $(cat "$dir/win/host.rc" 2>/dev/null || echo none)"
      sed 's/^/    /' "$dir/win/host.out" 2>/dev/null || true
      continue
    fi
    if out=$(tests/windows/compare_runs.py "$dir/linux" "$dir/win"); then
      pass "$label $out"
    else
      fail "$label $out"
    fi
  done
  # Each run's host printed the stack pointer and the registers the callee
  # must keep, before and after both calls.
  local frames kept
  frames=$(cat "$work"/cases/*/win/host.out "$work"/screenshot/win/host.out 2>/dev/null | grep -c "stack pointer")
  kept=$(cat "$work"/cases/*/win/host.out "$work"/screenshot/win/host.out 2>/dev/null |
    awk '/stack pointer/ && $4 == $8 && / kept\r?$/' | wc -l)
  if [ "$frames" -gt 0 ] && [ "$frames" -eq "$kept" ]; then
    pass "$label stack: the same stack pointer and saved registers before and after each of $frames calls"
    grep -h "stack pointer" "$work/cases/example/win/host.out" | sed 's/^/    /'
  else
    fail "$label stack: $((frames - kept)) of $frames calls left the stack or changed a saved register"
  fi
  local seconds=999
  if [ "$(cat "$work/cases/rejected-lines/win/host.rc" 2>/dev/null)" = 0 ]; then
    seconds=$(cat "$work/cases/rejected-lines/win/seconds")
  fi
  # 300 rejected lines would cost 30 s if each of their checks waited 100 ms
  if [ "$seconds" -lt 20 ]; then
    pass "$label rejected lines: 300 of them before the first member cost one wait (${seconds}s)"
  else
    fail "$label rejected lines: the run took ${seconds}s: the checks of rejected lines waited each"
  fi
  if [ -s "$screenshot" ]; then
    pass "$label screenshot of the progress dialog: $screenshot"
    if [ -n "${SCREENSHOT:-}" ] && [ "$arch" = win64 ]; then cp "$screenshot" "$SCREENSHOT"; fi
  else
    fail "$label: no screenshot of the progress dialog"
  fi

  step "$label: a run where the shell's dialog cannot be created"
  # With the shell's progress dialog component switched off, and no X display
  # at all, the run must go on without a dialog and give the same results.
  local nodialog=$work/no-dialog
  mkdir -p "$nodialog/win"
  cp "$work/cases/example/inputs.txt" "$work/cases/example/members.txt" "$nodialog/"
  cp "$dll" "$exe" "$nodialog/win/"
  if (cd "$nodialog/win" && env -u DISPLAY WINEDLLOVERRIDES="$WINEDLLOVERRIDES;browseui=d" \
        timeout 120 "$WINE" windows_host.exe Talvek_Pension_Model.dll ../inputs.txt ../members.txt \
        > host.out 2>&1) &&
     tests/windows/compare_runs.py "$work/cases/example/linux" "$nodialog/win" >/dev/null; then
    pass "$label no dialog: the run went on without one and gave the example's results"
  else
    fail "$label no dialog: the run without the shell's dialog did not give the example's results"
    sed 's/^/    /' "$nodialog/win/host.out" 2>/dev/null || true
  fi
  timeout 60 wineserver -w || true

  step "$label: the cancelled run"
  local cancel=$work/cancel
  local results=$cancel/win/results.txt
  if [ "$(cat "$cancel/win/host.rc" 2>/dev/null)" = 0 ] && [ -f "$results" ]; then
    local done_count total lines_read
    done_count=$(awk '$2 == "membersDone" {print $3}' "$results")
    total=$(awk '$2 == "memberTotal" {print $3}' "$results")
    lines_read=$(($(wc -l < "$cancel/win/listing.txt") - 2))
    if [ "$done_count" -gt 0 ] && [ "$done_count" -lt "$total" ] && [ $((done_count % 1000)) -eq 0 ]; then
      pass "$label cancel: the run stopped at the progress check of $done_count of $total members"
    else
      fail "$label cancel: membersDone $done_count of $total is not a progress check before the end"
    fi
    # The members done so far, run on Linux: the same results, bit for bit.
    mkdir -p "$cancel/prefix/linux"
    head -n "$lines_read" "$cancel/members.txt" > "$cancel/prefix/members.txt"
    sed "s/^scalar memberTotal .*/scalar memberTotal $total/" "$cancel/inputs.txt" > "$cancel/prefix/inputs.txt"
    (cd "$cancel/prefix/linux" && "$linux_build/tests/windows/linux_host" "$linux_library" ../inputs.txt ../members.txt)
    if tests/windows/compare_runs.py "$cancel/prefix/linux" "$cancel/win" --prefix-of-count >/dev/null; then
      pass "$label cancel: the results are those of the first $lines_read lines"
    else
      fail "$label cancel: the results are not those of the lines read before the stop"
    fi
  else
    fail "$label cancel: the Windows host ended with status $(cat "$cancel/win/host.rc" 2>/dev/null || echo none)"
  fi
}

run_under_wine "64-bit" "$root/build/windows64" win64 /usr/lib/wine/wine64
if [ "$run32" = yes ]; then
  run_under_wine "32-bit" "$root/build/windows" win32 wine
else
  echo "32-bit runs skipped: $skip_reason" \
    "(the 32-bit DLL's exports and calling convention were checked above)"
fi

step "done"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
