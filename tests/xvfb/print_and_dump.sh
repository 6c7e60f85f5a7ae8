#!/usr/bin/env bash
# The Print menu as a user drives it, under a real X server and with the keyboard alone:
# Alt+T, P, Return in the print dialog writes a one-page PDF report; landscape and another file
# chosen there by keyboard are offered again by the next Print; Alt+T, S, a full path typed into
# the save dialog and Return writes the bitmap. The device is kvxsim on a pty.
# Usage: print_and_dump.sh KVXMON KVXSIM   (exit 77: Xvfb or xdotool missing)
set -euo pipefail
kvxmon=$1
kvxsim=$2
for tool in Xvfb xdotool pdfinfo pdftotext setpriv; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed" >&2
        exit 77
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# Children die with this script however it ends (a timed-out test is killed outright).
child=(setpriv --pdeathsig KILL --)
# Waits up to $1 tenths of a second for the command that follows to succeed.
await() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# A display of our own: Xvfb picks a free number and writes it to the pipe.
exec {display_fd}<> <(:)
"${child[@]}" Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 10 -u "$display_fd" number || fail "Xvfb did not start"
export DISPLAY=":$number"
export QT_QPA_PLATFORM=xcb

"${child[@]}" "$kvxsim" --link "$work/COM1" --identity "KVX-XVFB 7" --wave steady --min 60 --max 60 \
    >/dev/null &
pids+=($!)
await 50 test -e "$work/COM1" || fail "kvxsim did not start"
export KVXMON_COM1="$work/COM1"

cd "$work"
"${child[@]}" "$kvxmon" >"$work/kvxmon.log" 2>&1 &
pids+=($!)
await 100 xdotool search --name "Korvex" || fail "the main window did not appear"
main=$(xdotool search --name "Korvex" | head -1)
# No window manager: the window takes the focus when asked directly.
xdotool windowfocus --sync "$main"
sleep 0.7  # measurements and the identity poll

# The Tools menu by its mnemonic, then, once the menu shows, the item's key.
visible='[ "$(xdotool search --onlyvisible --class kvxmon | wc -l)" -gt "$0" ]'
tools() {
    local before
    xdotool windowfocus --sync "$main"
    before=$(xdotool search --onlyvisible --class kvxmon | wc -l)
    xdotool key --clearmodifiers alt+t
    await 50 sh -c "$visible" "$before" || fail "Alt+T opened no menu"
    xdotool key "$1"
}
# Print: the dialog proposes a PDF file in the working directory when there is no printer.
tools p
await 150 xdotool search --name "^Print" || fail "the print dialog did not appear"
sleep 0.3
xdotool key Return
await 100 test -s "$work/KVXMon.pdf" || fail "no PDF was written"
await 50 pdfinfo "$work/KVXMon.pdf" || fail "the PDF is not readable"
pdfinfo "$work/KVXMon.pdf" | grep -Eq '^Pages: +1$' || fail "the report is not one page"
text=$(pdftotext -layout "$work/KVXMon.pdf" -)
grep -q "Tessaron: *KVX-XVFB 7" <<<"$text" || fail "no identity in the report: $text"
grep -q "Parameters" <<<"$text" || fail "no listing in the report: $text"
# pdfinfo's "Page size: W x H pts": wider than high.
landscape() { pdfinfo "$1" | awk '/^Page size:/ { exit !($3 > $5) }'; }
landscape "$work/KVXMon.pdf" && fail "the first report is not in portrait"

# Landscape from the keyboard alone (Properties, Tab to the orientation, Down) and another file:
# the next Print offers both again, so Return alone prints there in landscape.
tools p
await 150 xdotool search --name "^Print$" || fail "the print dialog did not appear again"
sleep 0.3
xdotool key alt+r
await 100 xdotool search --name "^Printer Properties$" || fail "Alt+R opened no properties"
sleep 0.3
xdotool key --delay 50 Tab Tab Tab Down Return
await 50 sh -c '! xdotool search --name "^Printer Properties$"' || fail "the properties stayed open"
# No window manager hands the focus back to the print dialog.
xdotool windowfocus --sync "$(xdotool search --name "^Print$" | head -1)"
xdotool key alt+f ctrl+a
xdotool type --delay 10 "$work/turned.pdf"
xdotool key Return
await 100 test -s "$work/turned.pdf" || fail "no PDF was written to the typed file"
await 50 pdfinfo "$work/turned.pdf" || fail "the turned PDF is not readable"
landscape "$work/turned.pdf" || fail "the orientation chosen by keyboard was not used"
rm "$work/turned.pdf"
tools p
await 150 xdotool search --name "^Print$" || fail "the print dialog did not appear a third time"
sleep 0.3
xdotool key Return
await 100 test -s "$work/turned.pdf" || fail "the next Print forgot the file chosen before"
await 50 pdfinfo "$work/turned.pdf" || fail "the second turned PDF is not readable"
landscape "$work/turned.pdf" || fail "the next Print forgot the orientation chosen before"

# Screen dump: a full path typed into the save dialog's name field, then Return.
tools s
await 150 xdotool search --name "^Save" || fail "the save dialog did not appear"
sleep 0.3
xdotool type --delay 10 "$work/shot"
xdotool key Return
await 100 test -s "$work/shot.bmp" || fail "no bitmap was written (the default extension)"
size=$(stat -c %s "$work/shot.bmp")
header=$(od -An -tu4 -j2 -N4 "$work/shot.bmp" | tr -d ' ')
[ "$(head -c2 "$work/shot.bmp")" = "BM" ] || fail "the bitmap does not start with BM"
[ "$header" = "$size" ] || fail "file size field $header, file $size"
echo "PASS: one-page report and a $size-byte bitmap"
