#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Plays Cifrelle by ear: keys go to the real window as X key events, and
everything the script knows about the game it learns from what the real
screen reader, Orca, speaks (its transcript, $ORCA_TRANSCRIPT).

Run it inside testsupport/run-under-xvfb.sh and run-orca.sh. Modes:

  game GAME      a whole game (GAME is cifrelle-orcaclock, whose clock
                 the script makes fast at the end): the first window, a wrong
                 answer, where-am-I, a right answer and the new exercise,
                 the Help boxes, the time left, the clock running out while
                 another game holds the record's lock (the notice, then the
                 way out "Esci senza salvare", not taken) and, once the
                 lock is let go, the record box; then a shorter game with the machine
                 loaded (two busy processes): where-am-I pressed again and
                 again, an answer, the Help boxes. In both, each exercise
                 is heard once, no where-am-I counts as an answer, and
                 every Help box is read whole
  loaded GAME    the loaded game alone
  latency GAME   N right answers in a row; prints the time from each Enter
                 to the first word Orca speaks, and their median
"""

import argparse
import fcntl
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time
from datetime import datetime, timedelta

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_play import Failure, check, rounded_key  # noqa: E402

LEVELS = {"decimi": 1, "centesimi": 2, "millesimi": 3}
HELP = [
    " Se vuoi approssimare ai decimi (quindi devi avere una sola cifra decimale), osserva la "
    "seconda cifra decimale se questa è maggiore di 4 (ossia 5,6,7,8,9)  aumenta di un'unità "
    "la cifra dei decimi, altrimenti effettua una semplice approssimazione per difetto "
    "cancellando le cifre successive ai decimi",
    "Esempio:     4,65 approssimato alla prima cifra decimale è uguale a 4,7 Approssimazione "
    "per eccesso",
    "Esempio2:    4,64 approssimato alla prima cifra decimale è uguale a 4,6 Approssimazione "
    "per difetto",
]
WINDOW = "Gioca con le Cifrelle"
NOTICE = "Sto salvando il record, attendi un momento."
WAY_OUT = "Esci senza salvare"
TIME_LEFT = r"\. Tempo restante \d+ minut[io]( e \d+ second[io])?\."
EXERCISE = re.compile(r"Approssima ai (decimi|centesimi|millesimi): (\d+)((?: virgola(?: \d)+)?)")
START = time.monotonic()


def log(message):
    print(f"[{time.monotonic() - START:6.2f}] {message}", flush=True)


class Transcript:
    """What Orca has spoken, read as it is written."""

    # The utterance, then the voice's settings when it has any.
    LINE = re.compile(r"^(\d\d:\d\d:\d\d\.\d+) - SPEECH OUTPUT: '(.*)' ?(\{.*\})?$")
    # What Orca is told: a window activated, an object that took the focus.
    EVENT = re.compile(r"^(\d\d:\d\d:\d\d\.\d+) - EVENT MANAGER: (window:activate|"
                       r"object:state-changed:focused) for \[(.*?)\] in \[application \| "
                       r"cifrelle\] \((\d)")

    def __init__(self, path):
        self.path = path
        self.lines = []  # (wall-clock time, utterance)
        self.events = []  # (wall-clock time, event, [role | name]) of the game
        self._offset = 0
        self._rest = ""
        self.mark = 0

    def _read(self):
        with open(self.path, encoding="utf-8", errors="replace") as f:
            f.seek(self._offset)
            chunk = f.read()
            self._offset = f.tell()
        text = self._rest + chunk
        *complete, self._rest = text.split("\n")
        today = datetime.now().date()
        def when(m):
            return datetime.combine(today, datetime.strptime(m.group(1), "%H:%M:%S.%f").time())
        for line in complete:
            m = self.LINE.match(line)
            if m:
                self.lines.append((when(m), m.group(2)))
            m = self.EVENT.match(line)
            if m and (m.group(2) == "window:activate" or m.group(4) == "1"):
                self.events.append((when(m), m.group(2), m.group(3)))

    def wait(self, what, pattern, timeout=10.0):
        """Waits for an utterance after the mark that matches `pattern` (a
        regular expression searched in it); moves the mark past it."""
        regex = re.compile(pattern)
        end = time.monotonic() + timeout
        while True:
            self._read()
            for i in range(self.mark, len(self.lines)):
                m = regex.search(self.lines[i][1])
                if m:
                    self.mark = i + 1
                    return self.lines[i][0], m
            if time.monotonic() > end:
                heard = [u for _, u in self.lines[self.mark:]][-8:]
                raise Failure(f"Orca did not say {what} (pattern {pattern!r}); it said {heard}")
            time.sleep(0.02)

    def since(self, index):
        self._read()
        return [u for _, u in self.lines[index:]]

    def heard(self, text, start, end=None):
        """How many utterances from line `start` on (to line `end`) hold `text`."""
        return sum(text in u for u in self.since(start)[:None if end is None else end - start])

    def told(self, what, start, end):
        """The objects Orca was told of between two times, for events
        `what` (activations or focus)."""
        self._read()
        return [o for t, e, o in self.events if start <= t <= end and e == what]


def key(*names):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *names], check=True)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "20", text], check=True)


def exercise_of(match):
    """(level decimals, number text, the exercise as said) from a match of
    EXERCISE."""
    whole, decimals = match.group(2), match.group(3).split()[1:]
    number = whole + ("," + "".join(decimals) if decimals else "")
    said = f"Approssima ai {match.group(1)}: {match.group(2)}{match.group(3)}"
    return LEVELS[match.group(1)], number, said


def start(binary, data, transcript, name):
    env = dict(os.environ, XDG_DATA_HOME=data, LC_ALL="C.UTF-8",
               CIFRELLE_FAST_CLOCK_FILE=os.path.join(data, "fast-clock"))
    game = subprocess.Popen([binary], env=env)
    try:
        transcript.wait("the name box", r"^Come ti chiami\? text", 30)
        type_text(name)
        key("Return")
        transcript.wait("the greeting", rf"^ {name} vediamo se sei un vero campione  $")
        key("Return")
    except BaseException:
        game.kill()
        game.wait()
        raise
    return game


def answer(transcript, text):
    """Types `text` over what the box holds and, once Orca has echoed the
    last key typed (as a player hears it), presses Enter; returns the
    wall-clock time of the Enter."""
    key("ctrl+a")
    type_text(text)
    last = {",": "comma", ".": "dot"}.get(text[-1], text[-1])
    transcript.wait(f"the echo of {last!r}", rf"^{re.escape(last)} $")
    sent = datetime.now()
    key("Return")
    return sent


def first_exercise(transcript, start):
    """The first exercise, heard once: the answer box reads it as the focus
    comes in (no notification of it besides). Returns it as exercise_of()."""
    _, m = transcript.wait("the first exercise", r"^" + EXERCISE.pattern + TIME_LEFT, 30)
    level, number, said = exercise_of(m)
    check(transcript.heard(said, start, transcript.mark) == 1,
          f"the first exercise was heard more than once: {transcript.since(start)}")
    return level, number, said


def where_am_i(transcript, said, typed):
    """Where-am-I (keypad Enter) in the answer box: what it holds, the
    exercise and the time left."""
    key("KP_Enter")
    _, m = transcript.wait("where-am-I", re.escape(said) + TIME_LEFT, 30)
    heard = transcript.since(transcript.mark - 3)
    check(any(u.rstrip(".") == typed for u in heard),
          f"where-am-I did not read the answer typed {typed!r}: {heard}")
    return m.group(0)


def right_answer(transcript, answer_text, wrong):
    """A right answer: praise, counts (no where-am-I among them) and the new
    exercise, heard once; the set-up's focus moves reach nobody."""
    start = len(transcript.since(0))
    sent = answer(transcript, answer_text)
    _, m = transcript.wait("the praise, counts and new exercise",
                           rf"^notification Sei veramente ok\. Risposte esatte 1, errate {wrong}\. "
                           + EXERCISE.pattern, 30)
    spoken = datetime.now()
    level, number, said = exercise_of(m)
    check(transcript.heard(said, start) == 1,
          f"the new exercise was heard more than once: {transcript.since(start)}")
    focus = transcript.told("object:state-changed:focused", sent, spoken)
    check(not any("Inizio" in o for o in focus), f"Orca was told the focus went by: {focus}")
    return level, number, said


def read_help(transcript):
    """The Help boxes, each read whole, with the window never coming back
    between them; then back in the answer box."""
    key("alt+h")
    read = []
    for text in HELP:
        when, _ = transcript.wait(f"the Help box {text[:20]!r}", "^" + re.escape(text) + r"\.$",
                                  30)
        read.append(when)
        key("Return")
    transcript.wait("the answer box again", r"^La tua approssimazione text", 30)
    between = transcript.told("window:activate", read[0], read[-1])
    check(not any(WINDOW in o for o in between),
          f"the window took the focus back between the Help boxes: {between}")


def scenario_game(binary):
    transcript = Transcript(os.environ["ORCA_TRANSCRIPT"])
    with tempfile.TemporaryDirectory(prefix="cifrelle-data.") as data:
        game = start(binary, data, transcript, "Ugo")
        try:
            # The first window: the exercise heard once.
            level, number, said = first_exercise(transcript, 0)
            log(f"first exercise: {said!r}")

            right = rounded_key(number, level)
            wrong = right.replace(",", ".")
            answer(transcript, wrong)
            transcript.wait("the warning with the counts",
                            r"^notification Fai attenzione\. Risposte esatte 0, errate 1\.$")
            log("wrong answer: warning and counts spoken")

            log(f"where-am-I: {where_am_i(transcript, said, wrong)!r}")
            level, number, said = right_answer(transcript, right, 1)
            log(f"right answer: praise, counts and {said!r} heard once")

            read_help(transcript)
            log("three Help boxes read whole")

            # Another game holds the record's lock as the clock runs out.
            lock = os.open(os.path.join(data, "cifrelle", ".cifrel.lock"), os.O_RDWR)
            fcntl.lockf(lock, fcntl.LOCK_EX)
            # The time left at the colour changes and the last minute, with
            # the clock made fast from here on.
            open(os.path.join(data, "fast-clock"), "w").close()
            for minutes in ("5 minuti", "1 minuto"):
                transcript.wait(f"{minutes} left", rf"^notification Tempo restante {minutes}\.$",
                                60)
            log("time left spoken at 5 minutes and at the last minute")

            # The save waits: the notice, then (2 s later in this build) the
            # way out, which takes the focus and is read with the notice.
            told, _ = transcript.wait("the notice", rf"^notification {re.escape(NOTICE)}$", 60)
            offered, _ = transcript.wait("the way out", rf"^{WAY_OUT} push button", 10)
            transcript.wait("the notice read with the way out", rf"^{re.escape(NOTICE)}$", 5)
            log(f"lock held: the notice spoken, {(offered - told).total_seconds():.1f} s later "
                "the way out with the focus, read with the notice")
            os.close(lock)
            transcript.wait("the record box", r"Ok ho registrato il tuo record, C A M P I O N E",
                            60)
            key("Return")
            status = game.wait(10)
            check(status == 0, f"the game ended with status {status}")
            heard = transcript.since(0)
            for minutes in ("13 minuti", "10 minuti"):
                check(f"notification Tempo restante {minutes}." in heard, f"{minutes} not spoken")
            log("clock ran out: record box spoken, status 0")
        finally:
            if game.poll() is None:
                game.kill()
                game.wait()


def scenario_loaded(binary):
    """A shorter game with two busy processes on the cores: where-am-I
    pressed again and again never counts, no text is lost, each exercise
    is heard once."""
    transcript = Transcript(os.environ["ORCA_TRANSCRIPT"])
    transcript.mark = len(transcript.since(0))
    start_line = transcript.mark
    busy = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(2)]
    try:
        with tempfile.TemporaryDirectory(prefix="cifrelle-data.") as data:
            game = start(binary, data, transcript, "Ada")
            try:
                level, number, said = first_exercise(transcript, start_line)
                right = rounded_key(number, level)
                wrong = right.replace(",", ".")
                answer(transcript, wrong)
                transcript.wait("the warning with the counts",
                                r"^notification Fai attenzione\. Risposte esatte 0, errate 1\.$",
                                30)
                for _ in range(3):
                    where_am_i(transcript, said, wrong)
                level, number, said = right_answer(transcript, right, 1)
                log("loaded: three where-am-I, none counted; each exercise heard once")
                read_help(transcript)
                log("loaded: three Help boxes read whole")
            finally:
                game.kill()
                game.wait()
    finally:
        for process in busy:
            process.kill()
            process.wait()


def scenario_latency(binary, answers):
    transcript = Transcript(os.environ["ORCA_TRANSCRIPT"])
    with tempfile.TemporaryDirectory(prefix="cifrelle-data.") as data:
        game = start(binary, data, transcript, "Ugo")
        try:
            _, m = transcript.wait("the first exercise", r"^notification " + EXERCISE.pattern)
            delays = []
            for n in range(1, answers + 1):
                level, number, _ = exercise_of(m)
                sent = answer(transcript, rounded_key(number, level))
                # Orca echoes the Enter key itself first; the game's answer is
                # the notification.
                spoken, m = transcript.wait(
                    f"answer {n}", rf"^notification Sei veramente ok\. Risposte esatte {n}, "
                    r"errate 0\. " + EXERCISE.pattern)
                delays.append((spoken - sent) / timedelta(milliseconds=1))
            log("Enter to speech (ms): " + " ".join(f"{d:.0f}" for d in delays))
            log(f"median {statistics.median(delays):.0f} ms over {len(delays)} answers")
        finally:
            game.kill()
            game.wait()
    if os.environ.get("ORCA_PRINT_TRANSCRIPT"):
        for line in transcript.since(0):
            print(f"SPEECH OUTPUT: '{line}'")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("mode", choices=["game", "loaded", "latency"])
    parser.add_argument("binary")
    parser.add_argument("--answers", type=int, default=20)
    args = parser.parse_args()
    try:
        if args.mode in ("game", "loaded"):
            if args.mode == "game":
                scenario_game(args.binary)
            scenario_loaded(args.binary)
        else:
            scenario_latency(args.binary, args.answers)
    except Failure as failure:
        log(f"FAILED: {failure}")
        return 1
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
