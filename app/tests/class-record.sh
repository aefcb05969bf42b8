#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The class record with real accounts: a group, two pupils in it (each with
# a group of her own and the umask 077) and a folder they share (rwxrws---),
# named in a settings file of the test's own. Each game is
# cifrelle-classplayer run as that pupil. Anna makes a record; Bea sees it
# and beats it; Anna sees Bea's. Then, four times, both games end at the
# same moment and the better score must stay. Then Bea turns hostile: her
# program holds a read lock on the lock file for good, and Anna, with a
# better score, leaves by the way out ("Esci senza salvare") within 15 s of
# pressing "Esci", the record as it was; once Bea lets go, Anna's next game
# saves. Last, the setting names a link to the folder, and the link is
# turned to another folder during a game: the record lands in the folder
# the game checked at start. After every game each file must be the
# group's, rw-rw----, and alone in the folder (each pupil reads and replaces
# what the other made). Accounts, group and files go at the end, however it
# ends. Needs root: otherwise it exits 77 (skipped).
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
hostile=
cleanup() {
    status=$?
    if [ -n "$hostile" ]; then kill "$hostile" 2>/dev/null || true; fi
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
# ready FILE...: waits, 30 s at most, until every file has something in it
# (a game says "ready" on its standard error once it waits for GO_FILE).
ready() {
    tries=0
    for file in "$@"; do
        until [ -s "$file" ] || [ "$tries" -gt 3000 ]; do
            tries=$((tries + 1))
            sleep 0.01
        done
    done
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
conf=$work/cifrelle.conf

# as USER COMMAND...: the command as that pupil, with her groups, in place
# of the (sub)shell that calls it.
as() {
    pupil=$1
    shift
    exec env -i HOME="$work/home-$pupil" PATH=/usr/bin:/bin \
        setpriv --reuid="$pupil" --regid="$pupil" --init-groups -- "$@"
}

# play [--leave] USER NAME RIGHT_ANSWERS [GO_FILE]: one game as that pupil,
# with a home of her own and the umask 077, on the settings file $conf;
# what it showed in $out. With --leave she takes the way out of a wait for
# the lock as soon as it is offered (and is told why nothing was saved).
play() {
    leave=
    if [ "$1" = --leave ]; then leave=$1; shift; fi
    player=$1
    shift
    out=$(as "$player" sh -c 'umask 077; exec "$@"' sh "$work/player" ${leave:+"$leave"} \
          "$conf" "$@") || fail "the game of $player failed: $out"
    if [ -z "$leave" ] && printf '%s\n' "$out" | grep -q '^box: Il record'; then
        fail "$player was warned: $out"
    fi
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
    ready "$work/anna" "$work/bea"
    touch "$work/go"
    wait "$first" || fail "round $round: $(cat "$work/anna")"
    wait "$second" || fail "round $round: $(cat "$work/bea")"
    if [ $((round % 2)) -eq 1 ]; then winner=Anna; else winner=Bea; fi
    record $((9 + 2 * round)) "$winner"
done

# Bea's program holds a read lock on the lock file for good, as any account
# that may read it can.
as "$bea" python3 -c 'import fcntl, os, sys, time
fd = os.open(sys.argv[1], os.O_RDONLY)
fcntl.lockf(fd, fcntl.LOCK_SH)
print("held", flush=True)
time.sleep(1e9)' "$folder/.cifrel.lock" > "$work/held" &
hostile=$!
ready "$work/held"
[ -s "$work/held" ] || fail "Bea's program did not take the lock"
play --leave "$anna" Anna 30
shows "box: Il record non è stato salvato: il file «$folder/.cifrel.lock» era occupato da \
un'altra partita o da un altro programma, e hai scelto di uscire senza aspettare."
[ "$(printf '%s\n' "$out" | grep -c '^box: ')" -eq 2 ] || fail "more than one box at the end: $out"
left=$(printf '%s\n' "$out" | sed -n 's/^ended after: \([0-9]*\) ms$/\1/p')
[ -n "$left" ] && [ "$left" -ge 11000 ] && [ "$left" -lt 15000 ] ||
    fail "Anna left ${left:-?} ms after Esci, not within 11 to 15 s"
record 17 Bea
kill "$hostile"
wait "$hostile" || true
hostile=
play "$anna" Anna 30
shows "$saved"
record 30 Anna
echo "class-record.sh: a lock held for good by Bea: Anna left without saving $left ms after Esci"

# The setting names a link to the folder; during a game an administrator
# turns it to another folder. The game saves where it checked at start.
other=$work/altra
install -d -m 2770 -g "$group" "$other"
ln -s "$folder" "$work/classe-link"
printf '[record]\nfolder=%s\n' "$work/classe-link" > "$work/link.conf"
conf=$work/link.conf
rm -f "$work/go" "$work/anna"
(play "$anna" Anna 31 "$work/go") 2> "$work/anna" &
first=$!
ready "$work/anna"
ln -s "$other" "$work/classe-link.new"
mv -T "$work/classe-link.new" "$work/classe-link"
touch "$work/go"
wait "$first" || fail "the game through the link: $(cat "$work/anna")"
[ "$(readlink "$work/classe-link")" = "$other" ] || fail "the link was not turned"
record 31 Anna
[ -z "$(ls -A "$other")" ] || fail "the other folder holds: $(ls -A "$other")"

# The teacher's register, once the school keeps it: the games of both land
# in one file, each line whole, in the order they ended, and the file is
# the folder's group's, rw-rw----, whatever the umask. Four games ending at
# the same moment give four whole lines.
printf '[record]\nfolder=%s\nregister=true\n' "$folder" > "$work/cifrelle.conf"
conf=$work/cifrelle.conf
play "$anna" Anna 1
play "$bea" 'Bea;"B"' 2
rm -f "$work/go"
pids=
for game in 1 2 3 4; do
    if [ $((game % 2)) -eq 1 ]; then user=$anna; else user=$bea; fi
    (play "$user" "G$game" 3 "$work/go") 2> "$work/ready$game" &
    pids="$pids $!"
done
ready "$work/ready1" "$work/ready2" "$work/ready3" "$work/ready4"
touch "$work/go"
for pid in $pids; do
    wait "$pid" || fail "a game ending with three others failed"
done
register=$folder/registro.csv
[ "$(stat -c '%G %a' "$register")" = "$group 660" ] ||
    fail "the register is $(stat -c '%G %a' "$register")"
heading=$("$1" --print-register-heading)
[ "$(head -n 1 "$register")" = "$(printf '\357\273\277%s\r' "$heading")" ] ||
    fail "the register does not begin with its heading"
whole='^[0-9]{4}-[0-9]{2}-[0-9]{2};[0-9]{2}:[0-9]{2}:[0-9]{2};("([^"]|"")*"|[^;"]*);[0-9]+;0;[0-9]+;0;[0-9]+;0;[0-9]+;0;00:00:00;Esci;(sì|no)(;[^;]*)*'$(printf '\r')'$'
[ "$(wc -l < "$register")" -eq 7 ] && [ "$(tail -n +2 "$register" | grep -cE "$whole")" -eq 6 ] &&
    [ "$(tail -c 2 "$register" | od -An -tx1 | tr -d ' ')" = 0d0a ] ||
    fail "the register's lines are not seven whole ones: $(cat -A "$register")"
[ "$(cut -d';' -f3 "$register" | sed -n '2p;3p' | tr '\n' ' ')" = 'Anna "Bea ' ] &&
    [ "$(tail -n 4 "$register" | cut -d';' -f3 | sort | tr '\n' ' ')" = 'G1 G2 G3 G4 ' ] ||
    fail "the register's games are not in the order they ended: $(cat -A "$register")"

# Each line of the register names the account that played and the
# computer, whatever name was typed: here Bea types Anna's name.
play "$bea" Anna 1
computer=$(hostname)
tail -n +2 "$register" | tr -d '\r' | awk -F';' -v anna="$anna" -v bea="$bea" -v computer="$computer" '
    { expected = ($3 == "G1" || $3 == "G3" || NR == 1) ? anna : bea }
    $(NF - 1) != expected || $NF != computer {
        print "class-record.sh: FAILED: line " NR + 1 " names " $(NF - 1) " on " $NF ", not " \
              expected " on " computer > "/dev/stderr"
        bad = 1
    }
    END { exit bad || NR != 7 }' || fail "the register: $(cat -A "$register")"
echo "class-record.sh: the class record and the teacher's register work for two accounts," \
     "each game's line names the account that played it"
