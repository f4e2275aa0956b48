#!/bin/bash
# Checks the bash completion of vekdc-cli against the program it completes.
# Usage: completion_test.sh COMPLETION_SCRIPT VEKDC_CLI
set -u
completion=$1
program=$2
source "$completion"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch master.key daughter1.key photo.vek notes.vek plain.txt
mkdir folder

failures=0

# complete_line WORD... : the completions of the last word.
complete_line() {
    COMP_WORDS=("$program" "$@")
    COMP_CWORD=$#
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _vekdc_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

# expect "WANTED" WORD... : the sorted completions, separated by blanks.
expect() {
    local wanted=$1
    shift
    local got
    got=$(complete_line "$@")
    if [[ $got != "$wanted" ]]; then
        echo "FAIL: vekdc-cli $*<TAB>"
        echo "  wanted: $wanted"
        echo "  got:    $got"
        failures=$((failures + 1))
    fi
}

expect "--help --version check decode encode help keygen keyset" ""
expect "check" "ch"
expect "decode" help de
expect "daughter1.key folder master.key" decode -k ""
expect "daughter1.key folder master.key" check --key = ""
expect "folder notes.vek photo.vek" decode -k master.key ""
expect "folder notes.vek photo.vek" check -k master.key ""
expect "daughter1.key folder master.key notes.vek photo.vek plain.txt" encode -k master.key ""
expect "folder" decode -k master.key -o ""
expect "--create-a --create-b" keygen --cr
expect "--encoding-key" encode --enc
expect "--output" decode --o
expect "--verbose --version --view" decode --v

# Every long option the help lists for a command is offered.
for command in decode encode check keygen keyset; do
    offered=$(complete_line "$command" --)
    for option in $("$program" help "$command" | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        if [[ " $offered " != *" $option "* ]]; then
            echo "FAIL: vekdc-cli $command --<TAB> lacks $option"
            failures=$((failures + 1))
        fi
    done
done

if ((failures > 0)); then
    exit 1
fi
echo "all completions as wanted"
