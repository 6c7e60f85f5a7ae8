#!/usr/bin/env bash
# Builds the Debian package kvxmon_<version>_<arch>.deb in its own build folder, with the
# distribution's hardening flags, stripped (the debug symbols go to build-deb/debug/.build-id,
# where gdb finds them with: set debug-file-directory build-deb/debug), then checks it (packaging/check-package.sh) and runs lintian, which must find no error and
# no warning. Install it with: sudo apt install ./build-deb/kvxmon_*.deb
# Usage: scripts/package.sh [build-dir] [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
shift || true
# What building and checking the package takes, and nothing for the tests.
scripts/install-deps.sh build-essential cmake ninja-build pkg-config qt6-base-dev \
    qt6-base-dev-tools libgl-dev dpkg-dev file desktop-file-utils appstream man-db librsvg2-bin \
    fontconfig fonts-liberation2 lintian
# bindnow and PIE as well as the default fortify, stack protector and relro. CMake reads no
# CPPFLAGS, so they go in front of the compiler flags.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -G Ninja -DKVX_WERROR=ON -DKVX_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=None \
    -DKVX_DEBUG_SYMBOLS_DIR="$PWD/$build/debug" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" "$@"
cmake --build "$build" -j"$(nproc)" --target kvx_package_contents
# A fresh staging folder: an install would keep the stripped copies there as "up to date".
rm -rf "$build"/kvxmon_*.deb "$build/debug" "$build/_CPack_Packages"
(cd "$build" && cpack -G DEB)
debs=("$build"/kvxmon_*.deb)
echo "package: built ${debs[0]}, debug symbols in $build/debug:"
find "$build/debug" -name '*.debug' | grep . 
packaging/check-package.sh "${debs[0]}"
lintian --fail-on error,warning --no-tag-display-limit "${debs[0]}"
echo "package: lintian found no error and no warning"
