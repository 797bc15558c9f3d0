# Sourced by the Wine tests, with $wine, $wineserver, $cmake and $windows set
# to wine64, wineserver, cmake and the Windows build: installs the Windows
# build into a scratch folder, $layout, as a user would unzip it, and makes a
# fresh Wine prefix for this run. Everything goes when the test ends.

work=$(realpath "$(mktemp -d)")
layout=$work/layout
# Wine keeps its server's socket folder in TMPDIR: inside the scratch folder
# it goes away with it.
export TMPDIR=$work WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$cmake" --install "$windows" --prefix "$layout" >/dev/null
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
