#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The class record, with real accounts. Makes a group of pupils, two
# pupils' accounts in it (Anna and Bea, each with a primary group of her own
# and the umask 077) and one outside it (Carlo), and a folder the group
# shares (rwxrws---), named in a settings file of the test's own. Each game
# is cifrelle-classplayer (the game's start-up and game end, on the folder
# the game's settings reader gives) run as that pupil:
#   1. Anna makes a record; Bea sees it at start and beats it; Anna's next
#      game sees Bea's and, worse, saves nothing;
#   2. while Bea holds the lock (a whole-file fcntl() lock), Anna's better
#      game waits, says so, and saves once Bea lets go;
#   3. four times, both games end at the same moment: the better stays;
#   4. a lock file that Bea may only read (as a copy made by hand leaves
#      it) is replaced by Bea's game, which saves; Anna's game after it too;
#   5. Carlo is told at start, once, that the folder cannot be used, plays,
#      and nothing is written anywhere.
# After every game each file must be a regular file of the group, read and
# write for owner and group only, readable by both pupils, with nothing
# else beside it. Accounts, group and files go at the end, however it ends.
# Needs root to make accounts: otherwise it says so and exits 77 (skipped).
# Usage: class-record.sh CLASSPLAYER
set -eu
if [ "$(id -u)" -ne 0 ]; then
    echo "class-record.sh: skipped: making the test's accounts needs root" >&2
    exit 77
fi

tag=cfr$$
group=${tag}cls
anna=${tag}anna
bea=${tag}bea
carlo=${tag}carlo
made=""
work=$(mktemp -d)
cleanup() {
    status=$?
    for user in $made; do
        userdel "$user" >/dev/null 2>&1 || echo "class-record.sh: cannot remove $user" >&2
    done
    groupdel "$group" >/dev/null 2>&1 || true
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
mkdir "$work/bin"
cp "$1" "$work/bin/player"
chmod -R 755 "$work/bin"
groupadd "$group"
for user in "$anna" "$bea" "$carlo"; do
    if [ "$user" = "$carlo" ]; then pupil=""; else pupil="--groups $group"; fi
    # shellcheck disable=SC2086 # $pupil is two words or none
    useradd --user-group $pupil --no-create-home --home-dir "$work/home-$user" \
            --shell /usr/sbin/nologin "$user"
    made="$made $user"
    mkdir -m 700 "$work/home-$user"
    chown "$user:$user" "$work/home-$user"
done
folder=$work/classe
mkdir "$folder"
chgrp "$group" "$folder"
chmod 2770 "$folder"
settings=$work/cifrelle.conf
printf '[record]\nfolder=%s\n' "$folder" > "$settings"
chmod 644 "$settings"

# as USER COMMAND...: runs it as that pupil, with her groups, a home of her
# own, the umask 077 and nothing else from this environment.
as() {
    user=$1
    shift
    env -i HOME="$work/home-$user" PATH=/usr/bin:/bin LANG=C.UTF-8 \
        setpriv --reuid="$user" --regid="$user" --init-groups -- \
        sh -c 'umask 077; exec "$@"' sh "$@"
}

# play USER NAME RIGHT_ANSWERS [GO_FILE]: one game; what it showed in $out.
play() {
    user=$1
    shift
    out=$(as "$user" "$work/bin/player" "$settings" "$@") || fail "the game of $user failed: $out"
}

# shows LINE WHAT: the last game showed that line.
shows() {
    printf '%s\n' "$out" | grep -qxF -- "$1" || fail "$2: no line '$1' in:
$out"
}

saved='box: Ok ho registrato il tuo record, C A M P I O N E'

# record SCORE NAME: the files hold that record, and are as they should be.
record() {
    printf '%s\r\n' "$1" | cmp -s - "$folder/cifrel.txt" || fail "score file: not $1"
    printf '%s\r\n' "$2" | cmp -s - "$folder/ncifrel.txt" || fail "name file: not $2"
    [ "$(ls -A "$folder" | tr '\n' ' ')" = ".cifrel.lock cifrel.txt ncifrel.txt " ] ||
        fail "the folder holds: $(ls -A "$folder")"
    for file in .cifrel.lock cifrel.txt ncifrel.txt; do
        kind=$(stat -c '%F %G %a' "$folder/$file")
        case $kind in
            "regular file $group 660" | "regular empty file $group 660") ;;
            *) fail "$file is $kind" ;;
        esac
        for user in "$anna" "$bea"; do
            as "$user" cat "$folder/$file" >/dev/null || fail "$user cannot read $file"
        done
    done
}

# 1. A record, beaten, seen.
play "$anna" Anna 5
shows 'record: |' "Anna's first game"
shows "$saved" "Anna's first game"
record 5 Anna
play "$bea" Bea 8
shows 'record: 5\r\n|Anna\r\n' "Bea's game"
shows "$saved" "Bea's game"
record 8 Bea
play "$anna" Anna 3
shows 'record: 8\r\n|Bea\r\n' "Anna's second game"
[ "$(printf '%s\n' "$out" | grep -c '^box: ')" -eq 1 ] || fail "a worse game showed more than the greeting: $out"
record 8 Bea

# 2. Bea's lock holds Anna's save back.
as "$bea" python3 -c '
import fcntl, os, sys, time
fd = os.open(sys.argv[1], os.O_RDWR)
fcntl.lockf(fd, fcntl.LOCK_EX)
print("held", flush=True)
time.sleep(3)' "$folder/.cifrel.lock" > "$work/held" &
holder=$!
tries=0
until grep -q held "$work/held"; do
    tries=$((tries + 1))
    [ "$tries" -lt 1000 ] || fail "Bea could not lock the lock file Anna made"
    sleep 0.01
done
play "$anna" Anna 12
wait "$holder"
shows 'notice: Sto salvando il record, attendi un momento.' "Anna's game while Bea held the lock"
shows "$saved" "Anna's game while Bea held the lock"
record 12 Anna

# 3. Two games ending at the same moment, the better one Anna's or Bea's in turn.
for round in 1 2 3 4; do
    annas=$((12 + 2 * round + round % 2))
    beas=$((13 + 2 * round - round % 2))
    rm -f "$work/go"
    as "$anna" "$work/bin/player" "$settings" Anna "$annas" "$work/go" > "$work/anna.out" &
    first=$!
    as "$bea" "$work/bin/player" "$settings" Bea "$beas" "$work/go" > "$work/bea.out" &
    second=$!
    tries=0
    until grep -q ready "$work/anna.out" && grep -q ready "$work/bea.out"; do
        tries=$((tries + 1))
        [ "$tries" -lt 1000 ] || fail "round $round: the games did not start"
        sleep 0.01
    done
    touch "$work/go"
    wait "$first" || fail "round $round: Anna's game failed"
    wait "$second" || fail "round $round: Bea's game failed"
    if [ "$annas" -gt "$beas" ]; then record "$annas" Anna; else record "$beas" Bea; fi
done

# 4. A lock file Bea may only read.
rm "$folder/.cifrel.lock"
as "$anna" sh -c ': > "$1" && chmod 644 "$1"' sh "$folder/.cifrel.lock"
play "$bea" Bea 30
shows "$saved" "Bea's game with a lock file she may only read"
record 30 Bea
[ "$(stat -c %U "$folder/.cifrel.lock")" = "$bea" ] || fail "the lock file was not replaced"
play "$anna" Anna 31
shows "$saved" "Anna's game after the lock file was replaced"
record 31 Anna

# 5. Outside the group: one warning, the game played, nothing written.
play "$carlo" Carlo 4
shows 'record: |' "Carlo's game"
problem="non riesco a usare la cartella «$folder», scelta per tutti gli utenti con l'impostazione folder del gruppo [record] in $settings (permesso negato)"
shows "box: Il record non potrà essere conservato: $problem. Puoi giocare lo stesso." "Carlo's game"
shows "box: Il record non è stato salvato: $problem." "Carlo's game"
[ "$(printf '%s\n' "$out" | grep -c '^box: Il record non potrà')" -eq 1 ] || fail "more than one warning at start"
[ -z "$(ls -A "$work/home-$carlo")" ] || fail "Carlo's game wrote in his home"
record 31 Anna
for user in "$anna" "$bea"; do
    [ -z "$(ls -A "$work/home-$user")" ] || fail "a game wrote in the home of $user"
done

echo "class-record.sh: the class record works for two accounts"
