# What the Windows scripts share; sourced, not run.
#   win_prefix            the libraries built by deps.sh (built when missing)
#   win_build             the Windows build folder (TOMBOLIX_WINDOWS_BUILD_DIR, default build-win64)
#   win_run PROGRAM ARGS  runs a Windows program under Wine, in a Wine prefix of the cache
#   win_screen_test       the Linux build's tst_program_x (built when missing)
#   win_settle [kill]     waits for (or ends) the prefix's Wine processes
#   win_deploy FOLDER     puts the DLLs and Qt plug-ins the programs need beside them

win_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
win_root=$(cd "$win_here/../.." && pwd)
win_prefix=$("$win_here/deps.sh")
win_cache=$(dirname "$win_prefix")
win_build=${TOMBOLIX_WINDOWS_BUILD_DIR:-$win_root/build-win64}
export WINEPREFIX=${WINEPREFIX:-$win_cache/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# Wine's own Mono and Gecko are not needed and not installed.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
win_wine=/usr/lib/wine/wine64

# The Linux build's tst_program_x, which drives a program on an X server with
# real X input; built when missing. Prints its path, or nothing.
win_screen_test() {
    local test=$win_root/build/bin/tst_program_x
    if [ ! -x "$test" ]; then
        cmake -S "$win_root" -B "$win_root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null &&
            cmake --build "$win_root/build" --target tst_program_x --parallel "$(nproc)" >/dev/null || true
    fi
    [ ! -x "$test" ] || echo "$test"
}

# Waits until the prefix's Wine processes have ended; with "kill", ends
# them first (a program started after them gets Wine's display afresh).
win_settle() {
    local server
    server="$(dirname "$win_wine")/wineserver"
    [ "${1:-}" != kill ] || "$server" -k 2>/dev/null || true
    "$server" -w 2>/dev/null || true
}

win_run() {
    "$win_wine" "$@"
}

win_deploy() {
    local folder=$1
    mkdir -p "$folder/platforms" "$folder/sqldrivers" "$folder/styles" "$folder/imageformats" "$folder/translations"
    local mingw=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
    cp -u "$mingw/libstdc++-6.dll" "$mingw/libgcc_s_seh-1.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll \
        /usr/x86_64-w64-mingw32/lib/zlib1.dll "$folder/"
    cp -u "$win_prefix"/bin/libsqlite3-0.dll "$win_prefix"/bin/libzip.dll "$win_prefix"/bin/libxlsxwriter.dll "$folder/"
    local module
    for module in Core Gui Widgets Sql Test PrintSupport; do
        cp -u "$win_prefix/bin/Qt6$module.dll" "$folder/"
    done
    cp -u "$win_prefix"/plugins/platforms/{qwindows,qoffscreen}.dll "$folder/platforms/"
    cp -u "$win_prefix"/plugins/sqldrivers/qsqlite.dll "$folder/sqldrivers/"
    cp -u "$win_prefix"/plugins/styles/*.dll "$folder/styles/" 2>/dev/null || true
    cp -u "$win_prefix"/plugins/imageformats/*.dll "$folder/imageformats/" 2>/dev/null || true
    # Qt's own texts in Chinese (dialogs, standard buttons), from the same
    # Qt version's translations the Linux build uses.
    cp -u /usr/share/qt6/translations/qtbase_zh_CN.qm /usr/share/qt6/translations/qt_zh_CN.qm \
        "$folder/translations/" 2>/dev/null || true
    # Qt looks for its plug-ins and translations beside the program.
    printf '[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n' >"$folder/qt.conf"
}
