#!/usr/bin/env bash
# Runs windowscheck from the installed Windows folder under Wine at 100 %,
# 125 % and 150 % (LogPixels 96, 120, 144), its main window on COM5, a
# pseudo-terminal served by the simulated module. Each run must find no
# text cut and no widget outside its window, and its three read requests
# must reach the module byte for byte (the window's replies are not relied
# on under Wine).
# The screenshots of each run are kept in SCREENSHOTS/100, /125 and /150.
# zorvel.exe then reads the module on the same port.
#   (under xvfb-run) tst_windowscheck.sh WINE64 WINESERVER CMAKE WINDOWS_BUILD SIMULATOR SCREENSHOTS
set -euo pipefail
wine=$1 wineserver=$2 cmake=$3 windows=$4 simulator=$5 screenshots=$6
source "$(dirname "$0")/winelayout.sh"
cp "$windows/bin/windowscheck.exe" "$layout/"

frames=$work/frames
"$simulator" >"$frames" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; cleanup' EXIT
for _ in $(seq 100); do
    [ -s "$frames" ] && break
    sleep 0.1
done
slave=$(head -n 1 "$frames")
[ -c "$slave" ] || { fail "the simulated module gave no pseudo-terminal: $slave"; exit 1; }
ln -s "$slave" "$WINEPREFIX/dosdevices/com5"

requests=$'4d 30 01 00\n4d 30 03 00\n4d 30 05 00'
expected=""
for dpi in 96 120 144; do
    percent=$((dpi * 100 / 96))
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
    timeout 30 "$wineserver" -w
    rm -rf "$screenshots/$percent"
    status=0
    timeout 60 "$wine" "$layout/windowscheck.exe" COM5 "Z:$screenshots/$percent" >"$work/check" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "at $percent %, exit code $status: $(cat "$work/check")"
    expected+=${expected:+$'\n'}$requests
    sleep 0.5
    received=$(sed -n 's/.* to module  *//p' "$frames")
    [ "$received" = "$expected" ] || fail "at $percent %, the module received:"$'\n'"$received"
done

# The command-line program from the same folder reads the module on the same
# port: it waits for each reply itself, which Wine's serial layer does
# deliver on a pseudo-terminal.
timeout 30 "$wine" "$layout/zorvel.exe" --help >"$work/zorvel" 2>&1 || fail "zorvel.exe --help: $(cat "$work/zorvel")"
grep -q 'apply' "$work/zorvel" || fail "zorvel.exe --help lists no commands: $(cat "$work/zorvel")"
status=0
timeout 30 "$wine" "$layout/zorvel.exe" show --port COM5 >"$work/zorvel" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "zorvel.exe show, exit code $status: $(cat "$work/zorvel")"
grep -Eq '^module\.version +01\.02\.07' "$work/zorvel" || fail "zorvel.exe show: $(cat "$work/zorvel")"
grep -Eq '^usbtmc\.autoSerialPollInterval +1000' "$work/zorvel" || fail "zorvel.exe show: $(cat "$work/zorvel")"
expected+=$'\n'$requests
sleep 0.5
received=$(sed -n 's/.* to module  *//p' "$frames")
[ "$received" = "$expected" ] || fail "after zorvel.exe show, the module received:"$'\n'"$received"

[ "$failures" -eq 0 ]
