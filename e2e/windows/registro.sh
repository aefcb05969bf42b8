#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The teacher's view under Wine, on the register the Windows game wrote in
# the play before (e2e/windows/play.sh: one game of "Nicolò", one right
# answer and one wrong): cifrelle-registro.exe writes the CSV and the PDF of
# the register named, and of this computer's register found by itself (the
# account's application-data folder), with status 0; a folder named in a
# register's place gives status 1 and its message; the window opens on the
# register, and Alt+H closes it with status 0. The CSV's bytes and the
# PDF's text (poppler's pdftotext) hold the game. Screenshots in OUT.
#
# Usage: e2e/windows/registro.sh GAME_FOLDER WINE_DIR OUT   ($DISPLAY set)
#   GAME_FOLDER  cifrelle-registro.exe beside the Qt files it needs
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine.sh"
. "$here/game.sh"
game=${1:?game folder}
out=${3:?output folder}
wine_use "${2:?Wine folder}"
mkdir -p "$out"
out=$(cd "$out" && pwd)
# The account the play ran as (play.sh), whose register this computer's is.
USER=Nicolò
export USER
records="$WINEPREFIX/drive_c/users/$USER/AppData/Roaming/cifrelle"
register="$records/registro.csv"
program="$game/cifrelle-registro.exe"
pid=
fail() {
    echo "windows registro: $*" >&2
    import -window root "$out/failure.png" 2>/dev/null || true
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    exit 1
}
[ -f "$register" ] || fail "the game left no register in $records"
rm -f "$out"/*.csv "$out"/*.pdf

# The exports, of the register named and of this computer's.
wine "$program" --csv "$(windows_path "$out/classe.csv")" --pdf "$(windows_path "$out/classe.pdf")" \
    "$(windows_path "$register")" 2>"$out/exports.log" ||
    fail "the exports ended with status $?: $(cat "$out/exports.log")"
wine "$program" --csv "$(windows_path "$out/computer.csv")" 2>"$out/computer.log" ||
    fail "the export of this computer's register ended with status $?: $(cat "$out/computer.log")"
cmp -s "$out/classe.csv" "$out/computer.csv" ||
    fail "this computer's register is not the one the game wrote"

# The CSV: the byte-order mark and the heading, the game's pupil (one game,
# one right answer and one wrong, too few to judge), the period; CR LF.
heading='alunno;partite;tempo di gioco;ultima partita;decimi esatte;decimi errate;decimi %;decimi giudizio;centesimi esatte;centesimi errate;centesimi %;centesimi giudizio;millesimi esatte;millesimi errate;millesimi %;millesimi giudizio;da aiutare'
[ "$(head -c 3 "$out/classe.csv" | od -An -tx1 | tr -d ' \n')" = efbbbf ] ||
    fail "the CSV has no byte-order mark"
[ "$(sed -n 1p "$out/classe.csv" | tr -d '\r' | tail -c +4)" = "$heading" ] ||
    fail "the CSV's heading is $(sed -n 1p "$out/classe.csv")"
[ "$(tr -d '\n' <"$out/classe.csv" | tr -cd '\r' | wc -c)" -eq "$(wc -l <"$out/classe.csv")" ] ||
    fail "the CSV's lines do not all end with CR LF"
sed -n 2p "$out/classe.csv" | tr -d '\r' | awk -F';' '
    $1 != "Nicolò" || $2 != 1 || $3 !~ /^00:0[0-9]:[0-9][0-9]$/ { exit 1 }
    $4 !~ /^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]$/ { exit 1 }
    $5 + $9 + $13 != 1 || $6 + $10 + $14 != 1 || $17 != "no" { exit 1 }
    $8 != "pochi dati" || $12 != "pochi dati" || $16 != "pochi dati" { exit 1 }' ||
    fail "the CSV's row is $(sed -n 2p "$out/classe.csv")"
[ "$(sed -n 4p "$out/classe.csv" | tr -d '\r')" = 'periodo;Tutte le partite' ] ||
    fail "the CSV does not say the period: $(cat "$out/classe.csv")"

# The PDF, as poppler reads it: the class, then Nicolò's page.
pdftotext -layout "$out/classe.pdf" "$out/classe.txt" || fail "pdftotext cannot read the PDF"
grep -q 'Registro della classe' "$out/classe.txt" && grep -q 'Tutte le partite' "$out/classe.txt" &&
    grep -q '^Nicolò  *1 ' "$out/classe.txt" && grep -q 'Partite: 1\. Tempo di gioco: 00:0' "$out/classe.txt" ||
    fail "the PDF reads: $(head -c 2000 "$out/classe.txt")"
pages=$(pdfinfo "$out/classe.pdf" | sed -n 's/^Pages: *//p')
[ "$pages" -eq 2 ] || fail "the PDF has $pages pages, not the class's and Nicolò's"

# Bad input: one line, status 1.
mkdir -p "$out/cartella"
status=0
wine "$program" --csv "$(windows_path "$out/x.csv")" "$(windows_path "$out/cartella")" \
    2>"$out/folder.log" || status=$?
[ "$status" -eq 1 ] && grep -q 'è una cartella, non un registro' "$out/folder.log" ||
    fail "a folder gave status $status: $(cat "$out/folder.log")"
echo "windows registro: the CSV and the PDF of the register the game wrote and of this computer's," \
     "status 0; a folder refused with status 1"

# The window.
wine_desktop
wine "$program" "$(windows_path "$register")" >"$out/window.log" 2>&1 &
pid=$!
i=0
until w=$(xdotool search --onlyvisible --name '^Registro della classe' 2>/dev/null | head -n 1) &&
      [ -n "$w" ]; do
    kill -0 "$pid" 2>/dev/null || fail "the window's program ended: $(cat "$out/window.log")"
    i=$((i + 1))
    [ $i -lt 400 ] || fail "no window \"Registro della classe\""
    sleep 0.05
done
sleep 1
import -window root "$out/window.png"
xdotool windowfocus "$w" 2>/dev/null || true
xdotool key alt+h
exits "the window, closed with Alt+H,"
pid=
echo "windows registro: the window on the register, closed with Alt+H, status 0"
