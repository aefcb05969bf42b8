#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU used by the game while its clock runs and nobody plays, over a minute,
# under Xvfb. Usage: bench/idle.sh BUILD_DIR [SECONDS]
set -eu
build=${1:?build directory}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/testsupport/xdisplay.sh"
# The game's records go to a folder of its own, made anew.
data=$(mktemp -d)
pid=
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    xvfb_stop
    rm -rf "$data"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
xvfb_start 190
export XDG_DATA_HOME="$data"
unset QT_QPA_PLATFORM

"$build/app/cifrelle" >/dev/null 2>&1 &
pid=$!
for title in '^Impariamo ad approssimare$' '^Impariamo ad approssimare$'; do
    w=$(xdotool search --sync --onlyvisible --name "$title" | head -n1)
    xdotool windowfocus --sync "$w" key Return 2>/dev/null || xdotool key --window "$w" Return
    sleep 0.5
done
xdotool search --sync --onlyvisible --name '^Gioca con le Cifrelle$' >/dev/null
sleep 2

ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
kill "$pid"; wait "$pid" 2>/dev/null || true
pid=
awk -v d=$((after - before)) -v hz="$hz" -v s="$seconds" -v rss="$rss" 'BEGIN {
    printf "idle with the clock running for %d s: %.2f s of CPU = %.3f%% of one core (target: under 1%%), %d KiB resident\n",
           s, d / hz, 100 * d / hz / s, rss }'
