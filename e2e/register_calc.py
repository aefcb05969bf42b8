#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The teacher's register as LibreOffice Calc reads it.

Plays a few scripted games (CLASSPLAYER, the game's start-up and game end on
the scripted window) with the register kept, some with names a spreadsheet
could take for a formula, on a register that the first version made (its
fourteen columns' heading and one game); then has Debian's LibreOffice
Calc, headless, import the register as an Italian teacher would (fields
separated by ";", UTF-8, Italian) and save it as a flat spreadsheet, and
reads what Calc made of each cell: the date a date, the time a time, the
counts numbers in their columns (the wrong answers by kind too), the name,
the account and the computer text exactly as given (after a "'" when it
looks like a formula), and no cell a formula. The account and the computer
are the system's, but for two games that name others through the player's
test hook, names beginning with "=" and "-".

Usage: register_calc.py CLASSPLAYER
"""

import os
import pwd
import socket
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

TABLE = "{urn:oasis:names:tc:opendocument:xmlns:table:1.0}"
OFFICE = "{urn:oasis:names:tc:opendocument:xmlns:office:1.0}"
TEXT = "{urn:oasis:names:tc:opendocument:xmlns:text:1.0}"

# Each game: the name typed, the right answers, and the name as the cell
# must show it; the wrong answers (kinds "punto", "decimali", "altro" in
# turn), and the account and computer it names instead of the system's.
GAMES = [
    ("Nicolò", 3, "Nicolò", 5, None),
    ('=1+1;"x"', 2, '\'=1+1;"x"', 1, ("=1+1", "-aula")),
    ("@SUM(A1)", 1, "'@SUM(A1)", 0, ("-utente", "=A1")),
    ("-2+3", 0, "'-2+3", 2, None),
    (" Anna Maria ", 4, " Anna Maria ", 3, None),
]

# What the first version wrote: its fourteen columns and one game.
FIRST_LINE = "2026-12-07;09:00:00;Ada;1;0;1;0;0;0;0;0;00:01:00;Esci;sì"


def as_cell(text):
    """A text field as Calc shows it: after a "'" when it looks like a
    formula."""
    return "'" + text if text[:1] in "=+-@" else text


# How Calc reads the first fourteen columns.
FIRST_KINDS = ["date", "time", "string"] + ["float"] * 8 + ["time", "string", "string"]


def fail(message):
    print(f"register_calc.py: FAILED: {message}", file=sys.stderr)
    sys.exit(1)


def paragraph(p):
    """A paragraph's text, its spaces (text:s) and tabs (text:tab) included."""
    text = p.text or ""
    for child in p:
        if child.tag == TEXT + "s":
            text += " " * int(child.get(TEXT + "c", "1"))
        elif child.tag == TEXT + "tab":
            text += "\t"
        else:
            text += paragraph(child)
        text += child.tail or ""
    return text


def cells(row):
    """The row's cells as (type, formula, value, text), repeats unfolded, up
    to its last cell that holds something."""
    found = []
    for cell in row.iter(TABLE + "table-cell"):
        repeated = int(cell.get(TABLE + "number-columns-repeated", "1"))
        text = "\n".join(paragraph(p) for p in cell.iter(TEXT + "p"))
        value = (cell.get(OFFICE + "value") or cell.get(OFFICE + "date-value")
                 or cell.get(OFFICE + "time-value"))
        kind = cell.get(OFFICE + "value-type")
        if kind is None and repeated > 100:
            break  # the empty rest of the row
        found += [(kind, cell.get(TABLE + "formula"), value, text)] * repeated
    while found and found[-1] == (None, None, None, ""):
        found.pop()  # the empty cells after a shorter line
    return found


def main():
    if len(sys.argv) != 2:
        fail("usage: register_calc.py CLASSPLAYER")
    player = sys.argv[1]
    heading = subprocess.run([player, "--print-register-heading"], check=True,
                             stdout=subprocess.PIPE, text=True).stdout.rstrip("\n").split(";")
    if len(heading) != 23:
        fail(f"the heading has {len(heading)} columns: {heading}")
    first_heading = heading[:14]
    with tempfile.TemporaryDirectory(prefix="cifrelle-calc.") as work:
        work = Path(work)
        folder = work / "classe"
        folder.mkdir()
        settings = work / "cifrelle.conf"
        settings.write_text(f"[record]\nfolder={folder}\nregister=true\n")
        register = folder / "registro.csv"
        register.write_bytes(("\ufeff" + ";".join(first_heading) + "\r\n" + FIRST_LINE
                              + "\r\n").encode())
        for name, right, _, wrong, played_by in GAMES:
            hook = ["--played-by", *played_by] if played_by else []
            subprocess.run([player, "--wrong", str(wrong), *hook, str(settings), name,
                            str(right)], check=True, stdout=subprocess.DEVNULL)
        if not register.read_bytes().startswith(("\ufeff" + ";".join(first_heading) + "\r\n"
                                                 + FIRST_LINE + "\r\n").encode()):
            fail("the games changed what the first version wrote")

        # What a teacher's Calc does with the file: the text import with
        # ";", UTF-8 and Italian, then the sheet saved as it was read.
        options = "59,34,76,1,,1040"
        environment = dict(os.environ, HOME=str(work))
        done = subprocess.run(
            ["soffice", f"-env:UserInstallation=file://{work}/profile", "--headless",
             f"--infilter=CSV:{options}", "--convert-to", "fods", "--outdir", str(work),
             str(register)],
            env=environment, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        sheet = work / "registro.fods"
        if done.returncode != 0 or not sheet.exists():
            fail(f"Calc did not read the register: {done.stdout.decode(errors='replace')}")
        rows = [cells(r) for r in ElementTree.parse(sheet).iter(TABLE + "table-row")]
        rows = [r for r in rows if any(text for _, _, _, text in r)]

    if [text for _, _, _, text in rows[0]] != first_heading:
        fail(f"the first version's heading reads {rows[0]}")
    if len(rows) != 2 + len(GAMES):
        fail(f"{len(rows) - 2} new games in the sheet, not {len(GAMES)}")
    first = rows[1]
    if [kind for kind, _, _, _ in first] != FIRST_KINDS or \
            [first[2][3], first[12][3], first[13][3]] != ["Ada", "Esci", "sì"]:
        fail(f"the first version's game reads {first}")
    system = (pwd.getpwuid(os.getuid()).pw_name, socket.gethostname())
    best = 1  # the first version's game
    for (name, right, shown, wrong, played_by), row in zip(GAMES, rows[2:]):
        if len(row) != 23:
            fail(f"the game of {name!r} has {len(row)} cells: {row}")
        formulas = [cell for cell in row if cell[1]]
        if formulas:
            fail(f"the game of {name!r} has a formula: {formulas}")
        kinds = [kind for kind, _, _, _ in row]
        if kinds != FIRST_KINDS + ["float"] * 7 + ["string", "string"]:
            fail(f"the game of {name!r} reads as {kinds}")
        if row[2][3] != shown:
            fail(f"the name {name!r} shows as {row[2][3]!r}, not {shown!r}")
        counts = [int(value) for _, _, value, _ in row[3:11]]
        if counts[0] != right or counts[1] != wrong or sum(counts[2::2]) != right or \
                sum(counts[3::2]) != wrong:
            fail(f"the counts of {name!r} are {counts}")
        by_kind = [int(value) for _, _, value, _ in row[14:21]]
        expected = [len(range(k, wrong, 3)) for k in range(3)]
        if by_kind != expected[:2] + [0, 0, 0, 0] + expected[2:] or sum(by_kind) != counts[1]:
            fail(f"the wrong answers of {name!r} by kind are {by_kind}")
        account, computer = played_by or system
        if [row[21][3], row[22][3]] != [as_cell(account), as_cell(computer)]:
            fail(f"the game of {name!r} names {row[21][3]!r} on {row[22][3]!r}, not "
                 f"{account!r} on {computer!r}")
        new_record = "sì" if right > best else "no"
        best = max(best, right)
        if [row[12][3], row[13][3]] != ["Esci", new_record]:
            fail(f"the game of {name!r} ended as {row[12][3]!r}, {row[13][3]!r}")
    print(f"register_calc.py: Calc reads the first version's game and {len(GAMES)} new ones, "
          f"every cell as it should (the account {system[0]!r} on {system[1]!r})")


if __name__ == "__main__":
    main()
