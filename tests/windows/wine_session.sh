#!/usr/bin/env bash
# Runs the Windows test host under Wine on one X display (started by
# scripts/test-windows.sh with xvfb-run): every prepared case, then a long run
# in a Wine desktop for the screenshot of the progress dialog, then a long run
# cancelled with the dialog's Cancel button. Every Wine and xdotool step is
# bounded by `timeout`, so that a hang costs minutes, not the whole CI run.
#
#   wine_session.sh WORK SCREENSHOT
#
# WORK holds windows_host.exe, Talvek_Pension_Model.dll and the case
# directories cases/NAME, screenshot/ and cancel/, each with inputs.txt and
# members.txt. Each run takes place in the case's win/ directory, with the
# host and the DLL beside it as a Windows program finds its DLL by name, and
# leaves there its files, the host's exit status in host.rc and the run's
# duration in seconds.
set -uo pipefail
work=$(cd "$1" && pwd)
screenshot=$2
case_timeout=${CASE_TIMEOUT:-180}
long_timeout=${LONG_TIMEOUT:-400}
dialog_title='Talvek Pension Model 2011/01/26.'
# the Wine loader: WINE from the caller (the 64-bit one for a 64-bit prefix)
wine=${WINE:-wine}

note() { echo "   [wine] $*"; }

# The id of the first window whose name is $1, within $2 seconds; empty if none.
wait_for_window() {
  local name=$1 deadline=$((SECONDS + $2)) id=
  while [ $SECONDS -lt $deadline ]; do
    id=$(timeout 5 xdotool search --name "^${name}\$" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.5
  done
  return 1
}

# Lines in the run's listing so far (two headers, then one per line read).
listing_lines() { [ -f "$1/listing.txt" ] && wc -l < "$1/listing.txt" || echo 0; }

# Waits until the listing of the run in $1 holds $2 lines or the run ($3) ended.
wait_for_listing() {
  local deadline=$((SECONDS + $4))
  while [ $SECONDS -lt $deadline ] && kill -0 "$3" 2>/dev/null; do
    [ "$(listing_lines "$1")" -ge "$2" ] && return 0
    sleep 0.2
  done
  return 1
}

# A fresh win/ directory for the case in $1, with the host and the DLL.
prepare_run() {
  rm -rf "$1/win" && mkdir -p "$1/win"
  cp "$work/windows_host.exe" "$work/Talvek_Pension_Model.dll" "$1/win/"
}

# Starts the host on the case in $1 in the background; extra arguments go
# before the host (a Wine desktop). Sets run_pid and run_start.
start_host() {
  local case_dir=$1; shift
  prepare_run "$case_dir"
  run_start=$SECONDS
  (cd "$case_dir/win" && exec timeout "$long_timeout" "$wine" "$@" windows_host.exe Talvek_Pension_Model.dll \
      ../inputs.txt ../members.txt > host.out 2>&1) &
  run_pid=$!
}

finish_host() { # case directory
  wait "$run_pid"
  echo $? > "$1/win/host.rc"
  echo $((SECONDS - run_start)) > "$1/win/seconds"
}

# Every prepared case, one after the other.
# A run that ends non-zero having written nothing at all, not a word of the
# host's nor a listing, never started: Wine failed to load the program (seen
# now and then on a busy machine). It is run once more; a second such end
# stands as the case's result.
for case_dir in "$work"/cases/*/; do
  case_dir=${case_dir%/}
  for try in 1 2; do
    prepare_run "$case_dir"
    start=$SECONDS
    (cd "$case_dir/win" && timeout "$case_timeout" "$wine" windows_host.exe Talvek_Pension_Model.dll \
        ../inputs.txt ../members.txt > host.out 2>&1)
    echo $? > "$case_dir/win/host.rc"
    echo $((SECONDS - start)) > "$case_dir/win/seconds"
    note "$(basename "$case_dir"): exit $(cat "$case_dir/win/host.rc") after $(cat "$case_dir/win/seconds")s"
    if [ "$(cat "$case_dir/win/host.rc")" = 0 ] || [ -s "$case_dir/win/host.out" ] ||
       [ -e "$case_dir/win/listing.txt" ]; then
      break
    fi
    note "$(basename "$case_dir"): the host never started (nothing written); try $try of 2"
  done
done

# The screenshot: a Wine desktop draws the dialog's frame and title, which a
# bare X server without a window manager would not. The run goes on to the
# end and is compared like the other cases.
if [ -d "$work/screenshot" ]; then
  start_host "$work/screenshot" explorer /desktop=Talvek,560x260
  desktop=$(wait_for_window 'Talvek - Wine desktop' 60)
  total=$(($(wc -l < "$work/screenshot/members.txt") + 2))
  if [ -n "$desktop" ] && wait_for_listing "$work/screenshot/win" $((total * 2 / 5)) "$run_pid" 240; then
    sleep 0.3
    timeout 30 import -window "$desktop" "$screenshot" && note "screenshot taken: $screenshot"
  else
    note "no screenshot: the dialog did not show"
  fi
  finish_host "$work/screenshot"
  note "screenshot run: exit $(cat "$work/screenshot/win/host.rc") after $(cat "$work/screenshot/win/seconds")s"
fi

# Cancelling: once the run has read a good part of the file, a click on the
# dialog's Cancel button. The button sits at the dialog's lower right corner;
# its centre is 52 pixels from the right edge and 21 from the bottom.
if [ -d "$work/cancel" ]; then
  start_host "$work/cancel"
  dialog=$(wait_for_window "${dialog_title//./\\.}" 60)
  if [ -n "$dialog" ] && wait_for_listing "$work/cancel/win" 20000 "$run_pid" 240; then
    eval "$(timeout 10 xdotool getwindowgeometry --shell "$dialog")"
    timeout 10 xdotool mousemove --window "$dialog" $((WIDTH - 52)) $((HEIGHT - 21)) click 1
    note "Cancel pressed with $(($(listing_lines "$work/cancel/win") - 2)) lines listed"
    sleep 0.4
    timeout 30 import -window root "$work/cancel/win/halted.png" || true
  else
    note "the dialog did not show: nothing to cancel"
  fi
  finish_host "$work/cancel"
  note "cancelled run: exit $(cat "$work/cancel/win/host.rc") after $(cat "$work/cancel/win/seconds")s"
fi

timeout 60 wineserver -w || timeout 30 wineserver -k
exit 0
