#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a virtual X display of its own, inside a private D-Bus
# session with the accessibility bus running, and cleans everything up
# afterwards. The command's exit status is the script's.
#
#   run-under-xvfb.sh [--screen WxHxD] command [args...]
#
# The display is the first free one from 80 on (E2E_FIRST_DISPLAY changes
# where the search starts), so that concurrent runs never share one.
set -eu

screen=1280x1024x24
if [ "${1:-}" = "--screen" ]; then
    screen=$2
    shift 2
fi
[ $# -gt 0 ] || { echo "usage: $0 [--screen WxHxD] command [args...]" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/cifrelle-e2e.XXXXXX")
xvfb=
cleanup() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb refuses a display whose lock another server holds, and writes the
# display number to the -displayfd descriptor once it accepts clients.
first=${E2E_FIRST_DISPLAY:-80}
display=
n=$first
while [ "$n" -lt $((first + 40)) ]; do
    : >"$work/display"
    Xvfb ":$n" -screen 0 "$screen" -nolisten tcp -noreset -displayfd 3 \
        3>"$work/display" 2>"$work/xvfb.log" &
    xvfb=$!
    tries=0
    while kill -0 "$xvfb" 2>/dev/null && [ ! -s "$work/display" ] && [ $tries -lt 200 ]; do
        sleep 0.05
        tries=$((tries + 1))
    done
    if [ -s "$work/display" ] && kill -0 "$xvfb" 2>/dev/null; then
        display=":$n"
        break
    fi
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    xvfb=
    n=$((n + 1))
done
if [ -z "$display" ]; then
    echo "$0: no free X display from :$first on" >&2
    cat "$work/xvfb.log" >&2 || true
    exit 1
fi

mkdir -m 700 "$work/runtime"
export DISPLAY="$display"
export XDG_RUNTIME_DIR="$work/runtime"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# Qt asks the session whether accessibility is on; no desktop settings
# here, so it is forced on above. No theme or input method of the host.
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_IM_MODULE XMODIFIERS || true

status=0
dbus-run-session -- sh -c '
    dbus-update-activation-environment DISPLAY XDG_RUNTIME_DIR QT_LINUX_ACCESSIBILITY_ALWAYS_ON
    # Starts the accessibility bus (the registry comes with it).
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null
    exec "$@"
' sh "$@" || status=$?
exit "$status"
