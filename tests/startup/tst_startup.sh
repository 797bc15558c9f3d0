#!/usr/bin/env bash
# Runs the built Maritor on a virtual X display of a machine with no ZORVEL
# service port, and dismisses the selection dialog as a user would: with
# Escape, with "Quit", after "Help", and with "Quit" after the information
# box that "Install Service Port Driver" shows on Linux.
# Each time the program must end by itself with exit code 0, having shown
# nothing but the dialog. A stand-in for the desktop's opener records the
# URLs the program hands over, so the test can check where they point.
# Last, --help and --version print and end without a display.
#
# Usage (under xvfb-run): tst_startup.sh MARITOR
set -euo pipefail

maritor=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin" "$work/cwd"
cat > "$work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >> "$work/opened"
EOF
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"
unset QT_QPA_PLATFORM XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID BROWSER DEFAULT_BROWSER

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

local_path() {
    local url=${1#file://}
    printf '%b' "${url//%/\\x}"
}

wait_for_exit() {
    local pid=$1
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill "$pid"
    fail "Maritor still runs ten seconds after the dialog was dismissed"
}

wait_for_opened_lines() {
    for _ in $(seq 100); do
        [ -f "$work/opened" ] && [ "$(wc -l < "$work/opened")" -ge "$1" ] && return 0
        sleep 0.1
    done
    fail "nothing was handed to the desktop"
}

# Button centres in the dialog's own coordinates.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

run_case() {
    local name=$1
    local program=${2:-$maritor}
    rm -f "$work/opened"
    (cd "$work/cwd" && exec "$program") > "$work/output" 2>&1 &
    local pid=$!

    local dialog
    dialog=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Starting ZORVEL Custom Config$' | head -n 1) \
        || fail "$name: the selection dialog did not appear"
    [ "$(xdotool search --onlyvisible --pid "$pid" | wc -l)" -eq 1 ] \
        || fail "$name: more than the selection dialog is on screen"

    case $name in
    escape)
        xdotool windowfocus --sync "$dialog" key Escape ;;
    quit)
        click "$dialog" 265 85 ;;
    help)
        click "$dialog" 385 115
        wait_for_opened_lines 1
        click "$dialog" 385 115
        wait_for_opened_lines 2
        kill -0 "$pid" 2>/dev/null || fail "help: Help closed the dialog"
        click "$dialog" 265 85 ;;
    driver)
        click "$dialog" 108 85
        local box
        box=$(timeout 20 xdotool search --all --sync --onlyvisible --pid "$pid" --name '^ZORVEL$' | head -n 1) \
            || fail "driver: no information box"
        xdotool windowfocus --sync "$box" key Return
        for _ in $(seq 50); do
            [ "$(xdotool search --onlyvisible --pid "$pid" | wc -l)" -eq 1 ] && break
            sleep 0.1
        done
        kill -0 "$pid" 2>/dev/null || fail "driver: the information box ended the program"
        click "$dialog" 265 85 ;;
    esac

    wait_for_exit "$pid"
    local status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || { cat "$work/output" >&2; fail "$name: exit code $status"; }
}

run_case escape
[ ! -f "$work/opened" ] || fail "escape: something was handed to the desktop"

run_case quit
[ ! -f "$work/opened" ] || fail "quit: something was handed to the desktop"

run_case help
manual=$(local_path "$(head -n 1 "$work/opened")")
[ "$manual" = "$(dirname "$(readlink -f "$maritor")")/help/manual.html" ] || fail "help: opened $manual"
[ -f "$manual" ] || fail "help: $manual does not exist"

run_case driver
[ ! -f "$work/opened" ] || fail "driver: opened $(cat "$work/opened")"

# --help and --version answer on standard output and end, with no display
# at all, so that nothing is shown.
for option in --help --version; do
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY "$maritor" "$option" > "$work/output" 2>&1 || status=$?
    [ "$status" -eq 0 ] || { cat "$work/output" >&2; fail "$option: exit code $status"; }
done
env -u DISPLAY "$maritor" --help | grep -q '^Usage: maritor \[--help\] \[--version\]$' || fail "--help: no usage line"
env -u DISPLAY "$maritor" --version | grep -qE '^Maritor [0-9]+\.[0-9]+\.[0-9]+$' || fail "--version: no version"

echo "PASS: Maritor ended with exit code 0 after Escape, Quit, Help and the driver button's box, and answered" \
    "--help and --version without a window"
