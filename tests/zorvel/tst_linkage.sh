#!/usr/bin/env bash
# Checks that the program needs QtCore and QtSerialPort and no other Qt
# library, directly or through another library.
#   tst_linkage.sh PROGRAM
set -euo pipefail
program=$1

qt=$(ldd "$program" | grep -o 'libQt5[A-Za-z]*' | LC_ALL=C sort -u | tr '\n' ' ')
echo "Qt libraries: $qt"
[ "$qt" = "libQt5Core libQt5SerialPort " ] || { echo "FAIL: expected only libQt5Core and libQt5SerialPort" >&2; exit 1; }
