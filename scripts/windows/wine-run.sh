#!/usr/bin/env bash
# Runs a Windows program under Wine with the Wine prefix of the cache; CMake
# and CTest run the programs of the Windows build through it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${TOMBOLIX_WINDOWS_CACHE:-$(dirname "$(cd "$here/../.." && pwd)")/tombolix-windows-cache}
export WINEPREFIX=${WINEPREFIX:-$cache/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec /usr/lib/wine/wine64 "$@"
