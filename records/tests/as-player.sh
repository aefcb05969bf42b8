#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the record-file failure tests as an ordinary user. Root writes into
# read-only folders and reads unreadable files, so run as root these tests
# would prove nothing: drop to the unprivileged user "nobody" for them, from
# a copy of the test program that this user can run. Skipped tests fail here.
# Usage: as-player.sh TEST_PROGRAM GTEST_FILTER
set -eu
program=$1
filter=$2
if [ "$(id -u)" -eq 0 ]; then
    copy=$(mktemp -d)
    trap 'rm -rf "$copy"' EXIT INT TERM
    cp "$program" "$copy/"
    chmod 755 "$copy"
    run="setpriv --reuid=nobody --regid=nogroup --clear-groups --"
    program="$copy/$(basename "$program")"
else
    run=""
fi
status=0
out=$(cd / && TMPDIR=/tmp $run "$program" --gtest_filter="$filter" 2>&1) || status=$?
printf '%s\n' "$out"
[ "$status" -eq 0 ] || exit "$status"
if printf '%s\n' "$out" | grep -q '^\[  SKIPPED \]'; then
    echo "as-player.sh: tests were skipped" >&2
    exit 1
fi
