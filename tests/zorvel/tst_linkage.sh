#!/usr/bin/env bash
# Checks that the program needs QtCore and QtSerialPort and no other Qt
# library, directly or through another library, and that among the folders
# it includes from is the shared protocol library's but not the window's.
#   tst_linkage.sh PROGRAM INCLUDE_LIST CONFIGURATOR_DIR
set -euo pipefail
program=$1 includes=$2 configurator=$3

echo "Include folders:"; cat "$includes"
grep -qx "$configurator/protocol" "$includes" || { echo "FAIL: $configurator/protocol is not included" >&2; exit 1; }
! grep -qx "$configurator" "$includes" || { echo "FAIL: the window's folder $configurator is included" >&2; exit 1; }

qt=$(ldd "$program" | grep -o 'libQt5[A-Za-z]*' | LC_ALL=C sort -u | tr '\n' ' ')
echo "Qt libraries: $qt"
[ "$qt" = "libQt5Core libQt5SerialPort " ] || { echo "FAIL: expected only libQt5Core and libQt5SerialPort" >&2; exit 1; }
