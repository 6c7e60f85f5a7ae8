#!/usr/bin/env bash
# A program's --help (and its help on each command) and its man page name the same options, so
# neither can gain or lose one without the other.
# Usage: man_options.sh PROGRAM PAGE.1 [COMMAND...]
set -euo pipefail
program=$1
page=$2
shift 2
options() { grep -oE -- '(^|[^[:alnum:]-])--?[a-z][a-z-]*' | grep -oE -- '--?[a-z][a-z-]*' | sort -u; }
help=$({ "$program" --help; for command in "$@"; do "$program" help "$command"; done; } | options)
man=$(grep -v '^\.\\"' "$page" | sed 's/\\-/-/g; s/\\f[BIRP]//g' | options)
if [ -z "$help" ] || ! diff <(echo "$help") <(echo "$man"); then
    echo "$(basename "$program") --help (<) and $(basename "$page") (>) differ" >&2
    exit 1
fi
