#!/usr/bin/env bash
# Starts the installed Maritor.exe under Wine, on a machine with no ZORVEL
# service port: the selection dialog appears as the only window of the
# program; Escape ends the program with exit code 0. A screenshot of the
# dialog is kept.
#   (under xvfb-run) tst_maritorwine.sh WINE64 WINESERVER CMAKE WINDOWS_BUILD SCREENSHOT
set -euo pipefail
wine=$1 wineserver=$2 cmake=$3 windows=$4 screenshot=$5
source "$(dirname "$0")/winelayout.sh"

maritor_without_port "$layout" "Maritor.exe" "$screenshot"

[ "$failures" -eq 0 ]
