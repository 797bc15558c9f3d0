#!/usr/bin/env bash
# Makes the packages twice with scripts/package, from two clean clones of
# the source's last commit in two folders of different names, and finds
# every package and bill of materials that SHA256SUMS lists identical. The
# second begins a minute after the first, with another umask, time zone and
# language, settings for Qt's style and fonts, and another pseudo-terminal
# taken, which the manual's pictures must not show. Where they differ,
# diffoscope says how. The first build's packages stay in OUTPUT for the
# bills' test.
#   tst_reproducible.sh SOURCE_DIR OUTPUT_DIR [WINDOWS_QT_ARCHIVE]
set -euo pipefail
source=$1 output=$2 qt_archive=${3:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -z "$(git -C "$source" status --porcelain --untracked-files=no)" ] \
    || echo "Note: the source has changes that are not committed; the builds take its last commit."

package() { # folder umask [VARIABLE=VALUE...]
    git clone --quiet "$source" "$1"
    if ! (umask "$2" && cd "$1" && env "${@:3}" ZORVEL_WINDOWS_QT_ARCHIVE="$qt_archive" bash scripts/package) \
            > "$1.log" 2>&1; then
        tail -40 "$1.log" >&2
        fail "scripts/package failed in $1"
        exit 1
    fi
}

started=$(date +%s)
package "$work/first/zorvel" 022
wait=$((started + 60 - $(date +%s)))
[ "$wait" -le 0 ] || sleep "$wait"
exec 9<>/dev/ptmx
package "$work/second place/custom-config" 077 TZ=Asia/Tokyo LANG=de_DE.UTF-8 QT_FONT_DPI=120 \
    QT_STYLE_OVERRIDE=windows
exec 9>&-

first=$work/first/zorvel/build-package
second="$work/second place/custom-config/build-package"
listed=$(awk '{ print $2 }' "$first/SHA256SUMS")
[ -n "$listed" ] || fail "SHA256SUMS lists nothing"
identical=0
total=0
for file in $listed; do
    total=$((total + 1))
    if cmp -s "$first/$file" "$second/$file"; then
        identical=$((identical + 1))
        continue
    fi
    fail "$file differs between the two builds"
    if command -v diffoscope >/dev/null; then
        diffoscope --text - "$first/$file" "$second/$file" 2>&1 | head -200 >&2 || true
    fi
done
cmp -s "$first/SHA256SUMS" "$second/SHA256SUMS" || fail "SHA256SUMS differs: $(diff "$first/SHA256SUMS" "$second/SHA256SUMS")"
echo "$identical of $total packages and bills identical (SOURCE_DATE_EPOCH $(git -C "$source" log -1 --format=%ct))"

rm -rf "$output"
mkdir -p "$output"
(cd "$first" && cp --parents SHA256SUMS $listed "$output/")

[ "$failures" -eq 0 ] && echo "PASS: two builds of one commit give the same bytes"
