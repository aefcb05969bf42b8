# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced: the one way the project's scripts start a virtual X display (the
# tests' run-under-xvfb.sh, the Windows check's display for Wine, the
# benchmarks).
#
#   xvfb_start FIRST [WxHxD]   starts an Xvfb of its own on the first free
#                              display from :FIRST on (screen 1280x1024x24
#                              unless given), waits until it takes clients,
#                              and exports DISPLAY; XVFB_PID is its process
#   xvfb_stop                  ends it (harmless when none runs); call it
#                              from the caller's exit trap
#
# A display is taken while the lock file /tmp/.X<n>-lock names a living
# process, or while its socket /tmp/.X11-unix/X<n> is there: those are
# skipped. Two scripts that pick the same free display at the same moment
# cannot both have it: Xvfb takes the lock itself and the loser exits, and
# the search goes on. DISPLAY is set only once the server has written its
# display number to -displayfd, so a client never reaches another server.

XVFB_PID=
xvfb_work=

# True when display $1 is held by a running X server (or its socket is
# left, which a new server might not be able to replace).
xvfb_taken() {
    [ -e "/tmp/.X11-unix/X$1" ] && return 0
    [ -e "/tmp/.X$1-lock" ] || return 1
    # The lock holds the server's process id, padded with blanks; a lock
    # whose process is gone is stale, and Xvfb replaces it.
    xvfb_holder=$(tr -d ' \n' <"/tmp/.X$1-lock" 2>/dev/null) || return 0
    case "$xvfb_holder" in
        '' | *[!0-9]*) return 0 ;;
    esac
    [ -d "/proc/$xvfb_holder" ]
}

xvfb_start() {
    xvfb_first=${1:?first display number}
    xvfb_screen=${2:-1280x1024x24}
    xvfb_work=$(mktemp -d "${TMPDIR:-/tmp}/cifrelle-xvfb.XXXXXX")
    xvfb_n=$xvfb_first
    while [ "$xvfb_n" -lt $((xvfb_first + 40)) ]; do
        if xvfb_taken "$xvfb_n"; then
            xvfb_n=$((xvfb_n + 1))
            continue
        fi
        : >"$xvfb_work/display"
        Xvfb ":$xvfb_n" -screen 0 "$xvfb_screen" -nolisten tcp -noreset -displayfd 3 \
            3>"$xvfb_work/display" 2>"$xvfb_work/log" </dev/null &
        XVFB_PID=$!
        xvfb_tries=0
        while kill -0 "$XVFB_PID" 2>/dev/null && [ ! -s "$xvfb_work/display" ] &&
            [ "$xvfb_tries" -lt 200 ]; do
            sleep 0.05
            xvfb_tries=$((xvfb_tries + 1))
        done
        if [ -s "$xvfb_work/display" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
            DISPLAY=":$xvfb_n"
            export DISPLAY
            return 0
        fi
        # Another server took the display first, or this one hung.
        xvfb_stop_server
        xvfb_n=$((xvfb_n + 1))
    done
    echo "cifrelle: no free X display from :$xvfb_first to :$((xvfb_first + 39))" >&2
    cat "$xvfb_work/log" >&2 2>/dev/null || true
    rm -rf "$xvfb_work"
    xvfb_work=
    return 1
}

xvfb_stop_server() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

xvfb_stop() {
    xvfb_stop_server
    if [ -n "$xvfb_work" ]; then
        rm -rf "$xvfb_work"
        xvfb_work=
    fi
}
