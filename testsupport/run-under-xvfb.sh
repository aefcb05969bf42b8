#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a virtual X display of its own, inside a private D-Bus
# session with the accessibility bus running, and cleans everything up
# afterwards. The command's exit status is the script's.
#
#   run-under-xvfb.sh [--screen WxHxD] command [args...]
#
# The display is the first free one from 80 on (E2E_FIRST_DISPLAY changes
# where the search starts), so that concurrent runs never share one: see
# xdisplay.sh beside it, which every script here uses to start an Xvfb.
set -eu

screen=1280x1024x24
if [ "${1:-}" = "--screen" ]; then
    screen=$2
    shift 2
fi
[ $# -gt 0 ] || { echo "usage: $0 [--screen WxHxD] command [args...]" >&2; exit 2; }

. "$(dirname "$0")/xdisplay.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/cifrelle-e2e.XXXXXX")
cleanup() {
    xvfb_stop
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

xvfb_start "${E2E_FIRST_DISPLAY:-80}" "$screen"

mkdir -m 700 "$work/runtime"
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
