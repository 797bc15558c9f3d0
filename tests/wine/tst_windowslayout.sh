#!/usr/bin/env bash
# Installs the Windows build into a scratch folder and checks the folder a
# user unzips: exactly the programs (the window program and the console
# program, which needs no QtGui or QtWidgets), the manual with its pictures,
# the licence and the notices, usbdrv/, the Qt DLLs and plugins and the
# compiler's runtime.
# Every DLL that a program or a shipped DLL imports is shipped or is
# Windows' own, and every DLL shipped beside the programs is imported by one
# of them (the plugins are loaded by path).
#   tst_windowslayout.sh CMAKE WINDOWS_BUILD OBJDUMP MANUAL
set -euo pipefail
cmake=$1 windows=$2 objdump=$3 manual=$4
source "$(dirname "$0")/../support/manualpictures.sh"

layout=$(mktemp -d)
trap 'rm -rf "$layout"' EXIT
"$cmake" --install "$windows" --prefix "$layout" >/dev/null

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

files=$(cd "$layout" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
expected="LICENSE.txt Maritor.exe Qt5Core.dll Qt5Gui.dll Qt5SerialPort.dll Qt5Widgets.dll THIRD-PARTY-NOTICES.txt "
expected+="help/manual.html $(manual_pictures "$manual") "
expected+="libgcc_s_seh-1.dll libstdc++-6.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll "
expected+="usbdrv/DPInst.exe usbdrv/DPInst64.exe usbdrv/Tarnwick.exe zorvel.exe "
expected=$(tr ' ' '\n' <<<"$expected" | LC_ALL=C sort -u | tr '\n' ' ')
[ "$files" = "${expected# }" ] || fail "installed: $files"
cmp -s "$manual" "$layout/help/manual.html" || fail "the installed manual differs from $manual"

headers=$("$objdump" -p "$layout/Maritor.exe")
grep -q 'file format pei-x86-64$' <<<"$headers" || fail "Maritor.exe is not a 64-bit Windows program"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "Maritor.exe is not a GUI program"
headers=$("$objdump" -p "$layout/zorvel.exe")
grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$headers" || fail "zorvel.exe is not a console program"
! grep -Eiq 'DLL Name: Qt5(Gui|Widgets)\.dll' <<<"$headers" || fail "zorvel.exe imports QtGui or QtWidgets"

windows_own=" advapi32.dll d3d11.dll dwmapi.dll dxgi.dll gdi32.dll imm32.dll kernel32.dll mpr.dll msvcrt.dll "
windows_own+="netapi32.dll ole32.dll oleaut32.dll setupapi.dll shell32.dll user32.dll userenv.dll "
windows_own+="uxtheme.dll version.dll winmm.dll ws2_32.dll wtsapi32.dll "
shipped=" $(cd "$layout" && ls ./*.dll | sed 's|^\./||' | tr 'A-Z' 'a-z' | tr '\n' ' ')"
imported=" "
while read -r file; do
    for dll in $("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
        imported+="$dll "
        [[ "$shipped$windows_own" == *" $dll "* ]] || fail "${file#"$layout"/} imports $dll, which is not shipped"
    done
done < <(find "$layout" -name '*.exe' -o -name '*.dll')
for dll in $shipped; do
    [[ "$imported" == *" $dll "* ]] || fail "$dll is shipped but nothing imports it"
done

[ "$failures" -eq 0 ]
