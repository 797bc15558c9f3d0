#!/usr/bin/env bash
# The MSI under Wine, in a fresh prefix, as an IT department runs it:
# silent install into Program Files with the Start-menu shortcut and the
# entry in Programs and Features; the installed programs run. An MSI of a
# higher version, made from the same folder with a changed manual, replaces
# it; the older MSI is then refused. Silent uninstall leaves no file,
# folder, shortcut or registry key of ours. Then the same into a folder of
# the user's choice, which the upgrade keeps without being told.
#   (under xvfb-run) tst_msiwine.sh WINE64 WINESERVER CMAKE MSIINFO SETTINGS PACKAGES_DIR PACKAGE_SCRIPT VERSION
set -euo pipefail
wine=$1 wineserver=$2 cmake=$3 msiinfo=$4 settings=$5 packages=$6 script=$7 version=$8
source "$(dirname "$0")/wineprefix.sh"

older=$packages/zorvel-custom-config-$version-win64.msi
newer_version=${version%.*}.$((${version##*.} + 1))
cp -r "$packages/stage" "$work/newer"
echo "<!-- $newer_version -->" >>"$work/newer/ZORVEL Custom Config/help/manual.html"
"$cmake" -DSETTINGS="$settings" -DLAYOUT_DIR="$work/newer/ZORVEL Custom Config" -DVERSION="$newer_version" \
    -DOUTPUT_DIR="$work/newer" -P "$script" >"$work/newer.log" 2>&1 || { cat "$work/newer.log" >&2; exit 1; }
newer=$work/newer/zorvel-custom-config-$newer_version-win64.msi

installed="$WINEPREFIX/drive_c/Program Files/ZORVEL Custom Config"
msiexec() { # what, action, file, [property=value...]: exit code in $status
    status=0
    timeout 120 "$wine" msiexec "$2" "$3" "${@:4}" /qn >"$work/msiexec.log" 2>&1 || status=$?
    timeout 60 "$wineserver" -w
}
entries() { # the DisplayVersion of each entry in Programs and Features named ZORVEL Custom Config
    "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' \
        | awk '/^HKEY/ { ours = 0 } /DisplayName.*ZORVEL Custom Config/ { ours = 1 } ours && /DisplayVersion/ { print $3 }'
}
location() { # the InstallLocation of our entry in Programs and Features
    "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' \
        | awk '/^HKEY/ { ours = 0 } /DisplayName.*ZORVEL Custom Config/ { ours = 1 }
               ours && /InstallLocation/ { sub(/^.*REG_SZ[ \t]*/, ""); print }'
}
product_code() {
    "$msiinfo" export "$1" Property | tr -d '\r' | awk '$1 == "ProductCode" { print $2 }'
}
# Windows Installer keeps a code in its registry with the hex digits of its
# first three groups reversed and those of each following byte swapped.
packed() {
    local code=${1//[-\{\}]/} result i
    result=$(rev <<<"${code:0:8}")$(rev <<<"${code:8:4}")$(rev <<<"${code:12:4}")
    for ((i = 16; i < 32; i += 2)); do result+=${code:i+1:1}${code:i:1}; done
    echo "$result"
}
ours_in_registry() {
    "$wine" regedit /E "$work/registry.reg"
    iconv -f UTF-16 -t UTF-8 "$work/registry.reg" | grep -ciE "zorvel|$1" || true
}
upgrade_code=93A7B92A-6400-4C83-9E62-9E43CF6B877A
codes="$(product_code "$older")|$(product_code "$newer")|$upgrade_code"
codes+="|$(packed "$(product_code "$older")")|$(packed "$(product_code "$newer")")|$(packed $upgrade_code)"
[ "$(ours_in_registry "$codes")" -eq 0 ] || fail "the fresh prefix already names ZORVEL"

msiexec "install" /i "$older"
[ "$status" -eq 0 ] || fail "install: exit code $status"
expected=$(cd "$packages/stage/ZORVEL Custom Config" && find . -type f | LC_ALL=C sort)
[ "$(cd "$installed" && find . -type f | LC_ALL=C sort)" = "$expected" ] || fail "install: Program Files holds other files"
[ "$(entries)" = "$version" ] || fail "install: Programs and Features shows: $(entries)"
[ "$(ours_in_registry "$codes")" -gt 0 ] || fail "install: the registry names nothing of ours"
shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/ZORVEL Custom Config/ZORVEL Custom Config.lnk')
[ -n "$shortcut" ] || fail "install: no Start-menu shortcut"
[ -z "$shortcut" ] || strings "$shortcut" | grep -qxF 'C:\Program Files\ZORVEL Custom Config\Maritor.exe' \
    || fail "install: the shortcut does not point at the installed Maritor.exe"
"$wine" reg query "HKLM\\Software\\Classes\\Installer\\Products\\$(packed "$(product_code "$older")")" /v ProductIcon \
    >/dev/null 2>&1 || fail "install: no icon for Programs and Features"
maritor_without_port "$installed" "installed Maritor.exe"
(cd "$work" && timeout 30 "$wine" "$installed/zorvel.exe" --help) >"$work/help" 2>&1 && grep -q apply "$work/help" \
    || fail "installed zorvel.exe --help: $(cat "$work/help")"

msiexec "upgrade" /i "$newer"
[ "$status" -eq 0 ] || fail "upgrade: exit code $status"
[ "$(entries)" = "$newer_version" ] || fail "upgrade: Programs and Features shows: $(entries)"
grep -q "$newer_version" "$installed/help/manual.html" || fail "upgrade: the newer files are not in place"

msiexec "downgrade" /i "$older"
[ "$status" -ne 0 ] || fail "downgrade: the older MSI was installed over the newer one"
[ "$(entries)" = "$newer_version" ] || fail "downgrade: Programs and Features shows: $(entries)"

msiexec "uninstall" /x "$newer"
[ "$status" -eq 0 ] || fail "uninstall: exit code $status"
[ ! -e "$installed" ] || fail "uninstall left: $(find "$installed")"
left=$(find "$WINEPREFIX/drive_c" -iname '*zorvel*')
[ -z "$left" ] || fail "uninstall left: $left"
[ "$(ours_in_registry "$codes")" -eq 0 ] || fail "uninstall left registry entries: $(iconv -f UTF-16 -t UTF-8 \
    "$work/registry.reg" | grep -iE "zorvel|$codes")"

chosen_name='C:\My Tools\Zorvel Test'
chosen="$WINEPREFIX/drive_c/My Tools/Zorvel Test"
msiexec "install into a chosen folder" /i "$older" "INSTALLDIR=$chosen_name"
[ "$status" -eq 0 ] || fail "chosen folder: install: exit code $status"
[ "$(cd "$chosen" 2>/dev/null && find . -type f | LC_ALL=C sort)" = "$expected" ] \
    || fail "chosen folder: install: the folder holds other files"
[ ! -e "$installed" ] || fail "chosen folder: install: Program Files has a copy too"
[ "$(location)" = "$chosen_name\\" ] || fail "chosen folder: install: Programs and Features points at $(location)"

msiexec "upgrade without a folder" /i "$newer"
[ "$status" -eq 0 ] || fail "chosen folder: upgrade: exit code $status"
grep -q "$newer_version" "$chosen/help/manual.html" 2>/dev/null \
    || fail "chosen folder: upgrade: the newer files are not in the chosen folder"
[ ! -e "$installed" ] || fail "chosen folder: upgrade: a second copy went into Program Files"
[ "$(entries)" = "$newer_version" ] || fail "chosen folder: upgrade: Programs and Features shows: $(entries)"
[ "$(location)" = "$chosen_name\\" ] || fail "chosen folder: upgrade: Programs and Features points at $(location)"

msiexec "uninstall from the chosen folder" /x "$newer"
[ "$status" -eq 0 ] || fail "chosen folder: uninstall: exit code $status"
[ ! -e "$chosen" ] || fail "chosen folder: uninstall left: $(find "$chosen")"
[ "$(ours_in_registry "$codes")" -eq 0 ] || fail "chosen folder: uninstall left registry entries"

[ "$failures" -eq 0 ] && echo "PASS: the MSI installs, upgrades, refuses the older one and uninstalls cleanly," \
    "in Program Files and in a folder of the user's choice"
