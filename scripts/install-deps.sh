#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test KVXMon; with package names
# as arguments, only those (scripts/package.sh names what building the package needs).
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config
          qt6-base-dev qt6-base-dev-tools libgl-dev
          libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth fonts-dejavu-core fonts-liberation2
          xdotool x11-xserver-utils x11-utils x11-apps qt6-translations-l10n poppler-utils
          clang libclang-rt-14-dev dpkg-dev file desktop-file-utils appstream man-db
          librsvg2-bin)
if [ $# -gt 0 ]; then
  packages=("$@")
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
