# Sourced by the Wine tests, with $wine and $wineserver set to wine64 and
# wineserver: makes a fresh Wine prefix for this run in a scratch folder,
# $work, which goes with everything in it when the test ends. Gives fail()
# and maritor_without_port().

work=$(realpath "$(mktemp -d)")
# Wine keeps its server's socket folder in TMPDIR: inside the scratch folder
# it goes away with it. Wine's menu builder would copy shortcuts and icons
# into the desktop's menu outside the prefix.
export TMPDIR=$work WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

timeout 90 "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; exit 1; }
timeout 30 "$wineserver" -w

# Windows has the programs' font, Segoe UI; Wine has not, and would take the
# first font the system lists in its place, here a mathematical font twice
# as tall. DejaVu Sans stands in for it: a little wider than Segoe UI, so a
# text that fits with it fits on Windows.
"$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Segoe UI" /d "DejaVu Sans" /f >/dev/null
# With no window manager on the display, Wine waits two seconds for each
# window it hides to be withdrawn; windows it manages itself need no wait.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
timeout 30 "$wineserver" -w

# Starts the Maritor.exe of a folder, with that folder as working directory,
# on a machine with no ZORVEL service port (under xvfb-run): the selection
# dialog must appear as the program's only window, and Escape must end the
# program with exit code 0. With a third argument, a screenshot of the
# dialog goes there.
maritor_without_port() { # folder, what to call it in messages, [screenshot]
    local folder=$1 what=$2 screenshot=${3:-} pid dialog others status=0
    (cd "$folder" && exec timeout 60 "$wine" Maritor.exe) >"$work/maritor.log" 2>&1 &
    pid=$!
    dialog=$(timeout 30 xdotool search --sync --onlyvisible --name '^Starting ZORVEL Custom Config$' | head -n 1) \
        || { kill "$pid"; cat "$work/maritor.log" >&2; fail "$what: the selection dialog did not appear"; return; }
    # The program's windows are the only ones with a title on this display.
    others=$(xdotool search --onlyvisible --name . | grep -vx "$dialog" || true)
    [ -z "$others" ] || fail "$what: more than the selection dialog is on screen:" \
        "$(for w in $others; do xdotool getwindowname "$w"; done)"
    if [ -n "$screenshot" ]; then
        mkdir -p "$(dirname "$screenshot")"
        sleep 1
        import -window "$dialog" "$screenshot" || fail "$what: no screenshot"
    fi
    xdotool windowfocus --sync "$dialog" key Escape
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || { cat "$work/maritor.log" >&2; fail "$what: exit code $status after Escape"; }
}
