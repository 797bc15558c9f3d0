#!/usr/bin/env bash
# Serves the simulated module on a pseudo-terminal whose slave belongs to
# root, and opens it as the user nobody: the failure must give the system's
# reason and the hint that fits the node's permissions. Last, nobody may use
# the port but another program holds it, which the failure names before
# anything else.
#   tst_openfailure.sh MARITOR_DEMO ZORVEL_SIM
set -euo pipefail
demo=$1 sim=$2

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: handing the port to an unprivileged user needs root"
    exit 77
fi

work=$(mktemp -d)
chmod 755 "$work"
"$sim" --quiet > "$work/sim.out" &
pids=$!
trap 'kill $pids; rm -rf "$work"' EXIT
# The demo is copied where nobody may run it, whatever the build folder's
# permissions.
install -m 755 "$demo" "$work/maritor-demo"

for _ in $(seq 50); do
    [ -s "$work/sim.out" ] && break
    sleep 0.1
done
slave=$(head -n 1 "$work/sim.out")
[ -c "$slave" ] || { echo "FAIL: zorvel-sim gave no pseudo-terminal" >&2; exit 1; }

open_as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups
    env QT_QPA_PLATFORM=offscreen "$work/maritor-demo" --port "$slave")

failures=0
# mode, group, the system's reason, what the hint must say, what it must not say
check() {
    local mode=$1 group=$2 reason=$3 expected=$4 unexpected=$5
    local output status=0
    output=$("${open_as_nobody[@]}" 2>&1) || status=$?
    if [ "$status" -ne 1 ] \
        || ! grep -qF "cannot open $slave: $reason" <<< "$output" \
        || ! grep -qF "$expected" <<< "$output" \
        || grep -qF "$unexpected" <<< "$output"; then
        echo "FAIL: mode $mode, group $group: exit code $status, said:" >&2
        echo "$output" >&2
        failures=$((failures + 1))
    fi
}

while IFS='|' read -r mode group reason expected unexpected; do
    chown "root:$group" "$slave"
    chmod "$mode" "$slave"
    check "$mode" "$group" "$reason" "$expected" "$unexpected"
done <<EOT
600|tty|Permission denied|udev rule gives you access|join the group
660|dialout|Permission denied|or join the group "dialout" that owns $slave|then plug the module in again
660|root|Permission denied|udev rule gives you access|join the group
EOT

chmod 666 "$slave"
"${open_as_nobody[@]}" > /dev/null 2>&1 &
holder=$!
pids+=" $holder"
for _ in $(seq 100); do
    ls -l "/proc/$holder/fd" | grep -qF "$slave" && break
    sleep 0.1
done
check 666 "tty, held by another program" "The port is in use by maritor-demo (process $holder)" \
    "close it, then try again" "udev rule"

[ "$failures" -eq 0 ] && echo "PASS: the failed open gave the reason and the fitting hint"
