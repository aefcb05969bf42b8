#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The teacher's register as LibreOffice Calc reads it.

Plays a few scripted games (CLASSPLAYER, the game's start-up and game end on
the scripted window) with the register kept, some with names a spreadsheet
could take for a formula, then has Debian's LibreOffice Calc, headless,
import the register as an Italian teacher would (fields separated by ";",
UTF-8, Italian) and save it as a flat spreadsheet, and reads what Calc made
of each cell: the date a date, the time a time, the counts numbers in their
columns, the name text exactly as typed (after its "'" when it looks like a
formula), and no cell a formula.

Usage: register_calc.py CLASSPLAYER
"""

import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

TABLE = "{urn:oasis:names:tc:opendocument:xmlns:table:1.0}"
OFFICE = "{urn:oasis:names:tc:opendocument:xmlns:office:1.0}"
TEXT = "{urn:oasis:names:tc:opendocument:xmlns:text:1.0}"

# Each game: the name typed, the right answers, and the name as the cell
# must show it.
GAMES = [
    ("Nicolò", 3, "Nicolò"),
    ('=1+1;"x"', 2, '\'=1+1;"x"'),
    ("@SUM(A1)", 1, "'@SUM(A1)"),
    ("-2+3", 0, "'-2+3"),
    (" Anna Maria ", 4, " Anna Maria "),
]


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
    """The row's cells as (type, formula, value, text), repeats unfolded."""
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
    return found


def main():
    if len(sys.argv) != 2:
        fail("usage: register_calc.py CLASSPLAYER")
    player = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="cifrelle-calc.") as work:
        work = Path(work)
        folder = work / "classe"
        folder.mkdir()
        settings = work / "cifrelle.conf"
        settings.write_text(f"[record]\nfolder={folder}\nregister=true\n")
        for name, right, _ in GAMES:
            subprocess.run([player, str(settings), name, str(right)], check=True,
                           stdout=subprocess.DEVNULL)
        register = folder / "registro.csv"

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

    heading = subprocess.run([player, "--print-register-heading"], check=True,
                             stdout=subprocess.PIPE, text=True).stdout.rstrip("\n")
    if [text for _, _, _, text in rows[0]] != heading.split(";"):
        fail(f"the heading reads {rows[0]}")
    if len(rows) != 1 + len(GAMES):
        fail(f"{len(rows) - 1} games in the sheet, not {len(GAMES)}")
    best = 0
    for (name, right, shown), row in zip(GAMES, rows[1:]):
        if len(row) < 14:
            fail(f"the game of {name!r} has {len(row)} cells: {row}")
        formulas = [cell for cell in row if cell[1]]
        if formulas:
            fail(f"the game of {name!r} has a formula: {formulas}")
        kinds = [kind for kind, _, _, _ in row[:14]]
        expected = ["date", "time", "string"] + ["float"] * 8 + ["time", "string", "string"]
        if kinds != expected:
            fail(f"the game of {name!r} reads as {kinds}")
        if row[2][3] != shown:
            fail(f"the name {name!r} shows as {row[2][3]!r}, not {shown!r}")
        counts = [int(value) for _, _, value, _ in row[3:11]]
        if counts[0] != right or counts[1] != 0 or sum(counts[2::2]) != right:
            fail(f"the counts of {name!r} are {counts}")
        new_record = "sì" if right > best else "no"
        best = max(best, right)
        if [row[12][3], row[13][3]] != ["Esci", new_record]:
            fail(f"the game of {name!r} ended as {row[12][3]!r}, {row[13][3]!r}")
    print(f"register_calc.py: Calc reads {len(GAMES)} games, every cell as it should")


if __name__ == "__main__":
    main()
