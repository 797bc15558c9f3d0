# Sourced by the Wine tests, with $wine, $wineserver, $cmake and $windows set
# to wine64, wineserver, cmake and the Windows build: installs the Windows
# build into a scratch folder, $layout, as a user would unzip it, and makes a
# fresh Wine prefix for this run (wineprefix.sh).

source "$(dirname "${BASH_SOURCE[0]}")/wineprefix.sh"
layout=$work/layout
"$cmake" --install "$windows" --prefix "$layout" >/dev/null
