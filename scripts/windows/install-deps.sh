#!/usr/bin/env bash
# Installs the Debian 12 packages that cross-build Tombolix for Windows,
# package it and test it under Wine, skipping those already present.
set -euo pipefail

packages=(
    # The cross compilers (the -posix threads model: std::thread and
    # std::mutex as Qt needs them), windres, and zlib for the libraries.
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    mingw-w64-tools libz-mingw-w64-dev
    cmake ninja-build make pkg-config python3 perl
    # apt-get source and the source packages' own steps (SQLite makes its
    # amalgamation with tclsh).
    dpkg-dev tcl xz-utils
    # The installer, the portable zip, and Wine to run and test it all.
    nsis zip unzip wine64 xvfb xauth
    # Qt's own texts in Chinese, copied beside the program.
    qt6-translations-l10n
    # The CJK font Wine is given for screenshots.
    fonts-wqy-microhei
)

exec "$(dirname "$0")/../install-deps.sh" "${packages[@]}"
