#!/usr/bin/env bash
# Tests beside code: non-blank lines of every file in tests/ over non-blank lines of the .cpp and
# .h files outside tests/, bench/, fuzz/ and build folders. Counts what git tracks plus what is new
# and not ignored, so every branch counts the same way.
# Usage: scripts/count-test-ratio.sh
set -euo pipefail
cd "$(dirname "$0")/.."
files() { git ls-files --cached --others --exclude-standard "$@"; }
nonblank() { xargs -r -d '\n' cat -- | grep -cv '^[[:space:]]*$' || true; }
tests=$(files -- tests | nonblank)
code=$(files -- '*.cpp' '*.h' | grep -Ev '^(tests|bench|fuzz)/' | nonblank)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d / code %d = %.3f\n", t, c, t / c }'
