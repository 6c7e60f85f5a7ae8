#!/usr/bin/env bash
# Installs what is missing, builds KVXMon and runs it against the kvxsim device simulator.
# With a display the window opens; without one it runs under Xvfb for about ten seconds and
# saves a screenshot of the window's client area.
# Usage: scripts/demo.sh [screenshot.png]   (default: build/kvxmon-demo.png)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
shot=${1:-$repo/build/kvxmon-demo.png}
case $shot in /*) ;; *) shot=$repo/$shot ;; esac

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)" --target kvxmon kvxsim

# A scratch working directory: KVXMon keeps its settings file in the working directory, so the
# demo starts from the defaults (COM1) and leaves nothing behind.
work=$(mktemp -d)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

"$repo/build/kvxsim" --link "$work/COM1" &
sim_pid=$!
for _ in $(seq 50); do
    [ -e "$work/COM1" ] && break
    sleep 0.1
done
if [ ! -e "$work/COM1" ]; then
    echo "demo: kvxsim did not create $work/COM1" >&2
    exit 1
fi
export KVXMON_COM1="$work/COM1"
cd "$work"

# The platform is always named, so the demo never depends on what Qt would guess.
if [ -n "${DISPLAY:-}" ]; then
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb} "$repo/build/kvxmon"
    exit 0
fi
if [ -n "${WAYLAND_DISPLAY:-}" ]; then
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-wayland} "$repo/build/kvxmon"
    exit 0
fi

mkdir -p "$(dirname "$shot")"
rm -f "$shot"
echo "demo: no display, running KVXMon under Xvfb for ten seconds"
KVXMON_SCREENSHOT="$shot" KVXMON_SCREENSHOT_AFTER=8 QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" timeout 10 "$repo/build/kvxmon" || true
if [ -s "$shot" ]; then
    echo "demo: screenshot saved to $shot"
else
    echo "demo: no screenshot was saved" >&2
    exit 1
fi
