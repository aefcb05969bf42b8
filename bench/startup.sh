#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Time from launch until the name box is on screen, and the resident memory
# then, for the game and for a minimal Qt program showing the same box, run
# side by side under Xvfb. Usage: bench/startup.sh BUILD_DIR [RUNS]
set -eu
build=${1:?build directory}
runs=${2:-10}
game="$build/app/cifrelle"
minimal="$build/bench/minimal_inputbox"
. "$(dirname "$0")/xvfb.sh"
start_xvfb 90

# Prints "milliseconds rss_kib" for one launch of the program.
measure() {
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --name '^Impariamo ad approssimare$' >/dev/null 2>&1; do
        kill -0 $pid 2>/dev/null || { echo "program ended early" >&2; exit 1; }
    done
    end=$(date +%s%N)
    sleep 0.3 # let the box settle before reading its memory
    rss=$(awk '/^VmRSS/ {print $2}' /proc/$pid/status)
    kill $pid; wait $pid 2>/dev/null || true
    echo "$(( (end - start) / 1000000 )) $rss"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

: >"$data/game" ; : >"$data/minimal"
n=0
while [ $n -lt "$runs" ]; do
    measure "$minimal" >>"$data/minimal"
    measure "$game" >>"$data/game"
    n=$((n + 1))
done

gt=$(cut -d' ' -f1 "$data/game" | median);  gm=$(cut -d' ' -f2 "$data/game" | median)
mt=$(cut -d' ' -f1 "$data/minimal" | median); mm=$(cut -d' ' -f2 "$data/minimal" | median)
echo "start-up to name box, median of $runs runs under Xvfb:"
printf '  game      %5d ms  %7d KiB resident\n' "$gt" "$gm"
printf '  minimal   %5d ms  %7d KiB resident\n' "$mt" "$mm"
awk -v gt="$gt" -v mt="$mt" -v gm="$gm" -v mm="$mm" \
    'BEGIN { printf "  ratio     %5.2fx time  %5.2fx memory (target: at most 1.20x)\n", gt/mt, gm/mm }'
