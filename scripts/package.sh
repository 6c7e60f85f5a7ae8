#!/usr/bin/env bash
# Builds the Debian package kvxmon_<version>_<arch>.deb in the build folder and checks it
# (packaging/check-package.sh). Install it with: sudo apt install ./build/kvxmon_*.deb
# Usage: scripts/package.sh [build-dir] [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DKVX_WERROR=ON "$@"
cmake --build "$build" -j"$(nproc)" --target kvx_package_contents
rm -f "$build"/kvxmon_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/kvxmon_*.deb)
echo "package: built ${debs[0]}"
packaging/check-package.sh "${debs[0]}"
