#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The game's start against a bare Qt program showing the same name box
# (minimal_inputbox), under an Xvfb of its own: the time from launch until
# the box is mapped on the display, the resident memory then, and the CPU
# time used until then. The two run in interleaved pairs (which goes first
# alternates), and each figure is the median of the pairs' ratios, so that
# a machine that speeds up or slows down during the run moves both alike.
# Usage: bench/startup.sh BUILD_DIR [PAIRS]
set -eu
build=${1:?build directory}
pairs=${2:-21}
root=$(cd "$(dirname "$0")/.." && pwd)
game="$build/app/cifrelle"
minimal="$build/bench/minimal_inputbox"
probe="$build/bench/startup_probe"
cmake --build "$build" --target cifrelle minimal_inputbox startup_probe >/dev/null
. "$root/testsupport/xdisplay.sh"
# The game's records go to a folder of its own, made anew.
data=$(mktemp -d)
cleanup() {
    xvfb_stop
    rm -rf "$data"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
xvfb_start 190
export XDG_DATA_HOME="$data"
unset QT_QPA_PLATFORM

# One launch of the program: "microseconds rss_kib cpu_microseconds".
measure() {
    "$probe" 'Impariamo ad approssimare' "$1" 2>/dev/null ||
        { echo "bench/startup.sh: $1 showed no name box" >&2; exit 1; }
}

: >"$data/pairs"
n=0
while [ "$n" -lt "$pairs" ]; do
    if [ $((n % 2)) -eq 0 ]; then
        m=$(measure "$minimal")
        g=$(measure "$game")
    else
        g=$(measure "$game")
        m=$(measure "$minimal")
    fi
    echo "$g $m" >>"$data/pairs"
    n=$((n + 1))
done

median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
ratio() { awk -v a="$1" -v b="$2" '{printf "%.4f\n", $a / $b}' "$data/pairs" | median; }
column() { awk -v c="$1" '{print $c}' "$data/pairs" | median; }
echo "start-up to the name box under Xvfb, $pairs interleaved pairs (medians):"
printf '  game      %6d us  %7d KiB resident  %6d us CPU\n' "$(column 1)" "$(column 2)" "$(column 3)"
printf '  minimal   %6d us  %7d KiB resident  %6d us CPU\n' "$(column 4)" "$(column 5)" "$(column 6)"
printf '  ratio      %5.3fx time   %5.3fx memory   %5.3fx CPU (medians of the pair ratios; target: at most 1.01x time and memory)\n' \
    "$(ratio 1 4)" "$(ratio 2 5)" "$(ratio 3 6)"
