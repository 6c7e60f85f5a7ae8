#!/usr/bin/env bash
# The Win32 dialogs and property sheet under Wine: the cross-compiled dialog tests need a display,
# so they run on a private Xvfb in a scratch Wine prefix. Bounded in time; leaves no Xvfb or
# wineserver behind.
# Usage: scripts/test-windows-dialogs.sh [windows-build-dir]
set -uo pipefail
cd "$(dirname "$0")/.."
win=${1:-build-windows}
if [ ! -f "$win/tests/kvx_windows_dialog_tests.exe" ]; then
  scripts/build-windows.sh "$win" >/dev/null &&
    cmake --build "$win" -j"${KVX_JOBS:-2}" --target kvx_windows_dialog_tests >/dev/null ||
    { echo "FAIL building the dialog tests"; exit 1; }
fi
scratch=$(mktemp -d /tmp/kvx-wine-dialogs.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
xvfb=""
cleanup() {
  timeout 20 "$WINESERVER" -k 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
read -r -t 10 display <&3 || { echo "FAIL no Xvfb"; exit 1; }
export DISPLAY=:$display
timeout 240 "$WINE" wineboot -i >/dev/null 2>&1
if timeout 120 "$WINE" "$win/tests/kvx_windows_dialog_tests.exe" --gtest_brief=1; then
  echo "PASS Win32 dialogs under Wine"
else
  echo "FAIL Win32 dialogs under Wine"
  exit 1
fi
