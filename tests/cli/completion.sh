#!/usr/bin/env bash
# kvxctl's bash completion: valid bash, the commands first, the options of a command, and after
# set every parameter name that 'kvxctl help set' lists, each with its "=".
# Usage: completion.sh COMPLETION-FILE KVXCTL
set -uo pipefail
bash -n "$1" || exit 1
source "$1"
offers() {  # offers WORD... : what completing the last word offers, sorted, one a line
    COMP_WORDS=(kvxctl "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _kvxctl
    printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect() {  # expect WHAT GOT WANTED
    [ "$2" = "$3" ] || { printf 'FAILED %s\ngot:\n%s\nwanted:\n%s\n' "$1" "$2" "$3"; failed=1; }
}
failed=0
expect commands "$(offers "")" "$(printf '%s\n' --help --port --version help identity key \
    monitor read reset set write | sort)"
expect "commands after --port" "$(offers --port COM5 mo)" monitor
expect "monitor's options" "$(offers --port=COM5 monitor --)" "$(printf '%s\n' --csv --duration \
    --help --json | sort)"
expect "reset" "$(offers reset m)" "$(printf '%s\n' max min)"
names=$("$2" help set | sed -n '/^Names:/,/^Exit/p' | sed '$d; s/^Names://' | tr ' ' '\n' |
        sed '/^$/d; s/$/=/' | sort)
expect "parameter names after set" "$(offers set limit1Mode=Max "")" "$names"
exit $failed
