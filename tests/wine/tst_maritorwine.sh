#!/usr/bin/env bash
# Starts the installed Maritor.exe under Wine, on a machine with no ZORVEL
# service port: the selection dialog appears as the only window of the
# program; Escape ends the program with exit code 0. A
# screenshot of the dialog is kept.
#   (under xvfb-run) tst_maritorwine.sh WINE64 WINESERVER CMAKE WINDOWS_BUILD SCREENSHOT
set -euo pipefail
wine=$1 wineserver=$2 cmake=$3 windows=$4 screenshot=$5
source "$(dirname "$0")/winelayout.sh"

(cd "$layout" && exec timeout 60 "$wine" Maritor.exe) >"$work/output" 2>&1 &
pid=$!

title='^Starting ZORVEL Custom Config$'
dialog=$(timeout 30 xdotool search --sync --onlyvisible --name "$title" | head -n 1) \
    || { kill "$pid"; cat "$work/output" >&2; fail "the selection dialog did not appear"; exit 1; }
# The program's windows are the only ones with a title on this display.
others=$(xdotool search --onlyvisible --name . | grep -vx "$dialog" || true)
[ -z "$others" ] || fail "more than the selection dialog is on screen: $(for w in $others; do xdotool getwindowname "$w"; done)"

mkdir -p "$(dirname "$screenshot")"
sleep 1
import -window "$dialog" "$screenshot" || fail "no screenshot"

xdotool windowfocus --sync "$dialog" key Escape
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { cat "$work/output" >&2; fail "exit code $status after Escape"; }

[ "$failures" -eq 0 ]
