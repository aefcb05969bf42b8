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
# turned to another folder during a game: nothing is written, in either
# folder, and Anna is told why. After every game each file must be the
# group's, rw-rw----, and alone in the folder (each pupil reads and replaces
# what the other made). Then the shared folder's holes (see "A classmate's
# flood" below on): a flood of passing names, games killed at each step, a
# lock file made unusable, the folder moved by an administrator, a damaged
# record. With KEEPER (the keeper's test build), the guarded class folder
# too (see guarded_class below): a teacher and the same two pupils, the
# folder written by the keeper alone, the register read by the teacher's
# view (REGISTRO) for the teacher alone. Accounts, groups and files go at
# the end, however it ends. Needs root: otherwise it exits 77 (skipped).
# Usage: class-record.sh CLASSPLAYER [KEEPER [REGISTRO]]
set -eu
if [ "$(id -u)" -ne 0 ]; then
    echo "class-record.sh: skipped: making the test's accounts needs root" >&2
    exit 77
fi
group=cfr$$
anna=${group}a
bea=${group}b
teacher=${group}t # the guarded folder's teacher, in the keeper's group
keepers=${group}k
work=$(mktemp -d)
hostile=
cleanup() {
    status=$?
    if [ -n "$hostile" ]; then kill "$hostile" 2>/dev/null || true; fi
    userdel "$anna" 2>/dev/null || true
    userdel "$bea" 2>/dev/null || true
    userdel "$teacher" 2>/dev/null || true
    groupdel "$group" 2>/dev/null || true
    groupdel "$keepers" 2>/dev/null || true
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
# told [--killed-at-step N] USER NAME RIGHT_ANSWERS [GO_FILE]: one game as
# play plays it, where a warning is no failure; what it showed in $out.
# With --killed-at-step the game kills itself just
# before that step of the record layer: no failure either, and its status
# in $status (0 when it took every step).
told() {
    status=0
    if [ "$1" = --killed-at-step ]; then
        # (The shell's word of the kill goes nowhere.)
        out=$(exec 2> /dev/null
              (as "$3" sh -c 'umask 077; exec "$@"' sh "$work/player" "$1" "$2" "$conf" "$4" "$5")
              exit) || status=$?
        return 0
    fi
    player=$1
    shift
    out=$(as "$player" sh -c 'umask 077; exec "$@"' sh "$work/player" "$conf" "$@") ||
        fail "the game of $player failed: $out"
}
# took WHAT: how long the start ("started") or the end ("ended") of the last
# game told took, in milliseconds.
took() {
    printf '%s\n' "$out" | sed -n "s/^$1 after: \([0-9]*\) ms\$/\1/p"
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
# turns it to another folder. The game writes nothing, in the folder it
# checked at start nor in the new one, and says so.
other=$work/altra
install -d -m 2770 -g "$group" "$other"
ln -s "$folder" "$work/classe-link"
printf '[record]\nfolder=%s\n' "$work/classe-link" > "$work/link.conf"
conf=$work/link.conf
rm -f "$work/go" "$work/anna"
(told "$anna" Anna 31 "$work/go"; printf '%s\n' "$out" > "$work/out") 2> "$work/anna" &
first=$!
ready "$work/anna"
ln -s "$other" "$work/classe-link.new"
mv -T "$work/classe-link.new" "$work/classe-link"
touch "$work/go"
wait "$first" || fail "the game through the link: $(cat "$work/anna")"
[ "$(readlink "$work/classe-link")" = "$other" ] || fail "the link was not turned"
out=$(cat "$work/out")
shows "box: Il record non è stato salvato: la cartella «$work/classe-link» è stata sostituita \
durante la partita: il record è rimasto nella cartella di prima."
record 30 Anna
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

# --- A classmate's flood, killed games, an unusable lock file, a moved
# folder, a damaged record. Each section has a class folder of its own.

# class_folder NAME [MODE]: a new class folder $work/NAME (rwxrws--- unless
# MODE says otherwise) in $folder, named in the settings file $conf.
class_folder() {
    folder=$work/$1
    install -d -m "${2:-2770}" -g "$group" "$folder"
    printf '[record]\nfolder=%s\n' "$folder" > "$work/$1.conf"
    conf=$work/$1.conf
}

# plant COUNT MODE: COUNT names like the game's passing files in $folder,
# made by Bea with the permissions MODE: names of a few files (a file takes
# 65,000 names at most), which are made ten times faster than files and
# cost the game the same.
plant() {
    (as "$bea" python3 -c 'import os, random, string, sys
letters = string.ascii_letters + string.digits
targets = ("cifrel.txt", "ncifrel.txt", ".cifrel.lock", "registro.csv")
count, mode = int(sys.argv[2]), int(sys.argv[3], 8)
os.chdir(sys.argv[1])
made = 0
while made < count:
    name = random.choice(targets) + ".tmp-" + "".join(random.choices(letters, k=6))
    try:
        if made % 60000 == 0:
            fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)
            os.fchmod(fd, mode)
            os.close(fd)
            first = name
        else:
            os.link(first, name)
    except FileExistsError:
        continue
    made += 1' "$folder" "$1" "$2")
}

# passing [MODE]: how many passing names $folder holds (with MODE, only
# those files with these permissions).
passing() {
    find "$folder" -maxdepth 1 -name '*.tmp-*' ${1:+-perm "$1"} | wc -l
}

# A flood of passing names: CIFRELLE_FLOOD (200,000 unless set) that any
# game may remove (rw-rw----) and as many that no other account may open
# (rw-------), made by Bea. Anna's start and end take less than 0.5 s more
# than in a folder without them, and clear a part of the first (the second
# go once they are a minute old).
flooded() {
    flood=${CIFRELLE_FLOOD:-200000}
    class_folder flood
    play "$anna" Anna 1
    play "$anna" Anna 2
    start=$(took started)
    end=$(took ended)
    plant "$flood" 660
    plant "$flood" 600
    play "$anna" Anna 3
    shows "$saved"
    left=$(passing 660)
    [ "$left" -lt "$flood" ] || fail "no passing name was cleared"
    [ $(($(took started) - start)) -lt 500 ] && [ $(($(took ended) - end)) -lt 500 ] ||
        fail "a flood of passing names: start $(took started) ms against $start, end \
$(took ended) ms against $end"
    echo "class-record.sh: $flood passing names to clear and $flood closed ones: start \
$(took started) ms (empty folder $start ms), end $(took ended) ms (empty folder $end ms); \
$((flood - left)) and $((flood - $(passing 600))) cleared"
}

# whole_record: $folder holds the lock file and a whole record (none yet, or
# 9 by Anna), each the group's, rw-rw----, and nothing else.
whole_record() {
    [ "$(ls -A "$folder" | tr '\n' ' ')" = ".cifrel.lock cifrel.txt ncifrel.txt " ] ||
        fail "$1: the folder holds: $(ls -A "$folder")"
    [ -z "$(find "$folder" -type f ! -perm 660)$(find "$folder" -type f ! -group "$group")" ] ||
        fail "$1: not every file is the group's, rw-rw----: $(ls -lA "$folder")"
    pair=$(cat "$folder/cifrel.txt" "$folder/ncifrel.txt")
    [ -z "$pair" ] || [ "$pair" = "$(printf '9\r\nAnna\r\n')" ] ||
        fail "$1: the record is not whole: $(cat -A "$folder/cifrel.txt" "$folder/ncifrel.txt")"
}

# Anna's game killed just before each step it takes in the folder in turn,
# from a new folder to a saved record: no kill leaves a file closed to Bea
# (rw-------), and Bea's next game leaves a whole record and nothing else.
# Then a passing file no other account may open: one that is a minute old
# is cleared by Bea's game, a new one stays.
killed() {
    step=1
    while :; do
        [ "$step" -lt 100 ] || fail "Anna's game never took its last step"
        rm -rf "$work/killed"
        class_folder killed
        told --killed-at-step "$step" "$anna" Anna 9
        [ -z "$(find "$folder" -type f -perm 600)" ] ||
            fail "Anna killed before step $step left a file closed to the others: $(ls -lA "$folder")"
        [ "$status" -eq 0 ] && break
        [ "$status" -eq 137 ] || fail "Anna's game killed before step $step ended with $status: $out"
        told "$bea" Bea 0
        whole_record "Anna killed before step $step"
        step=$((step + 1))
    done
    whole_record "Anna's game not killed"
    (as "$bea" sh -c 'cd "$1" && umask 077 && touch cifrel.txt.tmp-Young1 cifrel.txt.tmp-Older1 &&
        touch -d "2 minutes ago" cifrel.txt.tmp-Older1' sh "$folder")
    told "$anna" Anna 1
    [ -e "$folder/cifrel.txt.tmp-Young1" ] && [ ! -e "$folder/cifrel.txt.tmp-Older1" ] ||
        fail "the closed passing files: $(ls -A "$folder")"
    echo "class-record.sh: Anna's game killed before each of its $((step - 1)) steps left nothing Bea could not clear"
}

# A lock file Bea made unusable for Anna: one she made anew and closed to
# the others, one with an access list that denies Anna, one Bea's program
# holds a lease on. Anna's game replaces each and saves; in a folder with
# the sticky bit, where it cannot, the warning names the file to remove,
# never a system error.
lock_file() {
    class_folder lock
    play "$anna" Anna 1
    (as "$bea" sh -c 'cd "$1" && rm .cifrel.lock && touch .cifrel.lock && chmod 600 .cifrel.lock' \
        sh "$folder")
    play "$anna" Anna 2
    shows "$saved"
    record 2 Anna
    (as "$bea" python3 -c 'import os, struct, sys
os.chdir(sys.argv[1])
os.rename(".cifrel.lock", "old")
os.close(os.open(".cifrel.lock", os.O_CREAT | os.O_EXCL, 0o660))
entry = lambda tag, perm, who=0xFFFFFFFF: struct.pack("<HHI", tag, perm, who)
os.setxattr(".cifrel.lock", "system.posix_acl_access", struct.pack("<I", 2) + entry(1, 6)
            + entry(2, 0, int(sys.argv[2])) + entry(4, 6) + entry(0x10, 6) + entry(0x20, 0))
os.unlink("old")' "$folder" "$(id -u "$anna")")
    [ "$(stat -c %U "$folder/.cifrel.lock")" = "$bea" ] && ! as_can_read "$anna" ||
        fail "Bea's access list does not deny Anna"
    play "$anna" Anna 3
    shows "$saved"
    record 3 Anna
    rm -f "$work/held"
    (as "$bea" python3 -c 'import fcntl, os, signal, sys, time
signal.signal(signal.SIGIO, signal.SIG_IGN)
os.chdir(sys.argv[1])
os.rename(".cifrel.lock", "old")
fd = os.open(".cifrel.lock", os.O_RDWR | os.O_CREAT | os.O_EXCL, 0o660)
os.fchmod(fd, 0o660)
os.unlink("old")
fcntl.fcntl(fd, 1024, fcntl.F_WRLCK)  # F_SETLEASE: the others may not open it
print("held", flush=True)
time.sleep(1e9)' "$folder" > "$work/held") &
    hostile=$!
    ready "$work/held"
    [ -s "$work/held" ] || fail "Bea's program took no lease"
    play "$anna" Anna 4
    shows "$saved"
    record 4 Anna
    kill "$hostile"
    wait "$hostile" || true
    hostile=

    class_folder sticky 3770
    (as "$bea" sh -c 'cd "$1" && touch .cifrel.lock && chmod 600 .cifrel.lock' sh "$folder")
    told "$anna" Anna 1
    shows "box: Il record non potrà essere conservato: «$folder/.cifrel.lock» è un file che il \
gioco non può usare: va tolto dalla cartella. Puoi giocare lo stesso."
    shows "box: Il record non è stato salvato: «$folder/.cifrel.lock» è un file che il gioco non \
può usare: va tolto dalla cartella."
    ! printf '%s\n' "$out" | grep -q 'errore di sistema\|permesso negato' || fail "$out"
    echo "class-record.sh: lock files made unusable by Bea: replaced thrice, named once"
}
# as_can_read USER: whether that pupil may open the lock file of $folder.
as_can_read() {
    (as "$1" sh -c 'exec 3< "$1"' sh "$folder/.cifrel.lock") 2> /dev/null
}

# The folder moved by an administrator during Anna's game: replaced by a new
# one of the same name, then deleted and made again. Nothing is written, in
# either folder, and Anna is told what happened, never that a save was made
# nor that a file does not exist.
moved() {
    class_folder moved
    play "$anna" Anna 2
    for change in replaced deleted; do
        rm -f "$work/go" "$work/anna"
        (told "$anna" Anna 7 "$work/go"; printf '%s\n' "$out" > "$work/out") 2> "$work/anna" &
        first=$!
        ready "$work/anna"
        if [ "$change" = replaced ]; then
            mv "$folder" "$work/moved-before"
        else
            rm -rf "$folder"
        fi
        install -d -m 2770 -g "$group" "$folder"
        touch "$work/go"
        wait "$first" || fail "the game in a folder $change: $(cat "$work/anna")"
        out=$(cat "$work/out")
        if [ "$change" = replaced ]; then
            shows "box: Il record non è stato salvato: la cartella «$folder» è stata sostituita \
durante la partita: il record è rimasto nella cartella di prima."
            [ "$(cat "$work/moved-before/cifrel.txt" "$work/moved-before/ncifrel.txt")" = \
              "$(printf '2\r\nAnna\r\n')" ] || fail "the folder before does not hold 2 by Anna"
        else
            shows "box: Il record non è stato salvato: la cartella «$folder» è stata cancellata \
durante la partita."
        fi
        ! printf '%s\n' "$out" | grep -q "non esiste\|$saved" || fail "$out"
        [ -z "$(ls -A "$folder")" ] || fail "the new folder holds: $(ls -A "$folder")"
    done
    echo "class-record.sh: the folder replaced, and deleted and made again, during a game: told"
}

# A damaged record: a score file of 1 GB, its first 70,000 bytes digits,
# without a line break. It shows no record, and Anna's game with one right
# answer replaces it.
damaged() {
    class_folder damaged
    (as "$bea" sh -c 'cd "$1" && head -c 70000 /dev/zero | tr "\0" 9 > cifrel.txt &&
        truncate -s 1G cifrel.txt && printf "Bea\r\n" > ncifrel.txt && chmod 660 cifrel.txt ncifrel.txt' \
        sh "$folder")
    play "$anna" Anna 1
    shows 'record: |'
    shows "$saved"
    record 1 Anna
    echo "class-record.sh: a 1 GB score file of digits: no record shown, replaced by a score of 1"
}

flooded
killed
lock_file
moved
damaged

# --- The guarded class folder ------------------------------------------------
# The class folder is root:$keepers 2770 and named with guarded=true; the
# keeper's test build is installed 2755 root:$keepers in the test's folder
# and the games ask it (cifrelle-classplayer --keeper). The teacher is in
# $keepers, the pupils are not; every account's umask is 077.

# gplay USER NAME RIGHT_ANSWERS [GO_FILE]: one game as that account through
# the keeper; what it showed in $out.
gplay() {
    player=$1
    shift
    out=$(as "$player" sh -c 'umask 077; exec "$@"' sh "$work/player" --keeper "$keeper" \
          "$gconf" "$@") || fail "the guarded game of $player failed: $out"
    if printf '%s\n' "$out" | grep -q '^box: Il record'; then fail "$player was warned: $out"; fi
}
# field KEY VALUE, request NAME RIGHT [SECONDS [WRONG]]: the end of a game
# as the game asks it of the keeper, no wrong answer of any kind (ASCII
# values: their length is their bytes').
field() { printf '%s %d\n%s\n' "$1" "${#2}" "$2"; }
request() {
    field ask end; field name "$1"; field right "$2"; field wrong "${4:-0}"
    field right-by-level "$2 0 0"; field wrong-by-level '0 0 0'
    field wrong-by-kind '0 0 0 0 0 0 0'; field seconds "${3:-60}"; field ending exit
    field save-record yes
}
# ask USER [SHELL_SETUP] < REQUEST: the keeper run by hand as that account,
# after SHELL_SETUP (ulimit, closed descriptors); its answer in $answer,
# its exit status in $status.
ask() {
    status=0
    answer=$(as "$1" sh -c "umask 077; ${2:-} exec \"\$0\" \"\$1\"" "$keeper" "$gconf") ||
        status=$?
}
# gwhole: the guarded folder holds the record files, the lock and the
# register and nothing else, each rw-rw---- in $keepers, the record files
# one line each, every line of the register whole. In Python ($gcheck's
# whole()), which the loop of kills below runs after each kill.
gcheck='import grp, os, re, sys
folder, group, line = sys.argv[1], grp.getgrnam(sys.argv[2]).gr_gid, re.compile(sys.argv[3])
def check(ok, what):
    if not ok:
        sys.exit("class-record.sh: FAILED: " + what)
def read(name):
    with open(os.path.join(folder, name), "rb") as file:
        return file.read()
def whole(when=""):
    names = sorted(os.listdir(folder))
    check(names == [".cifrel.lock", "cifrel.txt", "ncifrel.txt", "registro.csv"],
          f"{when}the guarded folder holds: {names}")
    for name in names:
        st = os.lstat(os.path.join(folder, name))
        check(st.st_gid == group and st.st_mode == 0o100660, f"{when}{name} is {st.st_gid} {st.st_mode:o}")
    name = read("ncifrel.txt")
    check(re.fullmatch(rb"[0-9]+\r\n", read("cifrel.txt")) and name.endswith(b"\r\n") and
          name.count(b"\n") == 1, f"{when}the record files are not one line each")
    register = read("registro.csv")
    check(register.endswith(b"\r\n") and
          all(line.fullmatch(row) for row in register.decode().split("\n")[1:-1]),
          f"{when}a line of the register is not whole: {register}")
'
gwhole() { python3 -c "$gcheck
whole()" "$gfolder" "$keepers" "$gline"; }
# gsnapshot: the guarded folder's files, to see that nothing changed.
gsnapshot() { (cd "$gfolder" && cat cifrel.txt ncifrel.txt registro.csv | md5sum); }
cannot() {
    what=$1
    shift
    if (as "$anna" "$@") >/dev/null 2>&1; then fail "a pupil could $what"; fi
}

guarded_class() {
    cr=$(printf '\r')
    gline='^[0-9]{4}-[0-9]{2}-[0-9]{2};[0-9]{2}:[0-9]{2}:[0-9]{2};("([^"]|"")*"|[^;"]*)(;[0-9]+){8};[0-9]{2}:[0-9]{2}:[0-9]{2};(Esci|tempo scaduto|finestra chiusa|sessione chiusa);(sì|no)(;[0-9]+){7};'"$group"'[ab];[^;]*'"$cr"'$'
    groupadd "$keepers"
    useradd --user-group --groups "$keepers" --no-create-home --home-dir "$work/home-$teacher" \
            --shell /usr/sbin/nologin "$teacher"
    install -d -m 700 -o "$teacher" -g "$teacher" "$work/home-$teacher"
    install -d -m 755 "$work/keeper"
    keeper=$work/keeper/cifrelle-classe
    install -m 2755 -o root -g "$keepers" "$1" "$keeper"
    ! findmnt -no OPTIONS -T "$keeper" | grep -qw nosuid || fail "$work is on a nosuid file system"
    gfolder=$work/guarded
    install -d -m 2770 -o root -g "$keepers" "$gfolder"
    gconf=$work/guarded.conf
    printf '[record]\nfolder=%s\nregister=true\nguarded=true\n' "$gfolder" > "$gconf"
    chmod 644 "$gconf"

    # The teacher's program holds the lock of a second guarded folder for
    # good: Anna's better game there waits for the keeper, leaves by the way
    # out ("Esci senza salvare") as without a keeper, and her keeper gives
    # up, having written nothing. Her wait goes on beside what follows, up
    # to "The end of the wait".
    hfolder=$work/guarded-held
    install -d -m 2770 -o root -g "$keepers" "$hfolder"
    hconf=$work/guarded-held.conf
    printf '[record]\nfolder=%s\nregister=true\nguarded=true\n' "$hfolder" > "$hconf"
    chmod 644 "$hconf"
    rm -f "$work/hgo"
    (out=$(as "$anna" "$work/player" --leave --keeper "$keeper" "$hconf" Anna 30 "$work/hgo") ||
         out="$out
the game failed"
     sleep 0.1
     if pgrep -u "$anna" -f "cifrelle-classe $hconf" > /dev/null; then out="$out
the keeper stayed"; fi
     printf '%s\n' "$out" > "$work/hout") 2> "$work/hready" &
    held=$!
    ready "$work/hready"
    as "$teacher" python3 -c 'import fcntl, sys, time
held = open(sys.argv[1])
fcntl.lockf(held, fcntl.LOCK_SH)
print("held", flush=True)
time.sleep(1e9)' "$hfolder/.cifrel.lock" > "$work/gheld" &
    hostile=$!
    ready "$work/gheld"
    touch "$work/hgo"

    # Both pupils show, beat and save the class record through the keeper;
    # the teacher reads every line, naming the accounts that played.
    gplay "$anna" Anna 5
    shows 'record: |'
    shows "$saved"
    gplay "$bea" Bea 8
    shows 'record: 5\r\n|Anna\r\n'
    shows "$saved"
    gplay "$anna" Anna 3
    shows 'record: 8\r\n|Bea\r\n'
    [ "$(as "$teacher" cat "$gfolder/cifrel.txt" "$gfolder/ncifrel.txt")" = "8${cr}
Bea${cr}" ] || fail "the teacher does not read the record 8, Bea"
    utente=$("$work/player" --print-register-heading | tr ';' '\n' | grep -nx utente | cut -d: -f1)
    lines=$(as "$teacher" cat "$gfolder/registro.csv" | tail -n +2 | cut -d';' -f3,"$utente" | tr '\n' ' ')
    [ "$lines" = "Anna;$anna Bea;$bea Anna;$anna " ] ||
        fail "the teacher's register names: $lines"
    gwhole

    # The teacher's view: the teacher's grid holds both pupils; a pupil is
    # told that the register is the teacher's alone.
    if [ -n "${2:-}" ]; then
        install -m 755 "$2" "$work/registro"
        grid=$work/home-$teacher/classe.csv
        (as "$teacher" "$work/registro" --csv "$grid" "$gfolder/registro.csv") ||
            fail "the teacher's view did not read the register as the teacher"
        [ "$(sed -n '2,3p' "$grid" | cut -d';' -f1,2 | tr -d "$cr" | tr '\n' ' ')" = "Anna;2 Bea;1 " ] ||
            fail "the teacher's grid: $(cat "$grid")"
        denied=0
        out=$(as "$anna" "$work/registro" --csv /dev/null "$gfolder/registro.csv" 2>&1) || denied=$?
        [ "$denied" -eq 1 ] && printf '%s\n' "$out" | grep -q "leggibile solo dall'insegnante" ||
            fail "a pupil opening the teacher's view got status $denied: $out"
    fi

    # Nothing of the folder is in the pupils' hands.
    cannot "list the folder" ls "$gfolder"
    cannot "read the register" cat "$gfolder/registro.csv"
    cannot "read the record" cat "$gfolder/ncifrel.txt"
    cannot "change the register" sh -c ": >> '$gfolder/registro.csv'"
    cannot "empty the record" sh -c ": > '$gfolder/cifrel.txt'"
    cannot "delete the record" rm -f "$gfolder/cifrel.txt"
    cannot "plant a file" touch "$gfolder/cifrel.txt.new"
    cannot "plant a link" ln -s /dev/null "$gfolder/x"
    cannot "hold the lock" python3 -c 'import fcntl, sys
fcntl.lockf(open(sys.argv[1]), fcntl.LOCK_SH)' "$gfolder/.cifrel.lock"
    gwhole

    # Four games ending at the same moment: the best stays, four whole lines.
    rm -f "$work/go"
    pids=
    for game in 1 2 3 4; do
        if [ $((game % 2)) -eq 1 ]; then user=$anna name=Anna; else user=$bea name=Bea; fi
        (gplay "$user" "$name" $((20 + game * 3 % 4)) "$work/go") 2> "$work/gready$game" &
        pids="$pids $!"
    done
    ready "$work/gready1" "$work/gready2" "$work/gready3" "$work/gready4"
    touch "$work/go"
    for pid in $pids; do wait "$pid" || fail "a guarded game ending with three others failed"; done
    [ "$(cat "$gfolder/cifrel.txt" "$gfolder/ncifrel.txt" | tr -d "$cr" | tr '\n' ' ')" = "23 Anna " ] ||
        fail "four games ending together kept: $(cat "$gfolder/cifrel.txt" "$gfolder/ncifrel.txt")"
    [ "$(wc -l < "$gfolder/registro.csv")" -eq 8 ] || fail "not four more lines: $(cat -A "$gfolder/registro.csv")"
    gwhole

    # The keeper under attack, run by hand by a pupil: what is not a
    # request of the game is refused, and changes nothing.
    before=$(gsnapshot)
    { field folder /tmp; request Anna 99; } > "$work/req-folder"
    request Anna 99 | sed 's/^right 2$/right 5/; s/^99$/99999/' > "$work/req-counts"
    request Anna 99 60 3 > "$work/req-kinds"
    request "$(head -c 32768 /dev/zero | tr '\0' a)" 99 > "$work/req-long"
    head -c 4096 /dev/urandom > "$work/req-garbage"
    { request Anna 99; field account "$teacher"; } > "$work/req-account"
    for attack in folder counts kinds long garbage account; do
        ask "$anna" < "$work/req-$attack"
        [ "$status" -eq 2 ] && printf '%s\n' "$answer" | grep -qx refused ||
            fail "the keeper did not refuse the $attack request ($status): $answer"
    done
    [ "$(gsnapshot)" = "$before" ] || fail "a refused request changed the class's files"
    # A settings file of the pupil's own is not the administrator's (only
    # the keeper's test build is told one).
    own=$work/home-$anna/own.conf
    (as "$anna" sh -c 'printf "[record]\nfolder=%s\nguarded=true\n" "$0" > "$1"' "$work" "$own")
    answer=$(request Anna 99 | as "$anna" "$keeper" "$own") || true
    printf '%s\n' "$answer" | grep -q "non è al sicuro" && [ "$(gsnapshot)" = "$before" ] ||
        fail "the keeper took a pupil's settings file: $answer"
    # What the caller can set up: closed descriptors, a one-block file size
    # limit, few open files. Refused or harmless: the files stay whole.
    request Anna 24 > "$work/req-better"
    ask "$anna" 'exec 0<&-;' < "$work/req-better"
    [ "$status" -eq 2 ] && [ "$(gsnapshot)" = "$before" ] || fail "a closed input was not refused"
    ask "$anna" 'exec 1>&- 2>&-;' < "$work/req-better"
    gwhole
    [ "$(tr -d "$cr" < "$gfolder/cifrel.txt")" = 24 ] || fail "a closed output stopped the save"
    before=$(gsnapshot)
    ask "$anna" 'ulimit -f 1;' < "$work/req-better"
    [ "$(gsnapshot)" = "$before" ] && printf '%s\n' "$answer" | grep -q 'registro dell.insegnante' ||
        fail "ulimit -f 1 was not harmless: $answer"
    request Anna 25 > "$work/req-better"
    ask "$anna" 'ulimit -n 4;' < "$work/req-better"
    gwhole
    # Killed at each step of a save (as a pupil may kill the keeper she
    # started): after the next start the record is the old one or the new
    # one, whole, and every line of the register is whole.
    step=1
    while [ "$step" -le 80 ]; do
        request "K$step" $((100 + step)) > "$work/req-kill$step"
        step=$((step + 1))
    done
    field ask record > "$work/req-read"
    step=$(python3 -c "$gcheck"'
import pwd, subprocess
keeper, conf, work, anna, bea = sys.argv[4:9]
def ask(user, request, *more):
    account = pwd.getpwnam(user)
    with open(request, "rb") as bytes:
        return subprocess.run([keeper, conf, *more], stdin=bytes, capture_output=True, env={},
                              user=account.pw_uid, group=account.pw_gid, umask=0o077,
                              extra_groups=os.getgrouplist(user, account.pw_gid)).returncode
for step in range(1, 81):
    killed = ask(anna, f"{work}/req-kill{step}", str(step))
    ask(bea, f"{work}/req-read")
    score, name = int(read("cifrel.txt")), read("ncifrel.txt").decode().strip()
    check(score <= 100 and name == "Anna" or name == f"K{score - 100}",
          f"killed at step {step} the record is {score}, {name}")
    whole(f"killed at step {step}: ")
    if killed == 0:
        check(score == 100 + step, f"the save not killed did not save ({score}, step {step})")
        print(step)
        break
else:
    check(False, "the keeper was still killed after 80 steps")' \
           "$gfolder" "$keepers" "$gline" "$keeper" "$gconf" "$work" "$anna" "$bea") ||
        fail "a kill at a step of a save"
    # What is left: a pupil who runs the keeper by hand claims any score,
    # and the register names her account whatever name she gives.
    request Bea 32767 > "$work/req-claim"
    ask "$anna" < "$work/req-claim"
    tail -n 1 "$gfolder/registro.csv" | grep -q "^[^;]*;[^;]*;Bea;32767;.*;$anna;[^;]*$cr\$" ||
        fail "the claimed score's line does not name $anna: $(tail -n 1 "$gfolder/registro.csv")"
    # The end of the wait, and the second folder as it was.
    wait "$held" || true
    out=$(cat "$work/hout")
    shows "box: Il record non è stato salvato, né la partita scritta nel registro \
dell'insegnante: il file «$hfolder/.cifrel.lock» era occupato da un'altra partita o da un altro \
programma, e hai scelto di uscire senza aspettare."
    ! printf '%s\n' "$out" | grep -qx 'the game failed\|the keeper stayed' || fail "$out"
    left=$(printf '%s\n' "$out" | sed -n 's/^ended after: \([0-9]*\) ms$/\1/p')
    [ -n "$left" ] && [ "$left" -ge 11000 ] && [ "$left" -lt 15000 ] ||
        fail "Anna left the guarded wait ${left:-?} ms after Esci, not within 11 to 15 s"
    kill "$hostile"
    wait "$hostile" || true
    hostile=
    [ "$(ls -A "$hfolder" | tr '\n' ' ')" = ".cifrel.lock cifrel.txt ncifrel.txt " ] &&
        [ -z "$(cat "$hfolder/cifrel.txt" "$hfolder/ncifrel.txt")" ] ||
        fail "a game that left the wait changed the class's files: $(ls -lA "$hfolder")"
    echo "class-record.sh: the guarded class folder: written by the keeper alone, read by the" \
         "teacher alone, the keeper refused or harmless under attack ($step steps of a save killed)"
}
if [ -n "${2:-}" ]; then
    guarded_class "$2" "${3:-}"
fi
