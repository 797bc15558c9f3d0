#!/usr/bin/env bash
# Checks that bash completion offers every command and option that zorvel's
# help lists, and every key that set takes, each where it belongs.
#   tst_completion.sh ZORVEL COMPLETION_SCRIPT
set -euo pipefail
zorvel=$1
source "$2"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# What completion offers for the words given, the last being completed.
offered() {
    COMP_WORDS=(zorvel "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _zorvel
    printf '%s\n' "${COMPREPLY[@]}"
}

expect_offered() { # what, among, where
    grep -qxF -- "$1" <<<"$2" || fail "$3: $1 is not offered"
}

help=$("$zorvel" --help)
commands=$(sed -n '/^Commands/,/^$/p' <<<"$help" | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || fail "no commands in zorvel --help"
options_in() { grep -oE -- '(^|[ ,])-{1,2}[a-z][a-z-]*' | grep -oE -- '-{1,2}[a-z-]+' | sort -u; }

first=$(offered "")
for command in $commands; do
    expect_offered "$command" "$first" "zorvel"
done
for option in $(sed -n '/^Options of every command/,/^$/p' <<<"$help" | options_in); do
    expect_offered "$option" "$(offered -)" "zorvel"
done

for command in $commands; do
    [ "$command" = help ] && continue
    options=$("$zorvel" help "$command" | sed -n '/^Options:/,/^$/p' | options_in)
    [ -n "$options" ] || fail "no options in zorvel help $command"
    for option in $options; do
        expect_offered "$option" "$(offered "$command" -)" "zorvel $command"
    done
done
expect_offered show "$(offered help "")" "zorvel help"

# set's help lists each key on a line of its own, "  key: values", after the
# line that ends "The keys and the values they take:".
keys=$("$zorvel" help set | sed -n '/The keys and the values they take:$/,/^$/p' | sed -nE 's/^  ([A-Za-z0-9]+): .*/\1/p')
[ "$(wc -w <<<"$keys")" -eq 9 ] || fail "zorvel help set lists the keys: $keys"
for key in $keys; do
    expect_offered "$key=" "$(offered set "")" "zorvel set"
done
expect_offered HARDWARE "$(offered set flowControl =)" "zorvel set flowControl="
expect_offered true "$(offered set rs232c.pelta = t)" "zorvel set rs232c.pelta=t"

[ "$failures" -eq 0 ] && echo "PASS: completion offers every command, option and key"
