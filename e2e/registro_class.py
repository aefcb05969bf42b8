#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A scripted class and what its register must show, worked out here on
its own (not with the program's code).

25 pupils play for three weeks up to today. Their names are typed in
varied case and with stray blanks, some are hostile to a spreadsheet
(formulas, separators, quotes), one is empty. The register written has
today's heading; some lines are of the first version (14 fields), some of a
later version (more fields), and one line is torn. Six pupils sit on the
judgements' boundaries: 9 and 10 answers, 69.9 %, 70 %, 89.9 % and 90 %.

Used by registro_play.py; run alone it writes a register and prints the
expected grid:  registro_class.py FOLDER
"""

import datetime
import random
import sys
import unicodedata
from pathlib import Path

KINDS = ["punto", "decimali", "non arrotondato", "per difetto", "per eccesso", "livello",
         "altro"]
LEVELS = ["Decimi", "Centesimi", "Millesimi"]
HEADING_23 = ("data;ora;nome;esatte;errate;decimi esatte;decimi errate;centesimi esatte;"
              "centesimi errate;millesimi esatte;millesimi errate;durata;fine;nuovo record;"
              + ";".join("errori " + k for k in KINDS) + ";utente;computer")
CSV_HEADING = ("alunno;partite;tempo di gioco;ultima partita;decimi esatte;decimi errate;"
               "decimi %;decimi giudizio;centesimi esatte;centesimi errate;centesimi %;"
               "centesimi giudizio;millesimi esatte;millesimi errate;millesimi %;"
               "millesimi giudizio;da aiutare")

# The pupils: the name as the teacher knows it, and the level counts of
# those on a boundary (right, wrong per level over the three weeks).
PUPILS = [
    ("Marco Rossi", None), ("Anna Maria Bianchi", None), ("Nicolò Esposito", None),
    ("Giulia Romano", None), ("Élia Colombo", None), ("Zoë Ricci", None),
    ("Luca Marino", None), ("Sofia Greco", None), ("Matteo Bruno", None),
    ("Aurora Gallo", None), ("Leonardo Conti", None), ("Ginevra De Luca", None),
    ("Tommaso Mancini", None), ("Beatrice Costa", None), ("Lorenzo Giordano", None),
    ('=1+1;"x"', None), ("@SUM(A1)", None), ("-2+3", None), ('Bea "la prima"', None),
    ("", None),
    ("Nove Risposte", [(9, 0), (20, 2), (30, 1)]),          # 9 answers: pochi dati
    ("Dieci Risposte", [(9, 1), (18, 2), (27, 3)]),         # 10 and 90 %: sicuro
    ("Sessantanove Nove", [(699, 301), (70, 30), (9, 1)]),  # 69.9 %: da rivedere
    ("Settanta Giusto", [(7, 3), (899, 101), (90, 10)]),    # 70 %, 89.9 %, 90 %
    ("Ottantanove Nove", [(8990, 1010), (1, 0), (0, 0)]),   # 89.9 % over many answers
]


def variants(name):
    """The ways a pupil types the name."""
    words = name.split()
    spaced = "  ".join(words)
    return [name, name.lower(), name.upper(), " " + name + " ", spaced + "\t", name.title()
            if not any(c in name for c in '=@-"') else name]


def split(total, parts, rng):
    """`total` split into `parts` numbers of any size that sum to it."""
    cuts = sorted(rng.randint(0, total) for _ in range(parts - 1))
    return [b - a for a, b in zip([0] + cuts, cuts + [total])]


def quoted(text):
    """A text field as the game writes it."""
    text = " ".join(text.splitlines()) if "\n" in text else text
    if text and text[0] in "=+-@\t\r":
        text = "'" + text
    if ";" in text or '"' in text or text.startswith(" ") or text.endswith(" "):
        text = '"' + text.replace('"', '""') + '"'
    return text


def make_games(today, seed=27):
    """Every game: (moment, typed name, pupil index, counts per level,
    seconds, ending, kinds or None, account, computer, version)."""
    rng = random.Random(seed)
    games = []
    first = today - datetime.timedelta(days=20)
    for index, (name, boundary) in enumerate(PUPILS):
        count = rng.randint(2, 7) if boundary is None else 5
        days = sorted(rng.sample(range(21), count))
        if boundary is None:
            per_game = [[(rng.randint(0, 15), rng.randint(0, 6)) for _ in LEVELS]
                        for _ in days]
        else:
            per_game = [[None] * 3 for _ in days]
            for level, (right, wrong) in enumerate(boundary):
                for g, (r, w) in enumerate(zip(split(right, count, rng),
                                               split(wrong, count, rng))):
                    per_game[g][level] = (r, w)
        typed = variants(name) if name else ["", "   ", "\t"]
        for g, day in enumerate(days):
            when = datetime.datetime.combine(first + datetime.timedelta(days=day),
                                             datetime.time(8 + index % 6, rng.randint(0, 59),
                                                           rng.randint(0, 59)))
            version = rng.choice(["today"] * 6 + ["first", "later"])
            wrong = sum(w for _, w in per_game[g])
            kinds = None if version == "first" else split(wrong, len(KINDS), rng)
            account = f"alunno{index:02d}" if index % 5 else "-utente"
            computer = f"aula-{1 + index % 3}" if index % 7 else "=PC"
            games.append((when, rng.choice(typed), index, per_game[g],
                          rng.randint(30, 900), rng.choice(["Esci", "tempo scaduto",
                                                            "finestra chiusa"]),
                          kinds, account, computer, version))
    games.sort(key=lambda game: game[0])
    return games


def register_text(games):
    """The register as the game writes it, with one torn line."""
    lines = ["\ufeff" + HEADING_23]
    for i, (when, typed, _, levels, seconds, ending, kinds, account, computer,
            version) in enumerate(games):
        right = sum(r for r, _ in levels)
        wrong = sum(w for _, w in levels)
        fields = [when.strftime("%Y-%m-%d"), when.strftime("%H:%M:%S"), quoted(typed),
                  str(right), str(wrong)]
        for r, w in levels:
            fields += [str(r), str(w)]
        fields += [f"{seconds // 3600:02d}:{seconds // 60 % 60:02d}:{seconds % 60:02d}",
                   ending, "no"]
        if version != "first":
            fields += [str(k) for k in kinds] + [quoted(account), quoted(computer)]
        if version == "later":
            fields += ["3B", '"una;colonna"', ""]
        lines.append(";".join(fields))
        if i == len(games) // 2:
            lines.append(lines[-1][:23])  # a game cut short by a crash
    return "\r\n".join(lines) + "\r\n"


def torn_line_number(games):
    return 1 + len(games) // 2 + 2


# --- what the window, the PDF and the CSV must show ----------------------

def key_of(typed):
    return " ".join(part for part in typed.replace("\t", " ").split(" ") if part).lower()


def shown_of(typed):
    shown = " ".join(part for part in typed.replace("\t", " ").split(" ") if part)
    return shown or "(senza nome)"


def order_of(key):
    plain = "".join(c for c in unicodedata.normalize("NFD", key)
                    if not unicodedata.combining(c))
    return (plain + "\x01" + key).encode()


def judgement(right, wrong):
    answers = right + wrong
    if answers < 10:
        return "pochi dati"
    if right * 10 >= answers * 9:
        return "sicuro"
    if right * 10 >= answers * 7:
        return "quasi"
    return "da rivedere"


def percent_shown(right, wrong):
    """As the window and the PDF write it: cut to tenths, the decimal comma."""
    if right + wrong == 0:
        return ""
    tenths = 1000 * right // (right + wrong)
    return f"{tenths // 10}" + (f",{tenths % 10}" if tenths % 10 else "") + " %"


def percent_whole(right, wrong):
    """As the CSV writes it: a whole number, halves up."""
    if right + wrong == 0:
        return ""
    return str((200 * right + right + wrong) // (2 * (right + wrong)))


def expected_rows(games, first_day=None, last_day=None):
    """The grid's rows in the period (days, both ends included), every pupil
    of the register, in the grid's order: a dict per row."""
    pupils = {}
    for when, typed, _, levels, seconds, _, kinds, account, computer, _ in games:
        key = key_of(typed)
        p = pupils.setdefault(key, {"shown_at": None, "games": 0, "seconds": 0, "last": None,
                                    "levels": [[0, 0], [0, 0], [0, 0]], "kinds": [0] * 7})
        if p["shown_at"] is None or when >= p["shown_at"]:
            p["shown_at"], p["shown"] = when, shown_of(typed)
        day = when.date()
        if (first_day and day < first_day) or (last_day and day > last_day):
            continue
        p["games"] += 1
        p["seconds"] += seconds
        p["last"] = max(p["last"] or when, when)
        for level, (r, w) in enumerate(levels):
            p["levels"][level][0] += r
            p["levels"][level][1] += w
        if kinds:
            p["kinds"] = [a + b for a, b in zip(p["kinds"], kinds)]
    rows = []
    for key in sorted(pupils, key=order_of):
        p = pupils[key]
        row = {"alunno": p["shown"], "partite": p["games"], "seconds": p["seconds"],
               "tempo": "%02d:%02d:%02d" % (p["seconds"] // 3600, p["seconds"] // 60 % 60,
                                            p["seconds"] % 60),
               "last": p["last"], "levels": []}
        for r, w in p["levels"]:
            row["levels"].append({"esatte": r, "errate": w, "shown": percent_shown(r, w),
                                  "whole": percent_whole(r, w), "giudizio": judgement(r, w)})
        row["aiutare"] = any(lv["giudizio"] == "da rivedere" for lv in row["levels"])
        total = sum(p["kinds"])
        top = max(range(7), key=lambda k: (p["kinds"][k], -k))
        row["errore"] = f"{KINDS[top]} {p['kinds'][top]} su {total}" if total else ""
        rows.append(row)
    return rows


def window_cells(row):
    """A row's cells as the window's grid shows them."""
    last = row["last"].strftime("%d/%m/%Y %H:%M") if row["last"] else ""
    cells = [row["alunno"], str(row["partite"]), row["tempo"], last]
    for lv in row["levels"]:
        cells += [str(lv["esatte"]), str(lv["errate"]), lv["shown"], lv["giudizio"]]
    return cells + ["sì" if row["aiutare"] else "no", row["errore"]]


def csv_cells(row):
    """A row's cells as the CSV holds them (before a spreadsheet reads them)."""
    last = row["last"].strftime("%Y-%m-%d %H:%M") if row["last"] else ""
    name = row["alunno"]
    cells = ["'" + name if name[0] in "=+-@\t" else name, str(row["partite"]), row["tempo"], last]
    for lv in row["levels"]:
        cells += [str(lv["esatte"]), str(lv["errate"]), lv["whole"], lv["giudizio"]]
    return cells + ["sì" if row["aiutare"] else "no"]


def write_class(folder, today=None):
    """Writes the scripted class's register into `folder`; returns its path
    and the games."""
    today = today or datetime.date.today()
    games = make_games(today)
    path = Path(folder) / "registro.csv"
    path.write_bytes(register_text(games).encode())
    return path, games


def main():
    path, games = write_class(sys.argv[1])
    print(f"{path}: {len(games)} games")
    for row in expected_rows(games):
        print(window_cells(row))


if __name__ == "__main__":
    main()
