#!/usr/bin/env bash
# Whole-process figures of KVXMon under Xvfb, as a user runs it:
#   streaming  against kvxsim (50 messages a second, default 30 s roll): three runs of 30 s
#              after 5 s of warm-up;
#   no device  the port does not open, the start-up box is dismissed: the same three runs;
#   start-up   from exec to the first frame on screen, median of 10.
# CPU is the sum over all threads (/proc/<pid>/task/*/schedstat), wake-ups are voluntary context
# switches of all threads, memory from /proc/<pid>/status. Prints one table of medians.
# Usage: scripts/measure.sh [build-dir]   (MEASURE_SECONDS, MEASURE_RUNS change the runs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
seconds=${MEASURE_SECONDS:-30}
warmup=${MEASURE_WARMUP:-5}
runs=${MEASURE_RUNS:-3}
starts=${MEASURE_STARTS:-10}
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "measure.sh needs $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$build/kvxmon" ] && [ -x "$build/kvxsim" ] || { echo "build $build first" >&2; exit 1; }

work=$(mktemp -d /tmp/kvxmeasure.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to the descriptor.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 10 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
exec 3>&-
export DISPLAY=:$display
unset QT_QPA_PLATFORM

cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d", s}'; }
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ {s += $2} END {printf "%d", s}'
}
status_kb() { awk -v key="$2:" '$1 == key {print $2}' /proc/"$1"/status; }
now_ns() { date +%s%N; }
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# One run: starts kvxmon in folder $1 on port $2, optionally dismisses the start-up box, and
# prints "cpu-per-second wakeups-per-second threads peak-kB steady-kB".
run_once() {
  local folder=$1 port=$2 dismiss=$3
  (cd "$folder" && KVXMON_COM1=$port exec "$build/kvxmon") >"$folder/kvxmon.log" 2>&1 &
  local pid=$!
  pids+=($pid)
  if [ "$dismiss" = yes ]; then
    sleep 2
    xdotool key Return
  fi
  sleep "$warmup"
  local c0 v0 t0 c1 v1 t1
  c0=$(cpu_ns $pid); v0=$(switches $pid); t0=$(now_ns)
  sleep "$seconds"
  c1=$(cpu_ns $pid); v1=$(switches $pid); t1=$(now_ns)
  local threads peak steady
  threads=$(ls /proc/$pid/task | wc -l)
  peak=$(status_kb $pid VmHWM); steady=$(status_kb $pid VmRSS)
  kill -TERM $pid
  wait $pid 2>/dev/null || true
  awk -v c=$((c1 - c0)) -v v=$((v1 - v0)) -v t=$((t1 - t0)) -v n="$threads" -v p="$peak" -v s="$steady" \
    'BEGIN {printf "%.4f %.0f %d %d %d\n", c / t, v * 1e9 / t, n, p, s}'
}

scenario() {
  local name=$1 device=$2
  local results="$work/$name.txt"
  : >"$results"
  for run in $(seq "$runs"); do
    local folder="$work/$name-$run"
    mkdir -p "$folder"
    local sim=""
    if [ "$device" = yes ]; then
      "$build/kvxsim" --link "$folder/korvex" >/dev/null 2>&1 &
      sim=$!
      pids+=($sim)
      for _ in $(seq 100); do [ -L "$folder/korvex" ] && break; sleep 0.05; done
      run_once "$folder" "$folder/korvex" no >>"$results"
      kill -TERM "$sim"; wait "$sim" 2>/dev/null || true
    else
      run_once "$folder" "$folder/absent" yes >>"$results"
    fi
  done
  for column in 1 2 3 4 5; do
    awk -v c=$column '{print $c}' "$results" | median
  done | paste -sd' '
}

startup() {
  local folder="$work/start"
  mkdir -p "$folder"
  "$build/kvxsim" --link "$folder/korvex" >/dev/null 2>&1 &
  local sim=$!
  pids+=($sim)
  for _ in $(seq 100); do [ -L "$folder/korvex" ] && break; sleep 0.05; done
  for run in $(seq "$starts"); do
    local log="$folder/start-$run.log"
    (cd "$folder" && now_ns >"$log.t0" &&
      KVXMON_COM1="$folder/korvex" KVXMON_REPORT_FIRST_FRAME=1 exec "$build/kvxmon") >/dev/null 2>"$log" &
    local pid=$!
    for _ in $(seq 200); do grep -q 'first frame at' "$log" && break; sleep 0.025; done
    kill -TERM $pid; wait $pid 2>/dev/null || true
    local t1
    t1=$(grep -o 'first frame at [0-9]*' "$log" | grep -o '[0-9]*$' || true)
    [ -n "$t1" ] && echo $(( (t1 - $(cat "$log.t0")) / 1000 ))
  done | median
  kill -TERM $sim; wait $sim 2>/dev/null || true
}

read -r s_cpu s_wake s_threads s_peak s_steady < <(scenario streaming yes)
read -r n_cpu n_wake n_threads n_peak n_steady < <(scenario nodevice no)
start_us=$(startup)

printf '\nKVXMon from %s, %s runs of %s s after %s s warm-up (medians)\n' "$build" "$runs" "$seconds" "$warmup"
printf '| %-10s | %10s | %10s | %7s | %12s | %14s |\n' "" "CPU-s/s" "wake-ups/s" "threads" "peak RSS MB" "steady RSS MB"
printf '|%s|\n' "------------|------------|------------|---------|--------------|----------------"
for row in "streaming $s_cpu $s_wake $s_threads $s_peak $s_steady" "no-device $n_cpu $n_wake $n_threads $n_peak $n_steady"; do
  set -- $row
  awk -v n="$1" -v c="$2" -v w="$3" -v t="$4" -v p="$5" -v s="$6" \
    'BEGIN {printf "| %-10s | %10.4f | %10.0f | %7d | %12.1f | %14.1f |\n", n, c, w, t, p / 1024, s / 1024}'
done
awk -v us="${start_us:-0}" -v n="$starts" 'BEGIN {printf "start-up to first frame: %.1f ms (median of %s)\n", us / 1000, n}'
