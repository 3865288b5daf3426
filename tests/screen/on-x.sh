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

# A loaded machine can take seconds to start the window manager, and a test
# begun without it sees no full-screen windows at all: wait for openbox to
# announce itself, start it again should it die, and give up loudly.
wm=
trap '[ -z "$wm" ] || kill "$wm" 2>/dev/null || true' EXIT
managed=no
for attempt in 1 2 3; do
    openbox --sm-disable >/dev/null &
    wm=$!
    for _ in $(seq 400); do
        kill -0 "$wm" 2>/dev/null || break
        if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
            managed=yes
            break 2
        fi
        sleep 0.05
    done
    echo "on-x.sh: openbox not up (attempt $attempt)" >&2
    kill "$wm" 2>/dev/null || true
    wait "$wm" 2>/dev/null || true
done
if [ "$managed" != yes ]; then
    echo "on-x.sh: no window manager on this display" >&2
    exit 1
fi
export QT_QPA_PLATFORM=xcb
"$@"
