#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The teacher's register of a million games: cifrelle-registro opening it
# to a filled grid, against a bare Qt program showing a window of the same
# title over an empty table (registro_bench --bare), in interleaved pairs
# under an Xvfb of its own: the time from launch until the window is mapped
# (the register is read and the grid filled before the window is shown),
# the CPU time until then, and the resident memory 300 ms later; then the
# periods changed in the window (registro_bench --periods, offscreen).
# Usage: bench/registro.sh BUILD_DIR [PAIRS] [LINES]
set -eu
build=${1:?build directory}
pairs=${2:-5}
lines=${3:-1000000}
root=$(cd "$(dirname "$0")/.." && pwd)
program="$build/app/registro/cifrelle-registro"
bench="$build/bench/registro_bench"
probe="$build/bench/startup_probe"
. "$root/testsupport/xdisplay.sh"
work=$(mktemp -d)
cleanup() {
    xvfb_stop
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

register="$work/registro.csv"
"$bench" --write "$register" "$lines"
bytes=$(wc -c <"$register")
title='Registro della classe — Tutte le partite'
xvfb_start 190
unset QT_QPA_PLATFORM

# One launch: "microseconds rss_kib cpu_microseconds".
measure() {
    "$probe" "$title" "$@" 2>/dev/null || { echo "bench/registro.sh: $1 showed no window" >&2; exit 1; }
}
: >"$work/pairs"
n=0
while [ "$n" -lt "$pairs" ]; do
    if [ $((n % 2)) -eq 0 ]; then
        b=$(measure "$bench" --bare)
        r=$(measure "$program" "$register")
    else
        r=$(measure "$program" "$register")
        b=$(measure "$bench" --bare)
    fi
    echo "$r $b" >>"$work/pairs"
    n=$((n + 1))
done

median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
column() { awk -v c="$1" '{print $c}' "$work/pairs" | median; }
# Per pair: the memory beyond the bare program, over the file's size.
beyond=$(awk -v size="$bytes" '{printf "%.4f\n", ($2 - $5) * 1024 / size}' "$work/pairs" | median)
echo "a register of $lines games, $bytes bytes; $pairs interleaved pairs under Xvfb (medians):"
printf '  cifrelle-registro  %7d us to the filled grid  %7d us CPU  %7d KiB resident\n' \
    "$(column 1)" "$(column 3)" "$(column 2)"
printf '  bare Qt program    %7d us to its window       %7d us CPU  %7d KiB resident\n' \
    "$(column 4)" "$(column 6)" "$(column 5)"
printf '  memory beyond the bare program: %.2fx the file'"'"'s size (target: at most 2x);' "$beyond"
printf ' time: %.2f s (target: at most 1.5 s)\n' "$(column 1 | awk '{print $1 / 1e6}')"
QT_QPA_PLATFORM=offscreen "$bench" --periods "$register" 5
