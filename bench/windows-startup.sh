#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build under Wine: time from launch until the name box is on
# screen, and the resident memory then, for the game and for a minimal Qt
# program showing the same box, run side by side from the same folder (the
# zip's files) in the same Wine. Also the sizes of what is shipped.
# Usage: bench/windows-startup.sh BUILD_DIR [RUNS]
#   BUILD_DIR  a Windows build (build/windows after scripts/check-windows);
#              the benchmarks are switched on in it
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build directory}" && pwd)
runs=${2:-10}
. "$root/e2e/windows/wine.sh"
. "$root/testsupport/xdisplay.sh"
wine_check
# The minimal program is built with the benchmarks.
cmake -S "$root" -B "$build" -DCIFRELLE_BENCH=ON >/dev/null
cmake --build "$build" --target minimal_inputbox >/dev/null
work=$(mktemp -d)
wine_use "$build/wine"
trap 'wine_stop; xvfb_stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
"$root/scripts/package-windows" --build "$build" --output "$work" >"$work/packages"
(cd "$work" && cmake -E tar xf "$(sed -n 2p packages)")
folder="$work/Cifrelle"
cp "$build/bench/minimal_inputbox.exe" "$folder/"
xvfb_start 80
wine_boot

# Prints "milliseconds rss_kib" for one launch of the Windows program $1,
# with the arguments that follow.
measure() {
    program=$1
    shift
    start=$(date +%s%N)
    # The loader becomes the Windows program's process: its pid is the
    # program's.
    "$WINE_LOADER" "$folder/$program" "$@" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --name '^Impariamo ad approssimare$' >/dev/null 2>&1; do
        kill -0 $pid 2>/dev/null || { echo "$program ended early" >&2; exit 1; }
    done
    end=$(date +%s%N)
    sleep 0.3 # let the box settle before reading its memory
    rss=$(awk '/^VmRSS/ {print $2}' /proc/$pid/status)
    kill $pid; wait $pid 2>/dev/null || true
    while xdotool search --onlyvisible --name '^Impariamo ad approssimare$' >/dev/null 2>&1; do
        sleep 0.05
    done
    # The record folder the game made: every run starts alike.
    rm -rf "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/cifrelle"
    echo "$(( (end - start) / 1000000 )) $rss"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

: >"$work/game"; : >"$work/minimal"; : >"$work/owner"
measure minimal_inputbox.exe >/dev/null # the first start fills Wine's caches
n=0
while [ $n -lt "$runs" ]; do
    measure minimal_inputbox.exe >>"$work/minimal"
    measure cifrelle.exe >>"$work/game"
    measure minimal_inputbox.exe --owner >>"$work/owner"
    n=$((n + 1))
done

gt=$(cut -d' ' -f1 "$work/game" | median);  gm=$(cut -d' ' -f2 "$work/game" | median)
mt=$(cut -d' ' -f1 "$work/minimal" | median); mm=$(cut -d' ' -f2 "$work/minimal" | median)
ot=$(cut -d' ' -f1 "$work/owner" | median); om=$(cut -d' ' -f2 "$work/owner" | median)
echo "start-up to name box under Wine, median of $runs runs:"
printf '  game      %5d ms  %7d KiB resident\n' "$gt" "$gm"
printf '  minimal   %5d ms  %7d KiB resident\n' "$mt" "$mm"
awk -v gt="$gt" -v mt="$mt" -v gm="$gm" -v mm="$mm" \
    'BEGIN { printf "  ratio     %5.2fx time  %5.2fx memory\n", gt/mt, gm/mm }'
# The minimal program whose box has a hidden owner window, as the game's
# has: a second top-level window, for which Wine loads Mesa's OpenGL.
printf '  minimal with an owner window %5d ms  %7d KiB resident\n' "$ot" "$om"
awk -v gt="$gt" -v ot="$ot" -v gm="$gm" -v om="$om" \
    'BEGIN { printf "  game against it  %5.2fx time  %5.2fx memory\n", gt/ot, gm/om }'
kib() { find "$@" -type f -exec stat -c %s {} + | awk '{s += $1} END {printf "%d", s / 1024}'; }
echo "sizes shipped:"
printf '  cifrelle.exe   %6d KiB\n' "$(kib "$folder/cifrelle.exe")"
printf '  Qt libraries   %6d KiB (Core, Gui, Widgets, platform, style)\n' \
    "$(kib "$folder"/Qt6*.dll "$folder/platforms" "$folder/styles")"
printf '  MSI            %6d KiB\n' "$(kib "$work"/*.msi)"
printf '  zip            %6d KiB\n' "$(kib "$work"/*.zip)"
