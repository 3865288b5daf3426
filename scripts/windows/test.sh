#!/usr/bin/env bash
# Runs the Windows build's test programs under Wine (Qt's offscreen
# platform), one line per test and a closing count. A test is skipped only
# where Wine or the lane lacks what it needs; each skip names its reason.
#   scripts/windows/test.sh [NAME…]    only the tests named
set -euo pipefail
source "$(dirname "$0")/common.sh"

bin=$win_build/bin
[ -d "$bin" ] || { echo "no Windows build: run scripts/windows/build.sh first" >&2; exit 2; }

# Wine renders Chinese only with a CJK font among its own.
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ ! -f "$fonts/wqy-microhei.ttc" ]; then
    win_run wineboot -u >/dev/null 2>&1 || true
    mkdir -p "$fonts"
    cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$fonts/"
fi

# Wine does not hand QT_QPA_PLATFORM from this environment to a program;
# the Wine prefix's own environment gives the offscreen platform, and the
# folder of fonts that platform reads (on Windows it looks for them beside
# Qt, where none are shipped).
win_run reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /t REG_SZ /d offscreen /f >/dev/null 2>&1
win_run reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /t REG_SZ /d 'C:\windows\Fonts' /f >/dev/null 2>&1
win_settle

declare -A skipped=(
    # The lane of a real X server (xdotool, xwd) is Linux's; its tests are
    # not built for Windows.
)

passed=0
failed=0
skips=0
# One line for a test that ran: report NAME LABEL START PASSED(yes/no) LOG.
report() {
    local seconds=$(($(date +%s) - $3))
    if [ "$4" = yes ]; then
        echo "PASS $1$2 ($seconds s)"
        passed=$((passed + 1))
    else
        echo "FAIL $1$2 ($seconds s): $(grep -m1 -E 'FAIL!|QFATAL' "$5" 2>/dev/null || tail -1 "$5" 2>/dev/null ||
            echo 'no log')"
        failed=$((failed + 1))
    fi
}
names=("$@")
screen_lane=no
if [ ${#names[@]} -eq 0 ] || [[ " ${names[*]} " == *" tst_program_x "* ]]; then
    screen_lane=yes
fi
if [ ${#names[@]} -eq 0 ]; then
    for exe in "$bin"/tst_*.exe; do
        names+=("$(basename "$exe" .exe)")
    done
fi
for name in "${names[@]}"; do
    [ "$name" != tst_program_x ] || continue
    if [ -n "${skipped[$name]:-}" ]; then
        echo "SKIP $name: ${skipped[$name]}"
        skips=$((skips + 1))
        continue
    fi
    log=$win_build/wine-tests/$name.log
    mkdir -p "$(dirname "$log")"
    start=$(date +%s)
    # Under Wine a test's own output reaches no terminal: it writes its log
    # to a file, named through Wine's Z: drive.
    rm -f "$log"
    ok=no
    (cd "$bin" && timeout 900 "$win_wine" "./$name.exe" -o "Z:$log,txt" >/dev/null 2>&1) && ok=yes
    label=""
    if [ ! -s "$log" ]; then
        # No log at all: Wine did not start the program (a fresh prefix
        # still settling after wineboot), so no test ran. Started once more.
        win_settle
        (cd "$bin" && timeout 900 "$win_wine" "./$name.exe" -o "Z:$log,txt" >/dev/null 2>&1) && ok=yes
        label=" (started twice: Wine did not start it the first time)"
    fi
    report "$name" "$label" "$start" "$ok" "$log"
done
# The program itself under Wine on an X server of its own (Xvfb, openbox),
# its windows drawn by Wine and driven with real X input: the Linux build's
# tst_program_x, pointed at tombolix.exe. Its screenshots (the console, the
# stage after a stop, the refusal of a file that is not ours) go to
# build-win64/wine-shots.
if [ "$screen_lane" = yes ]; then
    name=tst_program_x
    screen_test=$(win_screen_test)
    # Wine's processes of the offscreen runs know no display; a program that
    # joined them would open its windows nowhere.
    win_settle kill
    log=$win_build/wine-tests/$name.log
    start=$(date +%s)
    if [ -z "$screen_test" ]; then
        echo "SKIP $name: the Linux build's tst_program_x could not be built"
        skips=$((skips + 1))
    else
        ok=no
        TOMBOLIX_PROGRAM="$win_here/tombolix-on-x.sh" TOMBOLIX_SHOTS="$win_build/wine-shots" LC_ALL=C.UTF-8 \
            timeout 600 "$win_root/tests/screen/on-x.sh" 1920x1080 "$screen_test" -o "$log,txt" >/dev/null 2>&1 &&
            ok=yes
        report "$name" ": tombolix.exe under Wine on Xvfb" "$start" "$ok" "$log"
    fi
fi

echo "$passed passed, $failed failed, $skips skipped"
[ "$failed" -eq 0 ]
