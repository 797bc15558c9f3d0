#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the whole tree: the
# programs, the manual where the program looks for it with every picture it
# shows, the licence and the notices, and the driver folder where the
# launcher is built. The manual
# beside the program in the build tree must be the current one too.
#   tst_installlayout.sh CMAKE BUILD_DIR MANUAL WITH_USBDRV(0|1)
set -euo pipefail
cmake=$1 build=$2 manual=$3 with_usbdrv=$4
source "$(dirname "$0")/../support/manualpictures.sh"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

files=$(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
expected="LICENSE Maritor THIRD-PARTY-NOTICES.txt help/manual.html zorvel"
expected+=" $(manual_pictures "$manual")"
[ "$with_usbdrv" = 1 ] && expected+=" usbdrv/DPInst.exe usbdrv/DPInst64.exe usbdrv/Tarnwick.exe"
expected=$(tr ' ' '\n' <<<"$expected" | LC_ALL=C sort -u | tr '\n' ' ')
[ "$files" = "${expected# }" ] || fail "installed: $files"

[ -x "$prefix/Maritor" ] || fail "Maritor is not executable"
[ -x "$prefix/zorvel" ] || fail "zorvel is not executable"
cmp -s "$manual" "$prefix/help/manual.html" || fail "the installed manual differs from $manual"
cmp -s "$manual" "$build/bin/help/manual.html" || fail "bin/help/manual.html differs from $manual"

[ "$failures" -eq 0 ]
