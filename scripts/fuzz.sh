#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under ASan+UBSan and runs each for a while.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target names...]
# Every target first replays its seed corpus (fuzz/corpus/<name>) and its past findings
# (fuzz/regressions/<name>), then fuzzes with a working corpus in build-fuzz/. A finding (crash,
# sanitizer report, broken invariant, leak) stops the run with a non-zero status; its input is
# left in build-fuzz/findings/ and belongs in fuzz/regressions/<name>/ once mended.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(parser settings parameter_file time_text number_text)
fi
build=${KVX_FUZZ_BUILD:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DKVX_WERROR=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVX_SANITIZE=address,undefined >/dev/null
binaries=()
for name in "${targets[@]}"; do
  binaries+=("kvx_${name}_fuzz")
done
cmake --build "$build" -j"$(nproc)" --target "${binaries[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/findings"
status=0
for name in "${targets[@]}"; do
  binary="$build/fuzz/kvx_${name}_fuzz"
  work="$build/corpus/$name"
  log="$build/fuzz-$name.log"
  mkdir -p "$work"
  replay=(fuzz/corpus/"$name"/*)
  if compgen -G "fuzz/regressions/$name/*" >/dev/null; then
    replay+=(fuzz/regressions/"$name"/*)
  fi
  if ! "$binary" "${replay[@]}" >"$log" 2>&1; then
    echo "fuzz $name: a seed or regression input fails, see $log" >&2
    status=1
    continue
  fi
  if "$binary" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=1024 \
      -artifact_prefix="$build/findings/$name-" "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
    result=clean
  else
    result="FINDING (see $log and $build/findings/)"
    status=1
  fi
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)
  rate=$(grep -Eo 'average_exec_per_sec: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || echo '?')
  runs=$(grep -Eo 'number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || echo '?')
  corpus=$(find "$work" -type f | wc -l)
  printf 'fuzz %-15s %ss: %s; %s runs, %s exec/s, %s, corpus %s\n' "$name" "$seconds" "$result" \
    "$runs" "$rate" "${coverage:-cov ?}" "$corpus"
done
exit $status
