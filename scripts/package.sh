#!/usr/bin/env bash
# Builds the program in Release and makes its Debian package with CPack.
#   ./scripts/package.sh [OUTPUT-FOLDER]     (default: build/package)
# Install it with: sudo apt install ./build/package/tombolix_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

build=${TOMBOLIX_BUILD_DIR:-build}
out=${1:-$build/package}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "$(nproc)" --target tombolix_installed
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -B "$(realpath "$out")"
rm -rf "$out/_CPack_Packages"
ls "$out"/*.deb
