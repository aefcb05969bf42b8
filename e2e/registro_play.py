#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The teacher's view, cifrelle-registro, as a teacher meets it, on the
register of a scripted class (registro_class.py), whose numbers are worked
out there on their own.

  window PROGRAM   (inside testsupport/run-under-xvfb.sh) the command line
                   first: a wrong option, a date that is none, a folder, a
                   pipe and a missing file, each with its status and its
                   message; the same register twice counted once; the PDF
                   and the CSV without a window. Then the window, over the
                   accessibility bus, from the keyboard alone: every cell
                   of the grid read with its heading; the periods "Questa
                   settimana" and "Dal … al …" (a day moved with the arrow
                   key); a pupil chosen in the grid, whose picture follows;
                   both exports through the file dialog. The CSV is read
                   back by LibreOffice Calc (headless), the PDF by poppler's
                   pdftotext: the same counts, shares and judgements
  orca PROGRAM     (inside run-under-xvfb.sh and run-orca.sh) what the real
                   screen reader says: a row of the grid with its headings,
                   the legend, the class picture's text alternative
"""

import datetime
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree
from pathlib import Path

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import registro_class as klass  # noqa: E402
from atspi_play import Failure, check  # noqa: E402

START = time.monotonic()
HEADINGS = (["Alunno", "Partite", "Tempo di gioco", "Ultima partita"]
            + [f"{level} {what}" for level in klass.LEVELS
               for what in ("esatte", "errate", "%", "giudizio")]
            + ["Da aiutare", "Errore più frequente"])
KEY_UP, KEY_DOWN, KEY_RETURN, KEY_TAB = 0xFF52, 0xFF54, 0xFF0D, 0xFF09


def log(message):
    print(f"[{time.monotonic() - START:6.2f}] {message}", flush=True)


# --- what must be shown -------------------------------------------------

def this_week():
    today = datetime.date.today()
    monday = today - datetime.timedelta(days=today.weekday())
    return monday, monday + datetime.timedelta(days=6)


def italian(day):
    return day.strftime("%d/%m/%Y")


def class_chart_text(games):
    """The class picture's text alternative, over every game."""
    levels = [[0, 0], [0, 0], [0, 0]]
    kinds = [0] * 7
    for game in games:
        for level, (r, w) in enumerate(game[3]):
            levels[level][0] += r
            levels[level][1] += w
        if game[6]:
            kinds = [a + b for a, b in zip(kinds, game[6])]
    parts = [f"{name.lower()} {klass.percent_shown(r, w)} ({r} su {r + w})"
             for name, (r, w) in zip(klass.LEVELS, levels)]
    text = "Risposte esatte della classe per livello: " + "; ".join(parts) + "."
    named = [f"{kind} {n}" for kind, n in zip(klass.KINDS, kinds) if n]
    return text + (" Errori per tipo: " + ", ".join(named) + "." if named else "")


# --- the command line ---------------------------------------------------

def run(program, *args, timeout=30):
    done = subprocess.run([program, *map(str, args)], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, timeout=timeout,
                          env=dict(os.environ, LC_ALL="C.UTF-8"))
    return done.returncode, done.stdout, done.stderr


def command_line(program, work, register, games):
    code, _, err = run(program, "--colore", "rosso")
    check(code == 2 and "opzione sconosciuta: --colore" in err and "Uso: cifrelle-registro" in err,
          f"a wrong option: {code} {err!r}")
    code, _, err = run(program, "--dal", "2026-02-30", "--csv", work / "x.csv", register)
    check(code == 2 and "--dal vuole una data AAAA-MM-GG" in err, f"a wrong date: {code} {err!r}")
    folder = work / "cartella"
    folder.mkdir()
    code, _, err = run(program, "--csv", work / "x.csv", folder)
    check(code == 1 and err.strip().endswith("è una cartella, non un registro."),
          f"a folder: {code} {err!r}")
    fifo = work / "pipe.csv"
    os.mkfifo(fifo)
    started = time.monotonic()
    code, _, err = run(program, "--csv", work / "x.csv", fifo, timeout=10)
    check(code == 1 and "non è un file normale" in err and time.monotonic() - started < 5,
          f"a pipe: {code} {err!r}")
    code, _, err = run(program, "--csv", work / "x.csv", work / "manca.csv")
    check(code == 1 and "non esiste" in err, f"a missing file: {code} {err!r}")
    check(not (work / "x.csv").exists(), "a CSV was written from bad input")
    log("the command line: a wrong option and date give 2 and the usage; a folder, a pipe, a "
        "missing file give 1 and their message")

    code, _, err = run(program, "--csv", work / "cli.csv", "--pdf", work / "cli.pdf", register)
    torn = klass.torn_line_number(games)
    check(code == 0, f"the exports without a window: {code} {err!r}")
    check(f"1 riga non letta in «{register}» (riga {torn})" in err,
          f"the torn line is not told: {err!r}")
    copy = work / "copia.csv"
    shutil.copy(register, copy)
    code, _, err = run(program, "--csv", work / "due.csv", register, copy)
    check(code == 0 and f"{len(games)} partite di «{copy}» erano già in un altro registro" in err,
          f"two registers: {code} {err!r}")
    check((work / "due.csv").read_bytes() == (work / "cli.csv").read_bytes(),
          "the same register twice counts twice")
    log(f"the exports without a window; line {torn} told as not read; the same register twice "
        "counted once")


# --- LibreOffice Calc and poppler -------------------------------------------

def calc_rows(csv, work):
    """The CSV as Calc imports it (";", UTF-8, Italian): per row, the cells
    as (type, formula, value, text)."""
    from register_calc import TABLE, cells
    done = subprocess.run(
        ["soffice", f"-env:UserInstallation=file://{work}/profile", "--headless",
         "--infilter=CSV:59,34,76,1,,1040", "--convert-to", "fods", "--outdir", str(work),
         str(csv)],
        env=dict(os.environ, HOME=str(work)), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
        timeout=120)
    sheet = work / (csv.stem + ".fods")
    check(done.returncode == 0 and sheet.exists(), f"Calc did not read {csv}: {done.stdout!r}")
    rows = [cells(r) for r in ElementTree.parse(sheet).iter(TABLE + "table-row")]
    return [r for r in rows if any(text for _, _, _, text in r)]


def check_csv(csv, rows, period_text, work):
    sheet = calc_rows(csv, work)
    check([text for _, _, _, text in sheet[0]] == klass.CSV_HEADING.split(";"),
          f"the heading reads {sheet[0]}")
    check(len(sheet) == len(rows) + 2, f"{len(sheet)} rows in the sheet for {len(rows)} pupils")
    for row, cells in zip(rows, sheet[1:]):
        expected = klass.csv_cells(row)
        formulas = [cell for cell in cells if cell[1]]
        check(not formulas, f"{row['alunno']!r}: a formula {formulas}")
        kinds = [kind for kind, _, _, _ in cells[:len(expected)]]
        check(kinds[0] == "string" and cells[0][3] == expected[0],
              f"the name {expected[0]!r} reads as {cells[0]}")
        check(kinds[1] == "float" and cells[1][2] == expected[1], f"{expected[0]}: {cells[1]}")
        check(kinds[2] == "time" and cells[2][3] == expected[2], f"{expected[0]}: {cells[2]}")
        if row["last"]:
            check(kinds[3] == "date" and cells[3][2].startswith(
                row["last"].strftime("%Y-%m-%dT%H:%M")), f"{expected[0]}: {cells[3]}")
        for i in range(4, 16):
            if (i - 4) % 4 == 3:
                check(kinds[i] == "string" and cells[i][3] == expected[i],
                      f"{expected[0]} column {i}: {cells[i]} for {expected[i]!r}")
            elif expected[i] == "":
                check(kinds[i] is None, f"{expected[0]} column {i}: {cells[i]}, not empty")
            else:
                check(kinds[i] == "float" and cells[i][2] == expected[i],
                      f"{expected[0]} column {i}: {cells[i]} for {expected[i]!r}")
        check(cells[16][3] == expected[16], f"{expected[0]}: {cells[16]}")
    check([text for _, _, _, text in sheet[-1][:2]] == ["periodo", period_text],
          f"the period reads {sheet[-1]}")


def check_pdf(pdf, rows, period_text):
    pages = subprocess.run(["pdftotext", "-layout", str(pdf), "-"], check=True,
                           stdout=subprocess.PIPE, text=True).stdout.split("\f")
    first = pages[0]
    check("Registro della classe" in first and period_text in first and "Creato il" in first,
          f"the first page lacks its title, period or date: {first[:300]!r}")
    grid = "\n".join(p for p in pages if "Registro della classe" in p)
    for row in rows:
        cells = klass.window_cells(row)[:16]
        pattern = r"\s+".join(re.escape(c).replace(r"\ ", r"\s+") for c in cells if c != "")
        check(re.search(pattern, grid), f"the PDF's grid has no row {cells}")
    played = [row for row in rows if row["partite"]]
    pupil_pages = [p for p in pages if "Partite nel periodo" in p]
    check(len(pupil_pages) == len(played), f"{len(pupil_pages)} pupils' pages for {len(played)}")
    for row, page in zip(played, pupil_pages):
        head = f"{row['alunno']}\n"
        check(page.lstrip().startswith(head), f"a pupil's page begins {page.lstrip()[:40]!r}")
        check(f"Partite: {row['partite']}. Tempo di gioco: {row['tempo']}." in page,
              f"{row['alunno']}'s page: {page[:300]!r}")
        for name, lv in zip(klass.LEVELS, row["levels"]):
            cells = [name, str(lv["esatte"]), str(lv["errate"]), lv["shown"], lv["giudizio"]]
            pattern = r"\s+".join(re.escape(c).replace(r"\ ", r"\s+") for c in cells if c)
            check(re.search(pattern, page), f"{row['alunno']}'s page has no {cells}")


# --- the window -----------------------------------------------------------

class Window:
    def __init__(self, program, register):
        import pyatspi
        from atspi_play import Bus, children
        self.pyatspi = pyatspi
        self.bus = Bus()
        self.process = subprocess.Popen([program, str(register)],
                                        env=dict(os.environ, LC_ALL="C.UTF-8"),
                                        stderr=subprocess.PIPE, text=True)
        self.app = self.bus.wait("the program on the bus", lambda: next(
            (a for a in children(pyatspi.Registry.getDesktop(0))
             if a is not None and a.get_process_id() == self.process.pid), None), 20)
        self.frame = self.toplevel("Registro della classe — ", pyatspi.ROLE_FRAME)
        self.table = self.find(lambda a: a.getRole() == pyatspi.ROLE_TABLE and a.name == "Alunni")

    def toplevel(self, title, *roles, timeout=10):
        from atspi_play import children, showing
        try:
            return self.bus.wait(f"the window {title!r}", lambda: next(
                (t for t in children(self.app) if t is not None and t.getRole() in roles
                 and t.name.startswith(title) and showing(t)), None), timeout)
        except Failure:
            shown = [(t.getRoleName(), t.name) for t in children(self.app) if t is not None]
            raise Failure(f"no window {title!r}; the program shows {shown}") from None

    def find(self, predicate, root=None):
        from atspi_play import descendants
        return self.bus.wait("a control", lambda: next(
            (a for a in descendants(root or self.frame) if predicate(a)), None))

    def named(self, name):
        return self.find(lambda a: a.name == name)

    def grid(self):
        table = self.table.queryTable()
        headers = [table.getColumnHeader(c).name for c in range(table.nColumns)]
        check(headers == HEADINGS, f"the grid's headings are {headers}")
        return [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)]
                for r in range(table.nRows)]

    def check_grid(self, rows, what):
        shown = self.bus.wait(f"the grid of {what}", lambda: (
            lambda g: g if len(g) == len(rows) and g[0][0] == "Alunno: " + rows[0]["alunno"]
            else None)(self.grid()))
        for row, cells in zip(rows, shown):
            expected = [f"{h}: {c or 'nessuno'}" for h, c in zip(HEADINGS, klass.window_cells(row))]
            check(cells == expected, f"{what}: the row {cells} is not {expected}")

    def keys(self, *keys, modifier=0):
        from atspi_play import press
        if modifier:
            self.pyatspi.Registry.generateKeyboardEvent(modifier, None,
                                                        self.pyatspi.KEY_LOCKMODIFIERS)
        try:
            for key in keys:
                press(key)
                self.bus.pump(0.15)
        finally:
            if modifier:
                self.pyatspi.Registry.generateKeyboardEvent(modifier, None,
                                                            self.pyatspi.KEY_UNLOCKMODIFIERS)

    def alt(self, letter):
        self.keys(ord(letter), modifier=1 << 3)

    def title_is(self, title):
        self.bus.wait(f"the title {title!r}", lambda: self.frame.name == title)

    def export(self, letter, dialog, path):
        from atspi_play import type_text
        self.alt(letter)
        self.toplevel(dialog, self.pyatspi.ROLE_DIALOG)
        self.keys(ord("a"), modifier=1 << 2)  # the name's field: all of it
        type_text(self.bus, str(path))
        self.keys(KEY_RETURN)
        self.toplevel("Registro della classe", self.pyatspi.ROLE_DIALOG, self.pyatspi.ROLE_ALERT)
        self.bus.wait(f"{path}", path.exists)
        self.keys(KEY_RETURN)

    def close(self):
        self.alt("h")
        try:
            check(self.process.wait(10) == 0, "the window did not end with status 0")
        finally:
            if self.process.poll() is None:
                self.process.kill()


def window(program, work, register, games):
    rows = klass.expected_rows(games)
    w = Window(program, register)
    try:
        check(w.frame.name == "Registro della classe — Tutte le partite", w.frame.name)
        torn = klass.torn_line_number(games)
        summary = w.find(lambda a: "1 riga non letta" in a.name)
        check(f"(riga {torn})" in summary.name, f"the window says {summary.name!r}")
        check(w.find(lambda a: a.name.startswith("Legenda. Giudizio di ogni livello: pochi dati, "
                                                 "meno di 10 risposte; sicuro, almeno il 90 %")),
              "no legend")
        w.check_grid(rows, "every game")
        chart = w.named("Grafico della classe")
        check(chart.description == class_chart_text(games),
              f"the class picture reads {chart.description!r}")
        log(f"the window: {len(rows)} pupils, every cell read with its heading as worked out; "
            "the legend; the class picture's text")

        # The period, from the keyboard.
        monday, sunday = this_week()
        w.alt("p")
        w.keys(KEY_UP, KEY_UP)
        w.title_is(f"Registro della classe — Questa settimana, dal {italian(monday)} al "
                   f"{italian(sunday)}")
        w.check_grid(klass.expected_rows(games, monday, sunday), "this week")
        w.keys(KEY_DOWN, KEY_DOWN, KEY_DOWN)
        first = min(g[0] for g in games).date()
        last = max(g[0] for g in games).date()
        w.title_is(f"Registro della classe — Dal {italian(first)} al {italian(last)}")
        w.alt("d")
        w.keys(KEY_UP)
        first += datetime.timedelta(days=1)
        w.title_is(f"Registro della classe — Dal {italian(first)} al {italian(last)}")
        w.check_grid(klass.expected_rows(games, first, last), "a range less its first day")
        w.alt("p")
        w.keys(KEY_UP)
        w.title_is("Registro della classe — Tutte le partite")
        log("the periods from the keyboard: this week, a range and a day taken off it, all")

        # A pupil, from the keyboard.
        w.alt("a")
        w.keys(KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN)
        pupil = w.bus.wait("the picture of the fifth pupil", lambda: next(
            (a for a in [w.find(lambda a: a.name.startswith("Grafico di "))]
             if a.name == "Grafico di " + rows[4]["alunno"]), None))
        check(pupil.description.startswith(rows[4]["alunno"] + ", risposte esatte per livello "
                                            "settimana per settimana: settimana dal "),
              f"the pupil's picture reads {pupil.description!r}")
        log(f"the grid from the keyboard: the fifth pupil, {rows[4]['alunno']!r}, and their picture")

        # The exports, from the keyboard.
        pdf, csv = work / "finestra.pdf", work / "finestra.csv"
        w.export("f", "Esporta PDF", pdf)
        w.export("c", "Esporta CSV", csv)
        w.close()
        log("both exports through the file dialog from the keyboard; closed with Alt+H")
    finally:
        if w.process.poll() is None:
            w.process.kill()

    check(csv.read_bytes() == (work / "cli.csv").read_bytes(),
          "the window's CSV is not the command line's")
    check_csv(csv, rows, "Tutte le partite", work)
    log("LibreOffice Calc reads the CSV: every count, share and judgement as worked out, "
        "the names text, no formula")
    check_pdf(pdf, rows, "Tutte le partite")
    check_pdf(work / "cli.pdf", rows, "Tutte le partite")
    log("pdftotext reads both PDFs: the grid and every pupil's page as worked out")


# --- the screen reader ----------------------------------------------------

def orca(program, register, games):
    from orca_play import Transcript
    rows = klass.expected_rows(games)
    transcript = Transcript(os.environ["ORCA_TRANSCRIPT"])
    w = Window(program, register)
    try:
        transcript.wait("the window", r"^Registro della classe — Tutte le partite frame", 20)
        w.alt("a")
        transcript.wait("the grid", r"^table with 25 rows 18 columns")
        w.keys(KEY_DOWN)
        for heading, cell in zip(HEADINGS, klass.window_cells(rows[1])):
            transcript.wait(f"{heading} of the second row",
                            "^" + re.escape(f"{heading}: {cell or 'nessuno'}"))
        log(f"Orca reads the second row with its headings: {rows[1]['alunno']!r} and its "
            f"{len(HEADINGS) - 1} cells")
        w.keys(KEY_TAB, modifier=1)  # Shift+Tab: the legend
        transcript.wait("the legend", r"^Legenda\. Giudizio di ogni livello: pochi dati, meno di "
                        r"10 risposte; sicuro, almeno il 90 % esatte; quasi, almeno il 70 %; da "
                        r"rivedere, meno del 70 %\. Da aiutare: chi ha almeno un livello da "
                        r"rivedere\.")
        w.keys(KEY_TAB, KEY_TAB)
        transcript.wait("the class picture", r"^Grafico della classe image")
        transcript.wait("its text", "^" + re.escape(class_chart_text(games)))
        log("Orca reads the legend and the class picture's text alternative")
        w.close()
    finally:
        if w.process.poll() is None:
            w.process.kill()


def main():
    check(len(sys.argv) == 3 and sys.argv[1] in ("window", "orca"),
          "usage: registro_play.py window|orca PROGRAM")
    mode, program = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="cifrelle-registro.") as work:
        work = Path(work)
        register, games = klass.write_class(work)
        if mode == "window":
            command_line(program, work, register, games)
            window(program, work, register, games)
        else:
            orca(program, register, games)
    log("passed")


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print(f"registro_play.py: FAILED: {failure}", file=sys.stderr)
        sys.exit(1)
