// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace cifrelle::records {

// The teacher's register: one line per game in "registro.csv" beside the
// record files, kept only when the school turns it on. A spreadsheet file
// as an Italian teacher's LibreOffice Calc or Excel opens it: UTF-8 with a
// byte-order mark, fields separated by ";", lines ended by CR LF.
inline constexpr std::string_view registerFileName = "registro.csv";

// What the file begins with when a game makes it: the byte-order mark and
// the line of column names.
inline constexpr std::string_view registerHeading =
    "\xEF\xBB\xBF"
    "data;ora;nome;esatte;errate;decimi esatte;decimi errate;centesimi esatte;"
    "centesimi errate;millesimi esatte;millesimi errate;durata;fine;nuovo record\r\n";

// How a game ended.
enum class GameEnding {
    Exit,         // "Esci"
    TimeUp,       // the clock ran out
    WindowClosed, // the window closed from its title bar (no record saved)
};

// Local date and time.
struct LocalTime {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// One game, as the register keeps it.
struct GameSummary {
    LocalTime ended;
    std::string name; // as typed, UTF-8
    int right = 0;
    int wrong = 0;
    // Per level: tenths, hundredths, thousandths.
    std::array<int, 3> rightByLevel{};
    std::array<int, 3> wrongByLevel{};
    int secondsPlayed = 0;
    GameEnding ending = GameEnding::Exit;
    bool newRecord = false;
};

// The game's line, CR LF included. The name keeps every character but
// line breaks (each one blank, as in the name file); a field holding ";",
// '"' or a blank at either end is put in double quotes (a '"' doubled),
// and a name that a spreadsheet would take for a formula (beginning with
// "=", "+", "-", "@", a tab or a carriage return) is written after a "'".
std::string registerLine(const GameSummary& game);

// A name as one line: each line break (CR LF, CR, LF and the other breaks
// Unicode knows) becomes one blank.
std::string oneLine(std::string_view name);

} // namespace cifrelle::records
