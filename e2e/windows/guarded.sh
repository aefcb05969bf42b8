#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The guarded class folder on Windows, under Wine, in the prefix that
# e2e/windows/installer.sh leaves (the game removed). The MSI installed
# silently with GUARDED=1, REGISTER=1 and a class folder under ProgramData
# installs the class's keeper, the service cifrelle-classe, and starts it;
# the installed cifrelle.exe, played to "Esci" with a wrong answer, adds
# its line to the register through the service's pipe, naming the account
# Wine gives; the game's build that tells its answer keys, run from the
# installed folder, saves a record through it; the silent removal stops and
# removes the service and the program and leaves the class's files. What
# Wine cannot show (the service's own account, the folder's access list, a
# server's share) is said in docs/installing.md. Screenshots are left in OUT.
#
# Usage: e2e/windows/guarded.sh MSI ANSWERKEY_EXE WINE_DIR OUT   ($DISPLAY set)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine.sh"
. "$here/game.sh"
msi=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
answerkey=${2:?the answer-key build}
out=${4:?output folder}
mkdir -p "$out"
out=$(cd "$out" && pwd)
pid=

fail() {
    echo "windows guarded: $*" >&2
    import -window root "$out/guarded-failure.png" 2>/dev/null || true
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    exit 1
}

wine_use "${3:?Wine folder}"
# Wine 8's "wineboot -i" leaves two service managers running, which then
# disagree about which services there are: the prefix starts anew with one.
wine_stop
"$WINE_SERVER" -p </dev/null >/dev/null 2>&1
wine_desktop
drive="$WINEPREFIX/drive_c"
program="$drive/Program Files/Cifrelle"
classe="$drive/ProgramData/Cifrelle/classe"
setting='HKLM\SOFTWARE\cifrelle\cifrelle\record'
service() { wine sc query cifrelle-classe </dev/null 2>&1 | tr -d '\r' | sed -n 's/^ *STATE *: *[0-9] *//p'; }

# The administrator makes the class folder (on Windows, with the access
# list of docs/installing.md), then installs with GUARDED=1.
mkdir -p "$classe"
wine msiexec /i "$(windows_path "$msi")" 'RECORDFOLDER=C:\ProgramData\Cifrelle\classe' REGISTER=1 \
    GUARDED=1 /qn </dev/null >/dev/null 2>&1 || fail "the MSI with GUARDED=1 did not install"
[ -f "$program/cifrelle-classe.exe" ] || fail "the keeper is not installed"
[ "$(service)" = RUNNING ] || fail "the service cifrelle-classe is $(service), not running"
wine reg query "$setting" /v guarded /reg:64 </dev/null 2>/dev/null | tr -d '\r' |
    grep -q 'guarded *REG_SZ *true$' || fail "the value guarded is not true"

# play GAME NAME [key]: the game from the installed folder, the name
# typed, an answer (with "key", the key the game tells; else a wrong one),
# then "Esci", clicked at the middle of the button: 95 and 373 pixels from
# the client area's lower right corner (the window's, less Wine's frame).
play() {
    rm -f "$out/key"
    CIFRELLE_ANSWER_KEY_FILE=$(windows_path "$out/key") wine "$program/$1" >"$out/$1.log" 2>&1 &
    pid=$!
    named "$2"
    main=$(window 'Gioca con le Cifrelle')
    answer=1
    if [ -n "${3:-}" ]; then
        i=0
        until [ -s "$out/key" ]; do
            i=$((i + 1))
            [ $i -lt 200 ] || fail "no answer key"
            sleep 0.05
        done
        answer=$(cat "$out/key")
    fi
    sleep 0.3
    xdotool type --delay 40 "$answer"
    xdotool key Return
    sleep 0.3
    eval "$(xdotool getwindowgeometry --shell "$main")"
    xdotool mousemove --window "$main" $((WIDTH - 95 - 4)) $((HEIGHT - 373 - 4)) click 1
    ended "$1" "$out/guarded-$1.png"
    pid=
}

# The installed game: its line in the register, through the service.
register="$classe/registro.csv"
play cifrelle.exe 'Nicolò'
[ "$(wc -l <"$register")" -eq 2 ] || fail "registro.csv holds $(od -An -c "$register")"
line=$(tail -n 1 "$register")
printf '%s\n' "$line" | grep -qE "^[0-9-]{10};[0-9:]{8};Nicolò;0;1;.*;Esci;no;.*;[^;]+\\\\$(id -un);[^;]+$(printf '\r')\$" ||
    fail "the installed game's line is $line"
# The build that tells its keys, from the installed folder: a record.
cp "$answerkey" "$program/"
play "$(basename "$answerkey")" Ada key
rm -f "$program/$(basename "$answerkey")"
[ "$(od -An -tx1 "$classe/cifrel.txt" "$classe/ncifrel.txt" | tr -d ' \n')" = "310d0a4164610d0a" ] ||
    fail "the class record is $(od -An -c "$classe/cifrel.txt" "$classe/ncifrel.txt")"
[ "$(wc -l <"$register")" -eq 3 ] && tail -n 1 "$register" | grep -q ';Ada;1;0;.*;Esci;sì;' ||
    fail "registro.csv holds $(od -An -c "$register")"
printf 'windows guarded: %s (account %s) %s\n' "the service installed and running, the installed game's line" \
    "$(printf '%s\n' "$line" | cut -d';' -f22)" "and a record saved through its pipe"

cp "$classe/cifrel.txt" "$classe/ncifrel.txt" "$register" "$out/"
wine msiexec /x "$(windows_path "$msi")" /qn </dev/null >/dev/null 2>&1 || fail "the removal failed"
[ -z "$(service)" ] || fail "the service is still there: $(service)"
[ ! -e "$program" ] || fail "Program Files\\Cifrelle is still there: $(ls "$program")"
for f in cifrel.txt ncifrel.txt registro.csv; do
    cmp -s "$out/$f" "$classe/$f" || fail "the removal changed $f"
done
echo "windows guarded: the removal stopped and removed the service and kept the class's files"
