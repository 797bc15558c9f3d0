#!/usr/bin/env bash
# The committed icon and theme images are the ones their drawing script
# makes: a change to the script that was not followed by running it fails
# here, and so does an image left behind or missing.
#   tst_iconscript.sh PYTHON SCRIPT ICON HICOLOR
set -euo pipefail
python=$1 script=$2 icon=$3 hicolor=$4

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$python" "$script" "$scratch/AppIcon.ico" "$scratch/hicolor"
cmp "$scratch/AppIcon.ico" "$icon" \
    || { echo "FAIL: $icon differs from what $script draws; run the script and commit its output" >&2; exit 1; }
diff -r "$scratch/hicolor" "$hicolor" \
    || { echo "FAIL: $hicolor differs from what $script draws; run the script and commit its output" >&2; exit 1; }
