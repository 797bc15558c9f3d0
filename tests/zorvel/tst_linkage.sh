#!/usr/bin/env bash
# Checks that the program needs QtCore and QtSerialPort and no other Qt
# library, directly or through another library, and that it includes from
# the shared libraries' folders but not from the window's.
#   tst_linkage.sh PROGRAM INCLUDE_LIST SOURCE_DIR
set -euo pipefail
program=$1 includes=$2 source=$3

echo "Include folders:"; cat "$includes"
for shared in protocol serviceport; do
    grep -qx "$source/$shared" "$includes" || { echo "FAIL: $source/$shared is not included" >&2; exit 1; }
done
! grep -q "^$source/configurator" "$includes" || { echo "FAIL: the window's folder is included" >&2; exit 1; }

qt=$(ldd "$program" | grep -o 'libQt5[A-Za-z]*' | LC_ALL=C sort -u | tr '\n' ' ')
echo "Qt libraries: $qt"
[ "$qt" = "libQt5Core libQt5SerialPort " ] || { echo "FAIL: expected only libQt5Core and libQt5SerialPort" >&2; exit 1; }
