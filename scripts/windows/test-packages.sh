#!/usr/bin/env bash
# Installs the setup silently under Wine, runs the installed program (its
# version, then a start on Qt's offscreen platform, which copies the empty
# database into the user's data folder, then a draw held on an X server with
# real X input, whose winners are stored), uninstalls it and checks the
# user's data is still there; then unpacks the portable zip and runs it the
# same way, where the database beside the program is the one used.
set -euo pipefail
source "$(dirname "$0")/common.sh"

version=$(sed -n 's/^project(Tombolix VERSION \([0-9.]*\).*/\1/p' "$win_root/CMakeLists.txt")
out=$win_build/package
setup=$out/Tombolix-$version-win64-setup.exe
zip=$out/Tombolix-$version-win64-portable.zip
[ -f "$setup" ] && [ -f "$zip" ] || { echo "no packages: run scripts/windows/package.sh first" >&2; exit 2; }

# A Wine prefix of its own, as a fresh Windows user would have.
export WINEPREFIX=$win_cache/wine-packages
rm -rf "$WINEPREFIX"
win_run wineboot -i >/dev/null 2>&1
# Qt's offscreen platform, through the prefix's environment (Wine does not
# hand QT_QPA_PLATFORM from this one to a program).
win_run reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /t REG_SZ /d offscreen /f >/dev/null 2>&1
win_settle
drive=$WINEPREFIX/drive_c
user_data=$(find "$drive/users" -maxdepth 1 -mindepth 1 -type d ! -name Public | head -1)/AppData/Roaming/Tombolix/Tombolix

fail() {
    echo "package test: $*" >&2
    exit 1
}

check_version() {
    local printed
    printed=$(win_run "$1" --version 2>/dev/null | tr -d '\r')
    [ "$printed" = "tombolix $version" ] || fail "$1 --version printed '$printed'"
}

# Started offscreen, left running a moment, then ended.
start_briefly() {
    timeout 20 "$win_wine" "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep 12
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    win_settle kill
}

# A draw held with the program on an X server of its own (Xvfb, openbox):
# the console's start button, the chooser, Space to start and stop; the
# winners must be in the database (the Linux build's tst_program_x drives it).
screen_test=$(win_screen_test)
[ -n "$screen_test" ] || fail "the Linux build's tst_program_x could not be built"
hold_a_draw() {
    win_settle kill
    local log=$win_build/package/$2-draw.log
    TOMBOLIX_WINDOWS_PROGRAM=$1 TOMBOLIX_PROGRAM="$win_here/tombolix-on-x.sh" LC_ALL=C.UTF-8 \
        TOMBOLIX_SHOTS="$win_build/package/$2-shots" timeout 300 "$win_root/tests/screen/on-x.sh" 1920x1080 \
        "$screen_test" drawOnTheStage -o "$log,txt" >/dev/null 2>&1 ||
        fail "$2: no draw stored ($(grep -m1 'FAIL!' "$log" 2>/dev/null || tail -1 "$log" 2>/dev/null))"
}

win_run "$setup" /S
win_settle
program="$drive/Program Files/Tombolix/bin/tombolix.exe"
[ -f "$program" ] || fail "the setup installed no tombolix.exe"
[ -f "$drive/Program Files/Tombolix/share/tombolix/Data.mdb" ] || fail "no shipped database"
[ ! -f "$drive/Program Files/Tombolix/bin/Data.mdb" ] || fail "a database beside the installed program"
[ -f "$drive/Program Files/Tombolix/bin/tombolix-verify.exe" ] || fail "the setup installed no tombolix-verify.exe"
check_version 'C:\Program Files\Tombolix\bin\tombolix.exe'
start_briefly 'C:\Program Files\Tombolix\bin\tombolix.exe'
[ -f "$user_data/Data.mdb" ] || fail "the installed program made no database in the user's folder"
hold_a_draw 'C:\Program Files\Tombolix\bin\tombolix.exe' installed
echo "installed: ok"

win_run 'C:\Program Files\Tombolix\uninstall.exe' /S
win_settle
sleep 2
[ ! -f "$program" ] || fail "the uninstaller left tombolix.exe"
[ -f "$user_data/Data.mdb" ] || fail "the uninstaller took the user's data"
echo "uninstalled, the user's data kept: ok"

portable=$drive/portable
rm -rf "$portable"
mkdir -p "$portable"
unzip -q "$zip" -d "$portable"
folder=$(basename "$zip" .zip)
rm -f "$user_data/Data.mdb"
check_version "C:\\portable\\$folder\\tombolix.exe"
start_briefly "C:\\portable\\$folder\\tombolix.exe"
[ ! -f "$user_data/Data.mdb" ] || fail "the portable program used the user's folder"
# The day's first start backs the database in use up beside it.
[ -d "$portable/$folder/备份" ] || fail "the portable program did not use the Data.mdb beside it"
hold_a_draw "C:\\portable\\$folder\\tombolix.exe" portable
echo "portable: ok"
