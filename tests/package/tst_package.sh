#!/usr/bin/env bash
# Builds the Debian package from the build with CPack, checks its files and
# fields, lints it, unpacks it with dpkg -x and runs the programs from there:
# zorvel --help where the package has it, and Maritor, whose first window
# is dismissed with Escape as a user would.
#   tst_package.sh CPACK BUILD_DIR SOURCE_DIR VERSION WITH_ZORVEL(0|1)   (under xvfb-run)
set -euo pipefail
cpack=$1 build=$2 source=$3 version=$4 with_zorvel=$5
source "$(dirname "$0")/../support/manualpictures.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$cpack" --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; exit 1; }
deb=$work/zorvel-custom-config_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { cat "$work/cpack.log" >&2; fail "no $deb"; exit 1; }
[ -f "$deb.spdx.json" ] || fail "no bill of materials beside the package"

folder=opt/zorvel-custom-config
expected=(
    lib/udev/rules.d/70-zorvel.rules
    $folder/Maritor $folder/help/manual.html $folder/LICENSE $folder/THIRD-PARTY-NOTICES.txt
    $folder/zorvel-custom-config.spdx.json
    usr/bin/maritor usr/share/man/man1/maritor.1.gz
    usr/share/applications/zorvel-custom-config.desktop
    usr/share/doc/zorvel-custom-config/changelog.gz usr/share/doc/zorvel-custom-config/copyright
    usr/share/lintian/overrides/zorvel-custom-config
)
# Every picture the manual shows, beside it.
while read -r picture; do
    expected+=("$folder/$picture")
done < <(manual_pictures "$source/help/manual.html")
for size in 16 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/zorvel-custom-config.png")
done
collection=usr/share/ansible/collections/ansible_collections/zorvel/config
if [ "$with_zorvel" = 1 ]; then
    expected+=($folder/zorvel usr/bin/zorvel usr/share/man/man1/zorvel.1.gz usr/share/bash-completion/completions/zorvel)
    while read -r file; do
        expected+=("$collection/$file")
    done < <(cd "$source/ansible/ansible_collections/zorvel/config" \
                 && find . -type f ! -name '*.pyc' ! -name '*.tar.gz' | sed 's|^\./||')
fi
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | LC_ALL=C sort)
[ "$files" = "$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)" ] \
    || fail "the package holds:"$'\n'"$files"

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
dpkg-deb -f "$deb" Depends | grep -q "libqt5serialport5" \
    || fail "no dependencies from dpkg-shlibdeps: $(dpkg-deb -f "$deb" Depends)"

echo "lintian:"
lintian --fail-on error "$deb" || fail "lintian found errors"

root=$work/root
dpkg -x "$deb" "$root"
cmp -s "$source/linux/70-zorvel.rules" "$root/lib/udev/rules.d/70-zorvel.rules" || fail "udev rule differs"
cmp -s "$source/LICENSE" "$root/$folder/LICENSE" || fail "the licence differs"
desktop-file-validate "$root/usr/share/applications/zorvel-custom-config.desktop" || fail "desktop entry"
for program in Maritor zorvel; do
    [ -f "$root/$folder/$program" ] || continue
    link=$(readlink "$root/usr/bin/${program,,}")
    [ "$link" = "/$folder/$program" ] || fail "/usr/bin/${program,,} points to $link"
done

if [ "$with_zorvel" = 1 ]; then
    "$root/$folder/zorvel" --help > "$work/help.txt" 2>&1 \
        && grep -q "zorvel" "$work/help.txt" || { cat "$work/help.txt" >&2; fail "zorvel --help"; }
    # Where Debian's ansible-core finds it without being told.
    if command -v ansible-doc >/dev/null; then
        ANSIBLE_COLLECTIONS_PATH="$root/usr/share/ansible/collections" ansible-doc zorvel.config.settings \
            > "$work/ansible-doc.txt" 2>&1 || { cat "$work/ansible-doc.txt" >&2; fail "ansible-doc of the package"; }
    fi
fi

unset QT_QPA_PLATFORM
"$root/$folder/Maritor" > "$work/maritor.log" 2>&1 &
pid=$!
if dialog=$(timeout 20 xdotool search --all --sync --onlyvisible --pid "$pid" \
                --name '^Starting ZORVEL Custom Config$' | head -n 1); then
    xdotool windowfocus --sync "$dialog" key Escape
else
    fail "the unpacked Maritor showed no window"
    kill "$pid"
fi
status=0
timeout 10 tail --pid "$pid" -f /dev/null || { kill "$pid"; fail "Maritor still runs after Escape"; }
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { cat "$work/maritor.log" >&2; fail "the unpacked Maritor ended with $status"; }

[ "$failures" -eq 0 ] && echo "PASS: the package builds, lints, unpacks and runs"
