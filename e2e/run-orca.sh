#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with the real screen reader listening: a window manager,
# a speech server of our own (espeak-ng) and Orca, whose every utterance
# goes to a transcript file. Run it inside testsupport/run-under-xvfb.sh,
# which gives the display, the D-Bus session and the accessibility bus.
#
#   run-orca.sh command [args...]
#
# The command finds the transcript in $ORCA_TRANSCRIPT (Orca's debug file,
# one "SPEECH OUTPUT: '...'" line per utterance, written line by line). Its
# exit status is the script's.
set -eu

[ $# -gt 0 ] || { echo "usage: $0 command [args...]" >&2; exit 2; }
: "${XDG_RUNTIME_DIR:?run inside testsupport/run-under-xvfb.sh}"
: "${DISPLAY:?run inside testsupport/run-under-xvfb.sh}"

work=$(mktemp -d "${TMPDIR:-/tmp}/cifrelle-orca.XXXXXX")
wm='' speechd='' orca=''
stop() { # pid: SIGTERM, and a while to finish writing; then SIGKILL
    [ -n "$1" ] || return 0
    kill -TERM "$1" 2>/dev/null || true
    n=0
    while kill -0 "$1" 2>/dev/null && [ $n -lt 50 ]; do
        sleep 0.1
        n=$((n + 1))
    done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
cleanup() {
    stop "$orca"
    stop "$speechd"
    stop "$wm"
    if [ -n "${ORCA_KEEP_TRANSCRIPT:-}" ] && [ -f "$work/orca.log" ]; then
        cp "$work/orca.log" "$ORCA_KEEP_TRANSCRIPT"
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    tries=$1
    shift
    while ! "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# Window manager: without one the X focus goes nowhere when a box closes,
# and Orca hears nothing from then on.
metacity --sm-disable >"$work/metacity.log" 2>&1 &
wm=$!
wait_for 100 sh -c 'xprop -root -notype _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    { echo "$0: the window manager did not start" >&2; cat "$work/metacity.log" >&2; exit 1; }

# Speech server of our own, on the socket Orca's client looks for first.
# The one Orca would start by itself waits for a sound card that is not
# there; libao falls back to its null output.
mkdir -p "$work/speechd/modules" "$XDG_RUNTIME_DIR/speech-dispatcher"
cat >"$work/speechd/speechd.conf" <<EOF
LogLevel 2
LogDir "$work"
DefaultVolume 100
AudioOutputMethod "libao"
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
DefaultModule espeak-ng
DefaultLanguage "it"
EOF
cp /etc/speech-dispatcher/modules/espeak-ng.conf "$work/speechd/modules/"
socket="$XDG_RUNTIME_DIR/speech-dispatcher/speechd.sock"
export SPEECHD_ADDRESS="unix_socket:$socket"
speech-dispatcher --run-single --timeout 0 --config-dir "$work/speechd" \
    --communication-method unix_socket --socket-path "$socket" \
    --pid-file "$work/speechd.pid" >"$work/speechd.out" 2>&1 &
speechd=$!
wait_for 100 test -S "$socket" ||
    { echo "$0: the speech server did not start" >&2; cat "$work/speechd.out" >&2; exit 1; }

# Orca with preferences of its own. Its customisations file (run at start)
# writes the transcript line by line, so that a test can wait on it, and
# keeps to the lines a test reads.
mkdir -p "$work/orca-prefs"
cat >"$work/orca-prefs/orca-customizations.py" <<'EOF'
import __main__
from orca import debug
debug.debugLevel = debug.LEVEL_INFO
debug.debugFile.reconfigure(line_buffering=True)
# Orca refuses to start next to another Orca of the same user (a desktop's,
# say); this one has a display, a bus and preferences of its own.
__main__.otherOrcas = lambda: []
EOF
export ORCA_TRANSCRIPT="$work/orca.log"
GSETTINGS_BACKEND=memory orca -u "$work/orca-prefs" --debug-file "$ORCA_TRANSCRIPT" \
    >"$work/orca.out" 2>&1 &
orca=$!
wait_for 300 grep -q "SPEECH OUTPUT: 'Screen reader on.'" "$ORCA_TRANSCRIPT" ||
    { echo "$0: Orca did not start speaking" >&2; cat "$work/orca.out" >&2;
      tail -20 "$ORCA_TRANSCRIPT" >&2 || true; exit 1; }

status=0
"$@" || status=$?
exit "$status"
