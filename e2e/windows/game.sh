# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the Windows checks (e2e/windows/play.sh, guarded.sh,
# registro.sh): the windows on the X display Wine draws on, of a program
# started in the background as $pid; `fail` is the caller's.
#
#   window TITLE       the id of the visible window whose title is exactly
#                      TITLE, waiting up to ten seconds for it
#   gone ID            waits up to ten seconds for the window to go
#   named NAME         types NAME in the game's name box, confirms it and
#                      the greeting: the game's window comes next
#   exits WHAT         waits up to ten seconds for the program to end, with
#                      status 0
#   ended WHAT [SHOT]  presses Enter on every box "Cifrelle" that comes (the
#                      first one's screenshot in SHOT), until the game ends,
#                      in 15 s at most, with status 0

window() {
    i=0
    while :; do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
        [ -z "$id" ] || { echo "$id"; return 0; }
        # shellcheck disable=SC2154 # the caller's game
        kill -0 "$pid" 2>/dev/null || fail "the game ended while waiting for \"$1\""
        i=$((i + 1))
        [ $i -lt 200 ] || fail "no window \"$1\""
        sleep 0.05
    done
}

gone() {
    i=0
    while xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1"; do
        i=$((i + 1))
        [ $i -lt 200 ] || fail "window $1 stayed open"
        sleep 0.05
    done
}

named() {
    box=$(window 'Impariamo ad approssimare')
    xdotool type --delay 40 "$1"
    xdotool key Return
    gone "$box"
    box=$(window 'Impariamo ad approssimare')
    xdotool key Return
    gone "$box"
}

# The program's exit status, which must be 0.
exited() {
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "$1 ended with status $status"
}

exits() {
    i=0
    while kill -0 "$pid" 2>/dev/null; do
        i=$((i + 1))
        [ $i -lt 200 ] || fail "$1 did not end"
        sleep 0.05
    done
    exited "$1"
}

ended() {
    i=0
    shot=${2:-}
    while kill -0 "$pid" 2>/dev/null; do
        if box=$(xdotool search --onlyvisible --name '^Cifrelle$' 2>/dev/null | head -n 1) &&
           [ -n "$box" ]; then
            if [ -n "$shot" ]; then import -window root "$shot"; shot=; fi
            xdotool key Return
            sleep 0.3
        fi
        i=$((i + 1))
        [ $i -lt 300 ] || fail "$1 did not end after Esci"
        sleep 0.05
    done
    exited "$1"
}
