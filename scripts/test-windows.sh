#!/usr/bin/env bash
# The Windows build under Wine: the cross-compiled unit tests, then kvxctl.exe end to end against
# kvxsim on a pseudo-terminal that the scratch Wine prefix sees as COM5. Every command the Windows
# kvxctl runs, the Linux kvxctl runs too against a second kvxsim: their output and the bytes each
# simulator heard on its line must be the same, and so must the exit codes for a busy port, a
# missing port and a silent device.
# Usage: scripts/test-windows.sh [windows-build-dir] [linux-build-dir]
# Builds what is missing; bounded in time; leaves no kvxsim or wineserver behind.
set -uo pipefail
cd "$(dirname "$0")/.."
win=${1:-build-windows}
linux=${2:-build}
limit=${KVX_WINE_TEST_LIMIT:-600}

passed=0
failed=0
pids=()
scratch=$(mktemp -d /tmp/kvx-wine.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=$(command -v wine64 || true)
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=$(command -v wineserver || true)
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}

cleanup() {
  trap - EXIT INT TERM
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  [ -x "$WINESERVER" ] && [ -d "$WINEPREFIX" ] && timeout 20 "$WINESERVER" -k 2>/dev/null
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'echo "test-windows: stopped"; exit 130' INT TERM
# The whole run has a limit of its own: a hang anywhere ends it.
# Its sleep ends with it, so nothing holds this script's output open afterwards.
(
  sleep "$limit" &
  sleeper=$!
  trap 'kill $sleeper 2>/dev/null; exit 0' TERM
  wait $sleeper && { echo "test-windows: over $limit s, stopping"; kill -TERM $$; }
) &
pids+=($!)

exit_codes() {  # exit_codes CODE NAME: both programs ended with CODE
  [ "$(cat "$scratch/$2.win.rc")" = "$1" ] && [ "$(cat "$scratch/$2.linux.rc")" = "$1" ] ||
    { echo "  exit codes: Windows $(cat "$scratch/$2.win.rc"), Linux $(cat "$scratch/$2.linux.rc")"; false; }
}

check() {  # check NAME CONDITION-COMMAND...
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "PASS $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name"
  fi
}

# What is missing is built: the Windows programs here, kvxsim and kvxctl for Linux.
if [ ! -f "$win/kvxctl.exe" ] || [ ! -f "$win/tests/kvx_windows_tests.exe" ] ||
  [ ! -f "$win/tests/kvx_windows_window_tests.exe" ]; then
  scripts/build-windows.sh "$win" || { echo "0 passed, 1 failed"; exit 1; }
fi
if [ ! -x "$linux/kvxsim" ] || [ ! -x "$linux/kvxctl" ]; then
  scripts/install-deps.sh
  cmake -S . -B "$linux" -G Ninja -DKVX_WERROR=ON >/dev/null &&
    cmake --build "$linux" -j"$(nproc)" --target kvxsim kvxctl || { echo "0 passed, 1 failed"; exit 1; }
fi
ctl_exe=$(realpath "$win/kvxctl.exe")
ctl_linux=$(realpath "$linux/kvxctl")
sim=$(realpath "$linux/kvxsim")

start=$(date +%s.%N)
timeout 240 "$WINE" wineboot -i >"$scratch/wineboot.log" 2>&1
check "wineboot of a fresh prefix ($(printf '%.1f' "$(echo "$(date +%s.%N) - $start" | bc)") s)" \
  test -d "$WINEPREFIX/dosdevices"

check "cross-compiled unit tests under Wine" \
  timeout 120 "$WINE" "$win/tests/kvx_windows_tests.exe" --gtest_brief=1
# The window needs an X server. Wine's desktop process takes the display it starts with: without
# one from the start, the prefix's processes start afresh under an X server of their own and end
# with it.
window_tests() {
  if [ -n "${DISPLAY:-}" ]; then
    timeout 60 "$WINE" "$win/tests/kvx_windows_window_tests.exe" --gtest_brief=1
    return
  fi
  "$WINESERVER" -k 2>/dev/null
  timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$WINE" "$win/tests/kvx_windows_window_tests.exe" --gtest_brief=1
  local rc=$?
  "$WINESERVER" -k 2>/dev/null
  return $rc
}
check "the main window under Wine" window_tests

# One simulator for each kvxctl, alike in everything; each records what it hears.
start_sim() {  # start_sim LINK RECORD [options...]
  local link=$1 record=$2
  shift 2
  "$sim" --link "$link" --record "$record" --wave steady --min 40 --max 40 --dudt-interval 0 \
    --seed 7 "$@" >/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -e "$link" ] && return 0; sleep 0.05; done
  return 1
}
dos=$WINEPREFIX/dosdevices
check "kvxsim as COM5 for Wine" start_sim "$dos/com5" "$scratch/wire-win.bin"
check "kvxsim as COM5 for Linux" start_sim "$scratch/linux-com5" "$scratch/wire-linux.bin"
export KVXMON_COM5=$scratch/linux-com5

# run_both NAME ARGS...: the same command through both programs, in the same folder layout.
mkdir -p "$scratch/w" "$scratch/l"
run_both() {
  local name=$1
  shift
  (cd "$scratch/w" && timeout 60 "$WINE" "$ctl_exe" --port COM5 "$@" >"$scratch/$name.win.out" \
    2>"$scratch/$name.win.err")
  echo $? >"$scratch/$name.win.rc"
  (cd "$scratch/l" && timeout 60 "$ctl_linux" --port COM5 "$@" >"$scratch/$name.linux.out" \
    2>"$scratch/$name.linux.err")
  echo $? >"$scratch/$name.linux.rc"
}
# The C runtime on Windows writes CR LF; the Linux kvxctl names the device path beside the port.
same_output() {  # same_output NAME [sed-expression for both [sorted]]
  local name=$1 expr=${2:-} order=cat
  [ "${3:-}" = sorted ] && order="sort -u"
  local a b
  a=$(tr -d '\r' <"$scratch/$name.win.out" | sed -e 's/^COM5 ([^)]*)/COM5/' -e "$expr" | $order)
  b=$(sed -e 's/^COM5 ([^)]*)/COM5/' -e "$expr" <"$scratch/$name.linux.out" | $order)
  [ -n "$a" ] && [ "$a" = "$b" ] && cmp -s "$scratch/$name.win.rc" "$scratch/$name.linux.rc" ||
    { diff <(echo "$a"; cat "$scratch/$name.win.rc" "$scratch/$name.win.err") \
        <(echo "$b"; cat "$scratch/$name.linux.rc" "$scratch/$name.linux.err") | head -20; false; }
}

run_both read read --json --save start.kvx
check "read --json: same output" same_output read
check "read --save: same parameter file" cmp "$scratch/w/start.kvx" "$scratch/l/start.kvx"
run_both set set limit1Setpoint=77 limit1Hysteresis=9
check "set: same output, confirmed" same_output set
check "set: exit 0" exit_codes 0 set
cp "$scratch/l/start.kvx" "$scratch/w/start.kvx"
run_both write write start.kvx
check "write: same output, confirmed" same_output write
check "write: exit 0" exit_codes 0 write
run_both monitor monitor --csv --duration 3
# The time column and how many lines fit into the run differ by nature, and a run may end
# before the device's first peak report; but every kind of line Windows prints (the header,
# values with and without peaks) must be one the Linux build prints too.
monitor_lines() {  # monitor_lines NAME TIME-SED-EXPRESSION
  local a b
  a=$(tr -d '\r' <"$scratch/$1.win.out" | sed "$2" | sort -u)
  b=$(sed "$2" "$scratch/$1.linux.out" | sort -u)
  [ "$(echo "$a" | wc -l)" -ge 2 ] && [ -z "$(comm -23 <(echo "$a") <(echo "$b"))" ] &&
    exit_codes 0 "$1" || { diff <(echo "$a") <(echo "$b"); false; }
}
check "monitor --csv: the same kinds of lines" monitor_lines monitor 's/^[0-9T:.+-]*,/T,/'
check "monitor --csv: local ISO times" \
  grep -Eq '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2},40,' \
  "$scratch/monitor.win.out"
check "the same bytes on both lines" cmp "$scratch/wire-win.bin" "$scratch/wire-linux.bin"

run_both monitor-json monitor --json --duration 2
check "monitor --json: the same kinds of lines" monitor_lines monitor-json 's/^{"time": "[^"]*"/{"time": T/'

# Output whose reader has gone: a failed write is an error (one line on stderr, exit 1), except
# for a monitor, which simply ends. The pause lets the reader end before the program starts.
closed_reader() {  # closed_reader NAME ARGS...
  local name=$1
  shift
  (cd "$scratch/w" && { sleep 0.5; timeout 60 "$WINE" "$ctl_exe" --port COM5 "$@" \
    2>"$scratch/$name.win.err"; } | true; echo "${PIPESTATUS[0]}" >"$scratch/$name.win.rc")
  (cd "$scratch/l" && { sleep 0.5; timeout 60 "$ctl_linux" --port COM5 "$@" \
    2>"$scratch/$name.linux.err"; } | true; echo "${PIPESTATUS[0]}" >"$scratch/$name.linux.rc")
}
stderr_lines() {  # stderr_lines COUNT NAME
  [ "$(wc -l <"$scratch/$2.win.err")" = "$1" ] && [ "$(wc -l <"$scratch/$2.linux.err")" = "$1" ] ||
    { cat "$scratch/$2.win.err" "$scratch/$2.linux.err"; false; }
}
closed_reader closed-help help read
check "output to a closed pipe: exit 1" exit_codes 1 closed-help
check "output to a closed pipe: one line on stderr" stderr_lines 1 closed-help
closed_reader closed-monitor monitor --csv --duration 2
check "monitor into a closed pipe: exit 0" exit_codes 0 closed-monitor
check "monitor into a closed pipe: nothing on stderr" stderr_lines 0 closed-monitor

# A busy port: another kvxctl of the same system holds it. Wine (8.0) lets a second Wine
# process open a COM port that another holds without sharing, which Windows refuses with "access
# denied"; so under Wine only the Linux side is checked, and the Windows result is shown.
(timeout 30 "$ctl_linux" --port COM5 monitor --duration 20 >"$scratch/holder.linux" 2>&1 &)
for _ in $(seq 50); do [ -s "$scratch/holder.linux" ] && break; sleep 0.1; done
(cd "$scratch/l" && timeout 60 "$ctl_linux" --port COM5 read >/dev/null 2>"$scratch/busy.linux.err")
busy=$?
check "busy port: Linux exit code 1 ($busy)" test "$busy" = 1
check "busy port: Linux says so" grep -q "in use" "$scratch/busy.linux.err"
(timeout 30 "$WINE" "$ctl_exe" --port COM5 monitor --duration 20 >"$scratch/holder.win" 2>&1 &)
for _ in $(seq 100); do [ -s "$scratch/holder.win" ] && break; sleep 0.1; done
(cd "$scratch/w" && timeout 60 "$WINE" "$ctl_exe" --port COM5 read >/dev/null 2>&1)
echo "NOTE busy port under Wine: exit code $? (Windows itself refuses the open: exit 1)"

# A missing port, and a device that never answers a poll.
export KVXMON_COM6=$scratch/linux-com6 KVXMON_COM7=$scratch/nothing-here
check "silent kvxsim as COM6 for Wine" start_sim "$dos/com6" /dev/null --ignore-polls
check "silent kvxsim as COM6 for Linux" start_sim "$scratch/linux-com6" /dev/null --ignore-polls
for port in COM6 COM7; do
  (cd "$scratch/w" && timeout 60 "$WINE" "$ctl_exe" --port $port read >/dev/null 2>&1)
  echo $? >"$scratch/$port.win.rc"
  (cd "$scratch/l" && timeout 60 "$ctl_linux" --port $port read >/dev/null 2>&1)
  echo $? >"$scratch/$port.linux.rc"
done
check "silent device: same exit code (2)" exit_codes 2 COM6
check "missing port: same exit code (1)" exit_codes 1 COM7

# The adapter pulled and put back while monitoring: the values blank, the link comes back by
# itself, and the monitor still ends on time.
sim_pids=${#pids[@]}
start_sim "$dos/com8" /dev/null
(cd "$scratch/w" && timeout 40 "$WINE" "$ctl_exe" --port COM8 monitor --csv --duration 10 \
  >"$scratch/unplug.out" 2>&1 &)
for _ in $(seq 100); do [ "$(wc -l <"$scratch/unplug.out")" -gt 5 ] && break; sleep 0.1; done
kill "${pids[$sim_pids]}"
sleep 3
start_sim "$dos/com8" /dev/null
for _ in $(seq 200); do grep -q "link back" "$scratch/unplug.out" && break; sleep 0.1; done
check "unplugged and back: link lost, then back" grep -q "link lost" "$scratch/unplug.out"
check "unplugged and back: values again" sh -c "sed -n '/link back/,\$p' '$scratch/unplug.out' | grep -q ',40,'"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
