# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the benchmarks: starts an Xvfb of its own on a display derived
# from the process id, points DISPLAY and the game's data directory at it and
# at a fresh temporary folder ($data), and cleans both up on exit.
start_xvfb() {
    display=:$(( $1 + $$ % 100 ))
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    data=$(mktemp -d)
    trap 'kill $xvfb 2>/dev/null; rm -rf "$data"' EXIT INT TERM
    export DISPLAY="$display" XDG_DATA_HOME="$data"
    unset QT_QPA_PLATFORM
    i=0
    while ! xdotool getdisplaygeometry >/dev/null 2>&1; do
        i=$((i + 1)); [ $i -lt 100 ] || { echo "Xvfb did not start" >&2; exit 1; }
        sleep 0.05
    done
}
