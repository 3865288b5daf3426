#!/usr/bin/env bash
# Cross-builds the Windows programs with the project's own CMake files:
# tombolix.exe, tombolix-xlsread.exe, the tests and tombolix-bench.exe, in
# build-win64/bin with the DLLs and Qt plug-ins they need beside them.
# Programs the build itself runs (the tool that makes the empty Data.mdb)
# and the tests run under Wine.
set -euo pipefail
source "$(dirname "$0")/common.sh"

export PKG_CONFIG_LIBDIR=$win_prefix/lib/pkgconfig
export PKG_CONFIG_PATH=
cmake -S "$win_root" -B "$win_build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$win_root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$win_prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$win_here/wine-run.sh" >/dev/null
# Before anything is built: the build runs some of what it makes.
win_deploy "$win_build/bin"
cmake --build "$win_build" --parallel "$(nproc)"
echo "built: $win_build/bin"
