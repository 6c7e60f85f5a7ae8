#!/usr/bin/env bash
# Cross-builds KVXMon.exe, kvxctl.exe and the tests that need no window for 64-bit Windows with Debian's
# MinGW-w64, into build-windows/ (or the folder given). Installs what is missing first.
# Usage: scripts/build-windows.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-windows}
shift || true

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest
          python3 wine64 wine file)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKVX_WERROR=ON "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j"${KVX_JOBS:-2}" --target kvx_platform_core kvx_system_core kvxctl kvxmon \
  kvx_windows_tests kvx_windows_window_tests
echo "$build/kvxctl.exe: $(file -b "$build/kvxctl.exe")"
echo "$build/KVXMon.exe: $(file -b "$build/KVXMon.exe")"
