#!/usr/bin/env bash
# Starts the Windows build's tombolix.exe under Wine on the X display of the
# environment, with Windows' own platform plug-in (the Wine prefix's
# environment names the offscreen one for the tests). The screen tests of the
# Linux build drive it through TOMBOLIX_PROGRAM. TOMBOLIX_WINDOWS_PROGRAM
# names another tombolix.exe (an installed one).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${TOMBOLIX_WINDOWS_BUILD_DIR:-$(cd "$here/../.." && pwd)/build-win64}
exec "$here/wine-run.sh" "${TOMBOLIX_WINDOWS_PROGRAM:-$build/bin/tombolix.exe}" -platform windows "$@"
