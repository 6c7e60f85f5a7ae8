#!/usr/bin/env bash
# Whole-process figures of KVXMon under Xvfb, as a user runs it, beside a floor measured in the
# same run on the same X server:
#   streaming  against kvxsim (50 messages a second, default 30 s roll);
#   silent     on an open port whose device says nothing;
#   no device  the port does not open, the start-up box is dismissed;
#   floor      bench/floor: a bare Qt widget repainting a 500 x 200 area every 20 ms;
#   start-up   from exec to the first frame on screen, median of 10.
# Each of the runs (default three of 30 s after 5 s of warm-up) measures the four programs in
# turn, so that a machine that drifts affects them alike. CPU is the sum over all threads
# (/proc/<pid>/task/*/schedstat), wake-ups are voluntary context switches of all threads, memory
# from /proc/<pid>/status. Prints one table of medians, with CPU and wake-ups also as multiples
# of the floor's: absolute figures drift by some 15 % from one machine state to the next, the
# ratios much less.
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
cmake --build "$build" --target kvx_floor >/dev/null || { echo "cannot build the floor program" >&2; exit 1; }

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
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
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

# Measures the running process $1 after the warm-up and prints "cpu-per-second
# wakeups-per-second threads peak-kB steady-kB"; ends it afterwards.
measure() {
  local pid=$1
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

# One run of KVXMon in folder $1 on port $2, the start-up box dismissed when $3 is yes.
run_kvxmon() {
  local folder=$1 port=$2 dismiss=$3
  (cd "$folder" && KVXMON_COM1=$port exec "$build/kvxmon") >"$folder/kvxmon.log" 2>&1 &
  local pid=$!
  pids+=($pid)
  if [ "$dismiss" = yes ]; then
    sleep 2
    xdotool key Return
  fi
  measure $pid
}

# One run of scenario $1 (streaming, silent, nodevice, floor), appended to $work/$1.txt.
run_scenario() {
  local name=$1 run=$2
  local folder="$work/$name-$run"
  mkdir -p "$folder"
  case $name in
    streaming|silent)
      local options=()
      [ "$name" = silent ] && options=(--silence-after 0)
      "$build/kvxsim" --link "$folder/korvex" "${options[@]}" >/dev/null 2>&1 &
      local sim=$!
      pids+=($sim)
      for _ in $(seq 100); do [ -L "$folder/korvex" ] && break; sleep 0.05; done
      run_kvxmon "$folder" "$folder/korvex" no >>"$work/$name.txt"
      kill -TERM "$sim"; wait "$sim" 2>/dev/null || true
      ;;
    nodevice)
      run_kvxmon "$folder" "$folder/absent" yes >>"$work/$name.txt"
      ;;
    floor)
      "$build/bench/kvx_floor" >"$folder/floor.log" 2>&1 &
      local pid=$!
      pids+=($pid)
      measure $pid >>"$work/$name.txt"
      ;;
  esac
}

medians() {
  for column in 1 2 3 4 5; do
    awk -v c=$column '{print $c}' "$work/$1.txt" | median
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

scenarios=(streaming silent nodevice floor)
for run in $(seq "$runs"); do
  for name in "${scenarios[@]}"; do
    run_scenario "$name" "$run"
  done
done
start_us=$(startup)

read -r f_cpu f_wake _ < <(medians floor)
printf '\nKVXMon from %s, %s runs of %s s after %s s warm-up (medians; load average %s)\n' \
  "$build" "$runs" "$seconds" "$warmup" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '| %-10s | %8s | %7s | %10s | %7s | %7s | %8s | %10s |\n' \
  "" "CPU-s/s" "x floor" "wake-ups/s" "x floor" "threads" "peak MB" "steady MB"
printf '|%s|\n' "------------|----------|---------|------------|---------|---------|----------|------------"
for name in "${scenarios[@]}"; do
  read -r cpu wake threads peak steady < <(medians "$name")
  label=$name
  [ "$name" = nodevice ] && label=no-device
  awk -v n="$label" -v c="$cpu" -v w="$wake" -v t="$threads" -v p="$peak" -v s="$steady" \
    -v fc="$f_cpu" -v fw="$f_wake" \
    'BEGIN {printf "| %-10s | %8.4f | %7.2f | %10.1f | %7.2f | %7d | %8.1f | %10.1f |\n",
            n, c, (fc > 0 ? c / fc : 0), w, (fw > 0 ? w / fw : 0), t, p / 1024, s / 1024}'
done
awk -v us="${start_us:-0}" -v n="$starts" 'BEGIN {printf "start-up to first frame: %.1f ms (median of %s)\n", us / 1000, n}'
