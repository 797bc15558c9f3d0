#!/usr/bin/env bash
# Serves the simulated module on a pseudo-terminal whose slave belongs to
# root, and opens it as the user nobody: the failure must give the system's
# reason and the hint that fits the node's permissions.
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
sim_pid=$!
trap 'kill "$sim_pid"; rm -rf "$work"' EXIT
# The demo is copied where nobody may run it, whatever the build folder's
# permissions.
install -m 755 "$demo" "$work/maritor-demo"

for _ in $(seq 50); do
    [ -s "$work/sim.out" ] && break
    sleep 0.1
done
slave=$(head -n 1 "$work/sim.out")
[ -c "$slave" ] || { echo "FAIL: zorvel-sim gave no pseudo-terminal" >&2; exit 1; }

failures=0
# mode, group, what the hint must say, what it must not say
while IFS='|' read -r mode group expected unexpected; do
    chown "root:$group" "$slave"
    chmod "$mode" "$slave"
    status=0
    output=$(setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env QT_QPA_PLATFORM=offscreen "$work/maritor-demo" --port "$slave" 2>&1) || status=$?
    if [ "$status" -ne 1 ] \
        || ! grep -qF "cannot open $slave: Permission denied" <<< "$output" \
        || ! grep -qF "$expected" <<< "$output" \
        || grep -qF "$unexpected" <<< "$output"; then
        echo "FAIL: mode $mode, group $group: exit code $status, said:" >&2
        echo "$output" >&2
        failures=$((failures + 1))
    fi
done <<EOT
600|tty|udev rule gives you access|join the group
660|dialout|or join the group "dialout" that owns $slave|then plug the module in again
660|root|udev rule gives you access|join the group
EOT

[ "$failures" -eq 0 ] && echo "PASS: the failed open gave the reason and the fitting hint"
