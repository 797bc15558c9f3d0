#!/usr/bin/env bash
# Runs the 64-bit build of the launcher under Wine, in a prefix made for this
# run, from a folder other than its own, beside the stand-ins for DPInst that
# record their runs.
#
# A 64-bit process never runs under WOW64, so IsWow64Process reports FALSE
# and the launcher starts DPInst.exe here. The runs show that the installer
# beside the launcher is started with the launcher's folder as its working
# directory, that a missing installer ends quietly, and that the exit code
# is 0 either way. The WOW64 choice of DPInst64.exe needs the 32-bit build,
# which these machines cannot execute.
#   tst_tarnwickwine.sh WINE64 WINESERVER LAUNCHER_X86_64_BUILD_DIR
set -euo pipefail
wine=$1 wineserver=$2 build=$3

work=$(realpath "$(mktemp -d)")
# Wine keeps its server's socket folder in TMPDIR: inside the scratch folder
# it goes away with it.
export TMPDIR=$work WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT

# A space and a non-ASCII letter in the path try the wide-character handling.
usbdrv="$work/Zorvel Tools ü/usbdrv"
elsewhere=$work/elsewhere
records=$usbdrv/dpinst-runs.txt
mkdir -p "$usbdrv" "$elsewhere"
cp "$build/Tarnwick.exe" "$build/recording/DPInst.exe" "$build/recording/DPInst64.exe" "$usbdrv/"

timeout 90 "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; exit 1; }
timeout 30 "$wineserver" -w

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Starts the launcher from the other folder, then waits until it and every
# program it started have ended: WinExec does not wait for the installer.
run_launcher() {
    status=0
    (cd "$elsewhere" && timeout 30 "$wine" "$usbdrv/Tarnwick.exe" >"$work/console" 2>&1) || status=$?
    timeout 30 "$wineserver" -w
    [ "$status" -eq 0 ] || fail "$1: exit code $status"
    [ ! -s "$work/console" ] || fail "$1: wrote to the console: $(cat "$work/console")"
}

run_launcher "installer present"
expected=$(printf 'DPInst.exe\tZ:%s' "${usbdrv//\//\\}")
[ "$(cat "$records" 2>/dev/null)" = "$expected" ] \
    || fail "installer present: runs recorded: $(cat "$records" 2>/dev/null), expected: $expected"

rm -f "$usbdrv/DPInst.exe" "$records"
run_launcher "installer missing"
[ ! -e "$records" ] || fail "installer missing: runs recorded: $(cat "$records")"

[ "$failures" -eq 0 ]
