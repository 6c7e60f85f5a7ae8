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
  [ ! -f "$win/tests/kvx_windows_gui_tests.exe" ]; then
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

# Every Wine session of the run gets an X server: Wine's desktop takes the display of the process
# that starts the session, and a desktop without one shows no window of any later process.
scripts/install-deps.sh xvfb xdotool x11-apps || { echo "0 passed, 1 failed"; exit 1; }
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$scratch/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$scratch/display")

start=$(date +%s.%N)
timeout 240 "$WINE" wineboot -i >"$scratch/wineboot.log" 2>&1
check "wineboot of a fresh prefix ($(printf '%.1f' "$(echo "$(date +%s.%N) - $start" | bc)") s)" \
  test -d "$WINEPREFIX/dosdevices"

check "cross-compiled unit tests under Wine" \
  timeout 120 "$WINE" "$win/tests/kvx_windows_tests.exe" --gtest_brief=1
# The window library's tests open windows: the session has had the display from its start.
check "the window, drawing, dialogs and the parameter sheet under Wine" \
  timeout 90 "$WINE" "$win/tests/kvx_windows_gui_tests.exe" --gtest_brief=1

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
# The time column and how many lines fit into the run differ by nature, and either run may end
# before the device's first peak report, so peaks count as one kind whether known yet or not; but
# every kind of line Windows prints (the header, values, status) must be one the Linux build
# prints too.
monitor_lines() {  # monitor_lines NAME KINDS TIME-SED-EXPRESSION: at least KINDS kinds of line
  local a b
  a=$(tr -d '\r' <"$scratch/$1.win.out" | sed "$3" | sort -u)
  b=$(sed "$3" "$scratch/$1.linux.out" | sort -u)
  [ "$(echo "$a" | grep -c .)" -ge "$2" ] && [ -z "$(comm -23 <(echo "$a") <(echo "$b"))" ] &&
    exit_codes 0 "$1" || { diff <(echo "$a") <(echo "$b"); false; }
}
check "monitor --csv: the same kinds of lines" monitor_lines monitor 2 \
  's/^[0-9T:.+-]*,/T,/; s/^T,\([0-9]*\),[^,]*,[^,]*,[^,]*,/T,\1,P,P,P,/'
check "monitor --csv: local ISO times" \
  grep -Eq '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2},40,' \
  "$scratch/monitor.win.out"
check "the same bytes on both lines" cmp "$scratch/wire-win.bin" "$scratch/wire-linux.bin"

run_both monitor-json monitor --json --duration 2
check "monitor --json: the same kinds of lines" monitor_lines monitor-json 1 \
  's/^{"time": "[^"]*"/{"time": T/; s/"max": [^,]*, "min": [^,]*, "dpdt": [^,]*/"max": P, "min": P, "dpdt": P/'

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

# KVXMon.exe end to end, as a user drives it, on the run's X server (there is no window
# manager: every window is given the focus as a click would): kvxsim on COM1 recording the wire,
# the device named in the identity bar and its curve drawn (pixels of the window), a setpoint typed
# into the parameter sheet (Alt+P) and sent with Return, File > Save Parameters, Print > Screen
# dump and File > Exit by their mnemonics, each with what it must leave.
mon=$scratch/mon
mkdir -p "$mon"
# A new Wine session maps COM1 to /dev/ttyS0 again, unless the prefix's Ports key names the port.
timeout 60 "$WINE" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$scratch/com1" /f >/dev/null
timeout 20 "$WINESERVER" -k 2>/dev/null
check "kvxsim as COM1 for KVXMon.exe" start_sim "$scratch/com1" "$scratch/wire-mon.bin" \
  --identity "KVX-WINE E2E MMMMMMMMMMMMMMMMMMMMMMMMMMMMMM"
mon_exe=$(realpath "$win/KVXMon.exe")
(cd "$mon" && timeout 300 "$WINE" "$mon_exe" >"$scratch/kvxmon.log" 2>&1) &
mon_pid=$!
pids+=($mon_pid)

wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local end=$(($(date +%s) + $1))
  shift
  until "$@"; do [ "$(date +%s)" -lt "$end" ] || return 1; sleep 0.1; done
}
window_named() {  # window_named TITLE-REGEX [SECONDS]: the first visible window so named
  local id=""
  for _ in $(seq $((${2:-10} * 10))); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$id" ] && break
    sleep 0.1
  done
  echo "$id"
}
gone() { [ -z "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ]; }
keys() {  # keys WINDOW KEY...: the focus to the window, then the keys one by one
  xdotool windowfocus --sync "$1" 2>/dev/null
  shift
  xdotool key --delay 150 "$@"
}
type_into() {  # type_into WINDOW TEXT: typed, then Return
  sleep 0.5
  xdotool windowfocus --sync "$1" 2>/dev/null
  xdotool type --delay 20 "$2"
  xdotool key Return
}
words_heard() {  # the words on the recorded wire: 4 data bytes (a nibble each), sum, CR
  python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
for i in range(0, len(data) - 5, 6):
    if data[i + 5] == 13:
        print(sum((data[i + k] >> 4) << (12 - 4 * k) for k in range(4)))' "$scratch/wire-mon.bin"
}
# The window's pixels (xwd, 32 bits a pixel) against the client area's layout, found by the
# identity bar's inner rows, the only runs of 800 pixels in the panel colour. Prints "TEXT_WIDTH
# TEXT_HEIGHT BLUE": what the identity bar's text covers, and the pixels of the curve's blue in the
# graph.
window_pixels() {  # window_pixels XWD-FILE
  python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
h = struct.unpack(">25I", data[:100])
size, width, height, bpp, line = h[0], h[4], h[5], h[11], h[12]
pixels = data[size + 12 * h[19]:]
if bpp != 32:
    sys.exit("xwd: %d bits per pixel" % bpp)
def rgb(x, y):
    if not (0 <= x < width and 0 <= y < height):
        return None
    b, g, r = pixels[y * line + 4 * x : y * line + 4 * x + 3]
    return (r, g, b)
panel = (210, 210, 210)
bar = None
for y in range(height):
    run = 0
    for x in range(width):
        run = run + 1 if rgb(x, y) == panel else 0
        if run == 800:
            bar = (x - 799 - 26, y - 16)  # the bar's inside starts at (26, 16) of the client area
            break
    if bar:
        break
text_w = text_h = blue = 0
if bar:
    ox, oy = bar
    ink = [(x, y) for y in range(oy + 16, oy + 49) for x in range(ox + 26, ox + 934)
           if rgb(x, y) not in (panel, None)]
    if ink:
        text_w = max(p[0] for p in ink) - min(p[0] for p in ink) + 1
        text_h = max(p[1] for p in ink) - min(p[1] for p in ink) + 1
    blue = sum(1 for y in range(oy + 61, oy + 324) for x in range(ox + 346, ox + 934)
               if rgb(x, y) == (0, 0, 255))
print(text_w, text_h, blue)
EOF
}
bitmap_is_window() {  # bitmap_is_window BMP XWD: the window as the screen shows it is in the file
  python3 - "$@" <<'EOF'
import struct, sys
bmp = open(sys.argv[1], "rb").read()
xwd = open(sys.argv[2], "rb").read()
size, = struct.unpack_from("<I", bmp, 2)
offset, = struct.unpack_from("<I", bmp, 10)
bw, bh, planes, bpp = struct.unpack_from("<iiHH", bmp, 18)
h = struct.unpack(">25I", xwd[:100])
xw, xh, line = h[4], h[5], h[12]
print("  bitmap %dx%d %d bits, %d bytes in a file of %d; window %dx%d on the screen"
      % (bw, abs(bh), bpp, size, len(bmp), xw, xh))
if bmp[:2] != b"BM" or size != len(bmp) or bpp not in (24, 32):
    sys.exit(1)
# Both as rows of R, G, B bytes, top row first.
step, stride = bpp // 8, (bw * bpp // 8 + 3) & ~3
rows = [bmp[offset + y * stride : offset + y * stride + bw * step] for y in range(abs(bh))]
if bh > 0:
    rows.reverse()
def rgb(row, step):
    return bytes(b for i in range(0, len(row), step) for b in (row[i + 2], row[i + 1], row[i]))
bmp_rows = [rgb(r, step) for r in rows]
pixels = xwd[h[0] + 12 * h[19]:]
win_rows = [rgb(pixels[y * line : y * line + 4 * xw], 4) for y in range(xh)]
# The client area's origin in the screen's picture: the identity bar's inner rows are the only
# runs of 800 pixels in the panel colour, and start at (26, 16).
panel = bytes((210, 210, 210)) * 800
bar = next(((r.find(panel) // 3, y) for y, r in enumerate(win_rows) if r.find(panel) % 3 == 0), None)
if bar is None:
    sys.exit("  no identity bar in the window")
ox, oy = bar[0] - 26, bar[1] - 16
# What stands still: the menu bar's first items, the identity bar's start and the values panel,
# found in the bitmap as on the screen. The bitmap may show a frame the screen does not (Windows
# draws it) or lack a row or two of the screen's (Wine draws its own edge above the menu bar).
parts = [(0, oy, 0, ox + 180), (oy, oy + 326, ox, ox + 336)]
bh = abs(bh)
for dy in range(max(-2, bh - xh), max(0, bh - xh) + 1):
    for dx in range(max(-2, bw - xw), max(0, bw - xw) + 1):
        if all(bmp_rows[dy + y][3 * (dx + x0) : 3 * (dx + x1)] == win_rows[y][3 * x0 : 3 * x1]
               for y0, y1, x0, x1 in parts for y in range(max(y0, -dy), y1)):
            print("  the window's menu bar and panel at (%d, %d) of the bitmap" % (dx, dy))
            sys.exit(0)
print("  the window's menu bar and panel are not in the bitmap")
sys.exit(1)
EOF
}
wine_path() { timeout 60 "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

main=$(window_named "Korvex Configuration tool" 60)
check "KVXMon.exe shows its window" test -n "$main"
if [ -n "$main" ]; then
  # "Tessaron: - - -" is some 10 times as wide as high; the line with this identity over 25 times.
  # Some seconds of curve draw 50 pixels of it.
  pictured() {
    xwd -silent -id "$main" -out "$scratch/main.xwd"
    read -r text_w text_h blue < <(window_pixels "$scratch/main.xwd" || echo 0 0 0)
    [ "$text_h" -gt 0 ] && [ "$text_w" -gt $((25 * text_h)) ] && [ "$blue" -ge 50 ]
  }
  wait_for 20 pictured
  check "the identity bar names the device (text $text_w x $text_h px)" \
    test "$text_h" -gt 0 -a "$text_w" -gt $((25 * text_h))
  check "the curve is drawn ($blue blue pixels in the graph)" test "$blue" -ge 50

  heard=$(words_heard | wc -l)
  keys "$main" alt+p
  sheet=$(window_named "Korvex Parameters")
  check "Alt+P opens the parameter sheet" test -n "$sheet"
  if [ -n "$sheet" ]; then
    sleep 0.5
    # From the first field (limit 1's mode) Tab reaches its setpoint, its text selected.
    keys "$sheet" Tab 7 3 Return
    check "Return closes the sheet" wait_for 5 gone "Korvex Parameters"
    sleep 1.5  # a word per 47 ms tick, the confirming poll, then nothing more
    # Polls before the word are the window's own.
    sent=$(words_heard | tail -n +$((heard + 1)) | awk '$1 != 65050 { w = 1 } w' | tr '\n' ' ')
    check "setpoint 73 and Return: 3173 and the confirming poll on the wire ($sent)" \
      test "$sent" = "3173 65050 "
  fi

  keys "$main" alt+f s
  dialog=$(window_named "Save.*")
  [ -n "$dialog" ] && type_into "$dialog" "$(wine_path "$mon/line3.kvx")"
  wait_for 10 test -s "$mon/line3.kvx"
  check "File > Save Parameters writes the 88 bytes, setpoint 73 in them" sh -c \
    '[ "$(stat -c %s "$1")" = 88 ] && [ "$(od -An -tu2 -j2 -N2 "$1" | tr -d " ")" = 73 ]' \
    _ "$mon/line3.kvx"

  keys "$main" alt+t s
  dialog=$(window_named "Save.*")
  [ -n "$dialog" ] && type_into "$dialog" "$(wine_path "$mon")\\shot"  # .bmp is the default
  wait_for 10 test -s "$mon/shot.bmp"
  xwd -silent -id "$main" -out "$scratch/dumped.xwd"
  check "Print > Screen dump writes a bitmap of the window" \
    bitmap_is_window "$mon/shot.bmp" "$scratch/dumped.xwd"

  keys "$main" alt+f e
  check "File > Exit ends KVXMon.exe" wait_for 10 sh -c '! kill -0 "$1" 2>/dev/null' _ "$mon_pid"
  check "KVXMon.cnf (280 bytes) left in the working folder" \
    wait_for 5 sh -c '[ "$(stat -c %s "$1" 2>/dev/null)" = 280 ]' _ "$mon/KVXMon.cnf"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
