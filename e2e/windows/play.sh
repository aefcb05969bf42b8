#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Plays the Windows build under Wine as a pupil would, on the X display
# Wine draws on: the name box, a name typed, the greeting dismissed, the
# window "Gioca con le Cifrelle" in the design's colours, one wrong and one
# right answer, then "Esci"; the game must end with status 0 and leave the
# record in the player's application-data folder inside the prefix, in
# Windows-1252 with CR LF; with the school's setting in the registry, the
# teacher's register there too, in UTF-8 with its heading and the game's
# line, which counts the wrong answer (a point for the comma) as "punto"
# and names the account and the computer as Windows gives them, the
# account "DOMINIO\Nicolò" (Wine names it after $USER) in UTF-8. Then a
# second game ends with a better score while
# another program holds the record's lock (LockFileEx, e2e/holdlock.cpp):
# Enter 9.5 s after "Esci" does nothing; 11.5 s after, Enter presses
# "Esci senza salvare", which has the focus; a box comes, the game ends with
# status 0 and the record files are as they were. The game played is the
# build that writes each answer key to a file (e2e/answerkey.cpp), from a
# folder laid out as the one installed. Screenshots are left in OUT.
#
# Usage: e2e/windows/play.sh GAME_FOLDER WINE_DIR OUT
#   GAME_FOLDER  cifrelle-answerkey.exe beside the Qt files it needs, and
#                cifrelle-holdlock.exe
#   WINE_DIR     Wine's prefix and home (e2e/windows/wine.sh); $DISPLAY set
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine.sh"
. "$here/game.sh"
game=${1:?game folder}
out=${3:?output folder}
wine_use "${2:?Wine folder}"
mkdir -p "$out"
# The pupil's own Windows account, with a letter outside ASCII.
USER=Nicolò
export USER
records="$WINEPREFIX/drive_c/users/$USER/AppData/Roaming/cifrelle"
rm -rf "$records" "$out/key"

holder=
fail() {
    echo "windows play: $*" >&2
    import -window root "$out/failure.png" 2>/dev/null || true
    kill "$pid" 2>/dev/null || true
    if [ -n "$holder" ]; then kill "$holder" 2>/dev/null || true; fi
    exit 1
}

key_text() {
    i=0
    while [ ! -s "$out/key" ] || [ "$(cat "$out/key")" = "${1:-}" ]; do
        i=$((i + 1))
        [ $i -lt 200 ] || fail "no new answer key (last: ${1:-none})"
        sleep 0.05
    done
    cat "$out/key"
}

# The colour at x,y of a screenshot as r,g,b.
pixel() {
    convert "$1" -format '%[fx:int(255*p{'"$2,$3"'}.r)],%[fx:int(255*p{'"$2,$3"'}.g)],%[fx:int(255*p{'"$2,$3"'}.b)]' info:
}

# Checks that the window's pixel at the design's place x,y (pixels of the
# client area) has the colour r,g,b, within a few levels.
expect_colour() {
    got=$(pixel "$shot" $(($2 + left)) $(($3 + top)))
    echo "$got" | awk -F, -v want="$4" -v what="$1" '{
        split(want, w, ",")
        for (i = 1; i <= 3; i++) if ($i - w[i] > 8 || w[i] - $i > 8) {
            print "windows play: " what " is " $0 ", not " want > "/dev/stderr"; exit 1 }
    }' || fail "colours differ from the design (screenshot $shot)"
}

# The school keeps the teacher's register (what the MSI's REGISTER=1 writes).
wine reg add 'HKLM\SOFTWARE\cifrelle\cifrelle\record' /v register /t REG_SZ /d true /reg:64 /f \
    >/dev/null 2>&1 || fail "the register's setting could not be written"

CIFRELLE_ANSWER_KEY_FILE=$(windows_path "$out/key")
export CIFRELLE_ANSWER_KEY_FILE
# An Italian keyboard on the test's display, where "ò" has a key of its
# own: xdotool types it without lending it a spare key for the moment,
# which Wine's keyboard does not always notice in time (the name then
# lacks its "ò").
setxkbmap -display "$DISPLAY" it
start=$(date +%s%N)
wine "$game/cifrelle-answerkey.exe" >"$out/game.log" 2>&1 &
pid=$!

window 'Impariamo ad approssimare' >/dev/null
echo "name box after $(( ($(date +%s%N) - start) / 1000000 )) ms"
sleep 0.3
import -window root "$out/name-box.png"
# A name with a letter outside ASCII, stored in Windows-1252.
named 'Nicolò'

main=$(window 'Gioca con le Cifrelle')
first=$(key_text)
sleep 0.5
shot="$out/window.png"
import -window "$main" "$shot"
# The client area (623 by 573 pixels at 100%: 9345 by 8595 twips) lies
# below the title and menu bars and inside the window's frame, which Wine
# draws where no window manager does. Its last row and column are the
# window's dark blue.
width=$(identify -format %w "$shot")
bottom=$(($(identify -format %h "$shot") - 1))
while [ $bottom -gt 0 ] && [ "$(pixel "$shot" 300 $bottom)" != "0,0,64" ]; do bottom=$((bottom - 1)); done
right=$((width - 1))
while [ $right -gt 0 ] && [ "$(pixel "$shot" $right $((bottom - 2)))" != "0,0,64" ]; do right=$((right - 1)); done
top=$((bottom + 1 - 573))
left=$((right + 1 - 623))
[ $top -ge 0 ] && [ $left -ge 0 ] || fail "no dark blue client area in $shot"
# Places in pixels at 100%: the design's twips divided by 15.
expect_colour "the window" 618 568 0,0,64
expect_colour "Frame2" 160 75 255,0,255
expect_colour "Text2" 205 64 0,255,0
expect_colour "Frame3" 175 330 0,255,255
expect_colour "txtmio" 197 360 192,0,192
expect_colour "cmdexit" 460 165 255,0,0

# A wrong answer first: the key with a point for the comma. The same
# number stays, and "Sbagliato" shows in dark red.
wrong=$(printf '%s' "$first" | tr , .)
xdotool type --delay 40 "$wrong"
xdotool key Return
sleep 0.5
shot="$out/wrong.png"
import -window "$main" "$shot"
expect_colour "Command5 (Sbagliato)" 540 20 192,0,0
[ "$(cat "$out/key")" = "$first" ] || fail "a wrong answer changed the exercise"

# Then the right one, over the wrong text: "Esatto" in green and a new
# exercise.
xdotool key ctrl+a
xdotool type --delay 40 "$first"
xdotool key Return
key_text "$first" >/dev/null
sleep 0.3
shot="$out/right.png"
import -window "$main" "$shot"
expect_colour "Command4 (Esatto)" 545 22 0,255,0

# "Esci", with the mouse: a new record (1 right answer), whose message is
# dismissed; then the program ends by itself.
xdotool mousemove --window "$main" $((528 + left)) $((200 + top)) click 1
ended "the game"

# The record: the score 1 and the name, each one line ended by CR LF, the
# name's ò as Windows-1252's byte f2.
[ "$(od -An -tx1 "$records/cifrel.txt" | tr -d ' \n')" = "310d0a" ] ||
    fail "cifrel.txt holds $(od -An -c "$records/cifrel.txt")"
[ "$(od -An -tx1 "$records/ncifrel.txt" | tr -d ' \n')" = "4e69636f6cf20d0a" ] ||
    fail "ncifrel.txt holds $(od -An -c "$records/ncifrel.txt")"
# The register: UTF-8 with its byte-order mark, the heading, and the game
# (one right answer and one wrong, a "punto", at one level, "Esci", a new
# record, the account and the computer).
register="$records/registro.csv"
[ "$(head -c 8 "$register" | od -An -tx1 | tr -d ' \n')" = "efbbbf646174613b" ] ||
    fail "registro.csv begins with $(head -c 8 "$register" | od -An -c)"
[ "$(wc -l <"$register")" -eq 2 ] &&
    tail -n 1 "$register" | grep -qE "^[0-9-]{10};[0-9:]{8};Nicolò;1;1;([01];){6}00:0[0-9]:[0-9]{2};Esci;sì;1;0;0;0;0;0;0;[^;]*;[^;]*$(printf '\r')\$" ||
    fail "registro.csv holds $(od -An -c "$register")"
# The account and the computer as Windows names them: the domain and the
# computer name from Wine's own environment (ASCII), the user's name as
# given, in UTF-8.
domain=$(wine cmd /c 'echo %USERDOMAIN%' | tr -d '\r\n')
computer=$(wine cmd /c 'echo %COMPUTERNAME%' | tr -d '\r\n')
[ -n "$domain" ] && [ -n "$computer" ] || fail "Wine gives no domain or computer name"
named=$(tail -n 1 "$register" | tr -d '\r' | awk -F';' '{ print $(NF - 1) "|" $NF }')
[ "$named" = "$domain\\$USER|$computer" ] ||
    fail "the register names $named, not $domain\\$USER|$computer"
printf '%s' "$named" | od -An -tx1 | tr -d ' \n' | grep -q '4e69636f6cc3b2' ||
    fail "the account is not in UTF-8: $(printf '%s' "$named" | od -An -tx1)"
wine reg delete 'HKLM\SOFTWARE\cifrelle\cifrelle\record' /v register /reg:64 /f >/dev/null 2>&1 || true
echo "windows play: name box, greeting, the design's colours, a wrong and a right answer," \
     "Esci with status 0, the record 1 by Nicolò in Windows-1252, the game in the register," \
     "played by $named"

# The way out. Another program holds the lock as a better game ends.
mkdir -p "$out/before"
cp "$records/cifrel.txt" "$records/ncifrel.txt" "$records/.cifrel.lock" "$out/before/"
rm -f "$out/held" "$out/key"
wine "$game/cifrelle-holdlock.exe" "$(windows_path "$records/.cifrel.lock")" \
     "$(windows_path "$out/held")" >"$out/holdlock.log" 2>&1 &
holder=$!
i=0
until [ -e "$out/held" ]; do
    kill -0 "$holder" 2>/dev/null || fail "the lock holder ended: $(cat "$out/holdlock.log")"
    i=$((i + 1))
    [ $i -lt 200 ] || fail "the lock holder took no lock"
    sleep 0.05
done
wine "$game/cifrelle-answerkey.exe" >"$out/game2.log" 2>&1 &
pid=$!
named 'Ada'
main=$(window 'Gioca con le Cifrelle')
# Two right answers beat the record of 1.
key=
for _ in 1 2; do
    key=$(key_text "$key")
    xdotool key ctrl+a
    xdotool type --delay 40 "$key"
    xdotool key Return
done
key_text "$key" >/dev/null
xdotool mousemove --window "$main" $((528 + left)) $((200 + top)) click 1
pressed=$(date +%s%N)
since() { echo $(( ($(date +%s%N) - pressed) / 1000000 )); }
sleep 3
import -window "$main" "$out/notice.png"
# Enter before the way out is offered presses nothing that counts.
while [ "$(since)" -lt 9500 ]; do sleep 0.1; done
xdotool key Return
while [ "$(since)" -lt 10500 ]; do sleep 0.1; done
kill -0 "$pid" 2>/dev/null || fail "the game ended while waiting for the lock"
if xdotool search --onlyvisible --name '^Cifrelle$' >/dev/null 2>&1; then
    fail "a box came while the lock was held, before the way out"
fi
while [ "$(since)" -lt 11500 ]; do sleep 0.1; done
import -window "$main" "$out/way-out.png"
xdotool key Return
window 'Cifrelle' >/dev/null
told=$(since)
sleep 0.3
import -window root "$out/way-out-box.png"
for f in cifrel.txt ncifrel.txt .cifrel.lock; do
    cmp -s "$out/before/$f" "$records/$f" || fail "$f changed: $(od -An -c "$records/$f")"
done
xdotool key Return
exits "the game left by the way out, after its box,"
kill "$holder"
wait "$holder" 2>/dev/null || true
holder=
echo "windows play: with the lock held by another program, Enter on \"Esci senza salvare\"" \
     "$told ms after Esci: a box, status 0, the record files as they were"
