#!/usr/bin/env bash
# Runs the README's rack recipe against two simulated modules, the second
# one set apart first: the recipe takes the first one's settings under
# version control and brings the second in line, writing to it alone.
#   tst_rackrecipe.sh README BIN_DIR
set -euo pipefail
readme=$1 bin=$2

work=$(mktemp -d)
pids=""
trap 'kill $pids 2>/dev/null; rm -rf "$work"' EXIT
for n in 1 2; do
    "$bin/zorvel-sim" > "$work/sim$n.log" &
    pids+=" $!"
done
for n in 1 2; do
    for _ in $(seq 50); do [ -s "$work/sim$n.log" ] && break; sleep 0.1; done
done
first=$(head -n 1 "$work/sim1.log") second=$(head -n 1 "$work/sim2.log")
export PATH="$bin:$PATH"
zorvel set bitrate=2400 --yes --port "$second" > /dev/null

# The recipe as the README gives it, its two choices set to the simulated modules.
sed -n '/^    reference="--serial ZV0001"$/,/^    # then power-cycle/p' "$readme" | sed 's/^    //' \
    | sed "s|^reference=.*|reference=\"--port $first\"|; s|^modules=.*|modules=\"--port $first --port $second\"|" \
    > "$work/recipe.sh"
[ "$(wc -l < "$work/recipe.sh")" -eq 7 ] || { cat "$work/recipe.sh" >&2; echo "FAIL: no rack recipe in $readme" >&2; exit 1; }

cd "$work"
git init -q && git config user.email rack@example.com && git config user.name Rack
bash "$work/recipe.sh" > "$work/recipe.log" 2>&1 || true

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
git log --oneline -- rack.json | grep -q "Known-good settings of the rack" || fail "rack.json was not committed"
grep -q "^$second: rs232c.bitrate: 2400 -> 9600$" "$work/recipe.log" || fail "diff did not name the second module"
zorvel diff rack.json --port "$first" --port "$second" > /dev/null || fail "the modules still differ"
writes() { grep -c 'to module  *4d 30 02' "$work/$1.log" || true; }
[ "$(writes sim1)" -eq 0 ] || fail "the first module was written"
[ "$(writes sim2)" -eq 2 ] || fail "the second module was written $(writes sim2) times, not twice (set, then apply)"
[ "$failures" -eq 0 ] || { cat "$work/recipe.log" >&2; exit 1; }
echo "PASS: the README's rack recipe brought the second module in line with the first"
