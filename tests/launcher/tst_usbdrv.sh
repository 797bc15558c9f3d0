#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the usbdrv folder: the
# 32-bit console launcher with its administrator manifest and version
# numbers, and what stands for DPInst without a driver package, each in the
# word size of the Windows that starts it, needing no DLL beyond Windows' own
# and its C runtime; never the stand-ins that record their runs.
#   tst_usbdrv.sh CMAKE BUILD_DIR OBJDUMP WRESTOOL
set -euo pipefail
cmake=$1 build=$2 objdump=$3 wrestool=$4

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
usbdrv=$prefix/usbdrv

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

contents=$(cd "$usbdrv" && LC_ALL=C ls | tr '\n' ' ')
[ "$contents" = "DPInst.exe DPInst64.exe Tarnwick.exe " ] || fail "usbdrv holds: $contents"

check_program() { # file, PE format, subsystem number, imported DLLs
    local headers dlls
    headers=$("$objdump" -p "$usbdrv/$1")
    grep -q "file format $2\$" <<<"$headers" || fail "$1 is not $2"
    grep -Eq "^Subsystem[[:space:]]+0000000$3" <<<"$headers" || fail "$1 is not of subsystem $3"
    dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
    [ "$dlls" = "$4" ] || fail "$1 imports: $dlls"
}
check_program Tarnwick.exe pei-i386 3 "kernel32.dll msvcrt.dll "
# Without a driver package, what stands for DPInst says so in a window.
check_program DPInst.exe pei-i386 2 "kernel32.dll msvcrt.dll user32.dll "
check_program DPInst64.exe pei-x86-64 2 "kernel32.dll msvcrt.dll user32.dll "
# Those name their record, dpinst-runs.txt, in UTF-16.
! grep -qaP 'd\x00p\x00i\x00n\x00s\x00t\x00-\x00r\x00u\x00n\x00s' "$usbdrv"/*.exe \
    || fail "a stand-in that records its runs is installed"

tarnwick=$usbdrv/Tarnwick.exe
"$wrestool" -x --raw --type=24 --name=1 "$tarnwick" \
    | grep -q '<requestedExecutionLevel level="requireAdministrator"' \
    || fail "Tarnwick.exe does not ask for administrator rights"

# The fixed part of the version resource follows its signature BD 04 EF FE:
# the structure version, then file and product version as two
# little-endian DWORDs each, every DWORD holding two 16-bit numbers.
resource=$("$wrestool" -x --raw --type=16 --name=1 "$tarnwick" | od -An -v -tx1 | tr -d ' \n')
fixed=${resource#*bd04effe}
fixed=${fixed:8:32}
word() { echo $((16#${fixed:$1+2:2}${fixed:$1:2})); }
file_version=$(word 4).$(word 0).$(word 12).$(word 8)
product_version=$(word 20).$(word 16).$(word 28).$(word 24)
[ "$file_version" = 4.1.0.5 ] || fail "file version $file_version"
[ "$product_version" = 4.1.0.0 ] || fail "product version $product_version"

[ "$failures" -eq 0 ]
