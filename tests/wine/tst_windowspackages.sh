#!/usr/bin/env bash
# Checks the Windows packages that windows/windowspackages.cmake made, without
# running them: their names carry the version; the installed folder, the zip
# and the MSI stay within 24, 11 and 11 MiB; the zip holds the folder as it
# installs, every program and DLL stripped, with the licence and the notices;
# the MSI installs that folder per machine into Program Files, with its
# Start-menu shortcuts, its icon, version and publisher in Programs and
# Features and major upgrades; neither holds the DPInst stand-ins that
# record their runs.
#   tst_windowspackages.sh CMAKE OBJDUMP MSIINFO MSIEXTRACT PACKAGES_DIR VERSION
set -euo pipefail
cmake=$1 objdump=$2 msiinfo=$3 msiextract=$4 packages=$5 version=$6
source "$(dirname "$0")/../support/manualpictures.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

layout="$packages/stage/ZORVEL Custom Config"
zip=$packages/zorvel-custom-config-$version-win64.zip
msi=$packages/zorvel-custom-config-$version-win64.msi
for file in "$zip" "$msi"; do
    [ -f "$file" ] || { fail "no $file"; exit 1; }
done

mib=$((1024 * 1024))
folder_bytes=$(find "$layout" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
[ "$folder_bytes" -le $((24 * mib)) ] || fail "the installed folder takes $folder_bytes bytes"
[ "$(stat -c %s "$zip")" -le $((11 * mib)) ] || fail "the zip takes $(stat -c %s "$zip") bytes"
[ "$(stat -c %s "$msi")" -le $((11 * mib)) ] || fail "the MSI takes $(stat -c %s "$msi") bytes"

files_of() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }
"$cmake" -E chdir "$work" "$cmake" -E tar xf "$zip"
[ "$(files_of "$work/ZORVEL Custom Config")" = "$(files_of "$layout")" ] || fail "the zip holds: $(files_of "$work")"
pictures=$(manual_pictures "$layout/help/manual.html")
[ -n "$pictures" ] || fail "the manual shows no pictures"
for file in LICENSE.txt THIRD-PARTY-NOTICES.txt Maritor.exe zorvel.exe help/manual.html usbdrv/Tarnwick.exe $pictures; do
    [ -f "$work/ZORVEL Custom Config/$file" ] || fail "the zip holds no $file"
done
while read -r binary; do
    ! "$objdump" -h "$binary" | grep -q ' \.debug' || fail "${binary#"$work"/} is not stripped"
done < <(find "$work" -iname '*.exe' -o -iname '*.dll')

mkdir "$work/msi"
"$msiextract" -C "$work/msi" "$msi" >/dev/null
[ "$(files_of "$work/msi/ZORVEL Custom Config")" = "$(files_of "$layout")" ] \
    || fail "the MSI holds: $(files_of "$work/msi")"

# The stand-ins name their record, dpinst-runs.txt, in UTF-16.
! grep -rqaP 'd\x00p\x00i\x00n\x00s\x00t\x00-\x00r\x00u\x00n\x00s' "$work" \
    || fail "a package holds a stand-in that records its runs"

table() { "$msiinfo" export "$msi" "$1" | tr -d '\r'; }
property() { table Property | awk -F '\t' -v name="$1" '$1 == name { print $2 }'; }
[ "$(property ProductVersion)" = "$version" ] || fail "ProductVersion $(property ProductVersion)"
[ "$(property Manufacturer)" = "ZORVEL Custom Config developers" ] || fail "Manufacturer $(property Manufacturer)"
[ "$(property UpgradeCode)" = "{93A7B92A-6400-4C83-9E62-9E43CF6B877A}" ] || fail "UpgradeCode $(property UpgradeCode)"
[ "$(property ARPPRODUCTICON)" = AppIcon.ico ] || fail "no icon for Programs and Features"
[ "$(property ALLUSERS)" = 1 ] || fail "not a per-machine install"
"$msiinfo" suminfo "$msi" | grep -q '^Template: x64;' || fail "not a 64-bit package: $("$msiinfo" suminfo "$msi")"
table Directory | grep -qP '^INSTALLDIR\tProgramFiles64Folder\tZORVEL Custom Config$' \
    || fail "not installed into Program Files\\ZORVEL Custom Config"
shortcuts=$(table Shortcut | awk -F '\t' 'NR > 3 { print $3 " -> " $5 }' | LC_ALL=C sort)
expected=$'ZORVEL Custom Config -> [INSTALLDIR]Maritor.exe\nZORVEL Custom Config Manual -> [INSTALLDIR]help\\manual.html'
[ "$shortcuts" = "$expected" ] || fail "Start-menu shortcuts: $shortcuts"
table Upgrade | grep -q 'WIX_DOWNGRADE_DETECTED' || fail "an older MSI would not be refused"
table InstallExecuteSequence | grep -q RemoveExistingProducts || fail "a newer MSI would not replace an older one"

[ "$failures" -eq 0 ] && echo "PASS: the zip and the MSI hold the stripped, licensed folder, within their sizes"
