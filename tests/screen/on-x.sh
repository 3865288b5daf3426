#!/usr/bin/env bash
# Runs a command on a real X server of its own: a fresh Xvfb screen of the
# given size, with openbox managing its windows (focus, activation and
# full-screen windows behave as on a desktop), and Qt's xcb platform.
#   on-x.sh WIDTHxHEIGHT COMMAND [ARGUMENTS…]
set -euo pipefail

if [ "${1:-}" != --inside ]; then
    size=$1
    shift
    # -a picks a free display; two servers started at the same moment could
    # pick the same one, which ctest prevents with a resource lock.
    exec xvfb-run -a -e /dev/stderr -s "-screen 0 ${size}x24 -nolisten tcp" "$0" --inside "$@"
fi
shift

openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        break
    fi
    sleep 0.05
done
export QT_QPA_PLATFORM=xcb
"$@"
