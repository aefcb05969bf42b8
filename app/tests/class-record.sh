#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The class record with real accounts: a group, two pupils in it (each with
# a group of her own and the umask 077) and a folder they share (rwxrws---),
# named in a settings file of the test's own. Each game is
# cifrelle-classplayer run as that pupil. Anna makes a record; Bea sees it
# and beats it; Anna sees Bea's. Then, four times, both games end at the
# same moment and the better score must stay. After every game each file
# must be the group's, rw-rw----, and alone in the folder (each pupil reads
# and replaces what the other made). Accounts, group and files go at the
# end, however it ends. Needs root: otherwise it exits 77 (skipped).
# Usage: class-record.sh CLASSPLAYER
set -eu
if [ "$(id -u)" -ne 0 ]; then
    echo "class-record.sh: skipped: making the test's accounts needs root" >&2
    exit 77
fi
group=cfr$$
anna=${group}a
bea=${group}b
work=$(mktemp -d)
cleanup() {
    status=$?
    userdel "$anna" 2>/dev/null || true
    userdel "$bea" 2>/dev/null || true
    groupdel "$group" 2>/dev/null || true
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
fail() {
    printf 'class-record.sh: FAILED: %s\n' "$*" >&2
    exit 1
}

chmod 755 "$work"
install -m 755 "$1" "$work/player"
groupadd "$group"
for user in "$anna" "$bea"; do
    useradd --user-group --groups "$group" --no-create-home --home-dir "$work/home-$user" \
            --shell /usr/sbin/nologin "$user"
    install -d -m 700 -o "$user" -g "$user" "$work/home-$user"
done
folder=$work/classe
install -d -m 2770 -g "$group" "$folder"
printf '[record]\nfolder=%s\n' "$folder" > "$work/cifrelle.conf"

# play USER NAME RIGHT_ANSWERS [GO_FILE]: one game as that pupil, with her
# groups, a home of her own and the umask 077; what it showed in $out.
play() {
    user=$1
    shift
    out=$(env -i HOME="$work/home-$user" PATH=/usr/bin:/bin \
          setpriv --reuid="$user" --regid="$user" --init-groups -- \
          sh -c 'umask 077; exec "$@"' sh "$work/player" "$work/cifrelle.conf" "$@") ||
        fail "the game of $user failed: $out"
    if printf '%s\n' "$out" | grep -q '^box: Il record'; then fail "$user was warned: $out"; fi
}
shows() {
    printf '%s\n' "$out" | grep -qxF -- "$1" || fail "no line '$1' in: $out"
}

# record SCORE NAME: the files hold that record and are as they should be.
record() {
    printf '%s\r\n' "$1" | cmp -s - "$folder/cifrel.txt" || fail "the score is not $1"
    printf '%s\r\n' "$2" | cmp -s - "$folder/ncifrel.txt" || fail "the name is not $2"
    [ "$(ls -A "$folder" | tr '\n' ' ')" = ".cifrel.lock cifrel.txt ncifrel.txt " ] ||
        fail "the folder holds: $(ls -A "$folder")"
    kinds=$(cd "$folder" && stat -c '%n %F %G %a' .cifrel.lock cifrel.txt ncifrel.txt | tr '\n' ' ')
    [ "$kinds" = ".cifrel.lock regular empty file $group 660 cifrel.txt regular file $group 660 \
ncifrel.txt regular file $group 660 " ] || fail "the files are: $kinds"
}

saved='box: Ok ho registrato il tuo record, C A M P I O N E'
play "$anna" Anna 5
shows 'record: |'
shows "$saved"
record 5 Anna
play "$bea" Bea 8
shows 'record: 5\r\n|Anna\r\n'
shows "$saved"
record 8 Bea
play "$anna" Anna 3
shows 'record: 8\r\n|Bea\r\n'
[ "$(printf '%s\n' "$out" | grep -c '^box: ')" -eq 1 ] || fail "a worse game showed more than the greeting"
record 8 Bea

# Both end at the same moment, once both are ready; the better is Anna's
# or Bea's in turn.
for round in 1 2 3 4; do
    rm -f "$work/go"
    (play "$anna" Anna $((8 + 2 * round + round % 2)) "$work/go") 2> "$work/anna" &
    first=$!
    (play "$bea" Bea $((9 + 2 * round - round % 2)) "$work/go") 2> "$work/bea" &
    second=$!
    tries=0
    until [ -s "$work/anna" ] && [ -s "$work/bea" ] || [ "$tries" -gt 3000 ]; do
        tries=$((tries + 1))
        sleep 0.01
    done
    touch "$work/go"
    wait "$first" || fail "round $round: $(cat "$work/anna")"
    wait "$second" || fail "round $round: $(cat "$work/bea")"
    if [ $((round % 2)) -eq 1 ]; then winner=Anna; else winner=Bea; fi
    record $((9 + 2 * round)) "$winner"
done

# The teacher's register, once the school keeps it: the games of both land
# in one file, each line whole, in the order they ended, and the file is
# the folder's group's, rw-rw----, whatever the umask. Four games ending at
# the same moment give four whole lines.
printf '[record]\nfolder=%s\nregister=true\n' "$folder" > "$work/cifrelle.conf"
play "$anna" Anna 1
play "$bea" 'Bea;"B"' 2
rm -f "$work/go"
pids=
for game in 1 2 3 4; do
    if [ $((game % 2)) -eq 1 ]; then user=$anna; else user=$bea; fi
    (play "$user" "G$game" 3 "$work/go") 2> "$work/ready$game" &
    pids="$pids $!"
done
tries=0
until [ -s "$work/ready1" ] && [ -s "$work/ready2" ] && [ -s "$work/ready3" ] &&
    [ -s "$work/ready4" ] || [ "$tries" -gt 3000 ]; do
    tries=$((tries + 1))
    sleep 0.01
done
touch "$work/go"
for pid in $pids; do
    wait "$pid" || fail "a game ending with three others failed"
done
register=$folder/registro.csv
[ "$(stat -c '%G %a' "$register")" = "$group 660" ] ||
    fail "the register is $(stat -c '%G %a' "$register")"
heading='data;ora;nome;esatte;errate;decimi esatte;decimi errate;centesimi esatte;centesimi errate;millesimi esatte;millesimi errate;durata;fine;nuovo record'
[ "$(head -n 1 "$register")" = "$(printf '\357\273\277%s\r' "$heading")" ] ||
    fail "the register does not begin with its heading"
whole='^[0-9]{4}-[0-9]{2}-[0-9]{2};[0-9]{2}:[0-9]{2}:[0-9]{2};("([^"]|"")*"|[^;"]*);[0-9]+;0;[0-9]+;0;[0-9]+;0;[0-9]+;0;00:00:00;Esci;(sì|no)'$(printf '\r')'$'
[ "$(wc -l < "$register")" -eq 7 ] && [ "$(tail -n +2 "$register" | grep -cE "$whole")" -eq 6 ] &&
    [ "$(tail -c 2 "$register" | od -An -tx1 | tr -d ' ')" = 0d0a ] ||
    fail "the register's lines are not seven whole ones: $(cat -A "$register")"
[ "$(cut -d';' -f3 "$register" | sed -n '2p;3p' | tr '\n' ' ')" = 'Anna "Bea ' ] &&
    [ "$(tail -n 4 "$register" | cut -d';' -f3 | sort | tr '\n' ' ')" = 'G1 G2 G3 G4 ' ] ||
    fail "the register's games are not in the order they ended: $(cat -A "$register")"
echo "class-record.sh: the class record and the teacher's register work for two accounts"
