#!/usr/bin/env bash
# The committed icon is the one its drawing script makes: a change to the
# script that was not followed by running it fails here.
#   tst_iconscript.sh PYTHON SCRIPT ICON
set -euo pipefail
python=$1 script=$2 icon=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$python" "$script" "$scratch/AppIcon.ico"
cmp "$scratch/AppIcon.ico" "$icon" \
    || { echo "FAIL: $icon differs from what $script draws; run the script and commit its output" >&2; exit 1; }
