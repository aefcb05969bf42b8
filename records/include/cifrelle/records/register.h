// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace cifrelle::records {

// The teacher's register: one line per game in "registro.csv" beside the
// record files, kept only when the school turns it on. A spreadsheet file
// as an Italian teacher's LibreOffice Calc or Excel opens it: UTF-8 with a
// byte-order mark, fields separated by ";", lines ended by CR LF. Its
// columns are the table registerColumns() gives, in order: the heading line
// and every game's line are made from it, and a register is read back with
// it.
inline constexpr std::string_view registerFileName = "registro.csv";

// How a game ended.
enum class GameEnding {
    Exit,          // "Esci"
    TimeUp,        // the clock ran out
    WindowClosed,  // the window closed from its title bar (no record saved)
    SessionClosed, // the desktop session ended (logout, shutdown, a signal
                   // to end): no record saved
};

// The kinds of wrong answers, in the order of their columns.
enum class Mistake {
    Point,      // a point instead of the comma
    Decimals,   // the right value with another count of decimals
    NotRounded, // the number as shown, not rounded
    CutOff,     // cut off where rounding goes up ("per difetto")
    RoundedUp,  // rounded up where it goes down ("per eccesso")
    Level,      // rounded to another level's place
    Other,      // anything else
};
inline constexpr int mistakeKinds = 7;

// The kind's word in the register and for the teacher: "punto",
// "decimali", "non arrotondato", "per difetto", "per eccesso", "livello",
// "altro".
std::string_view mistakeName(Mistake kind);

// Local date and time.
struct LocalTime {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const LocalTime&, const LocalTime&) = default;
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
    // The wrong answers by kind, indexed by Mistake; their sum is `wrong`.
    std::array<int, mistakeKinds> wrongByKind{};
    // The account that played and the computer it played on, as the system
    // names them (UTF-8).
    std::string account;
    std::string computer;
};

// One column of the register: its heading, how a game's field is written
// (the text as it goes into the file, quoted where needed), and how a field
// read back (unquoted) sets the game's value; read returns false on a field
// that is not one this column writes.
struct RegisterColumn {
    std::string_view heading;
    std::string (*write)(const GameSummary& game);
    bool (*read)(std::string_view field, GameSummary& game);
};

// Every column, in the order of the file.
std::span<const RegisterColumn> registerColumns();

// How many columns the first registers had ("data" to "nuovo record"): a
// file made then keeps that heading, and its lines are read with those
// columns alone.
inline constexpr std::size_t firstRegisterColumns = 14;

// What a new register begins with: the byte-order mark and the line of
// column headings, CR LF included.
const std::string& registerHeading();

// The game's line, CR LF included. A text field keeps every character but
// line breaks (each one blank, as in the name file); a field holding ";",
// '"' or a blank at either end is put in double quotes (a '"' doubled), and
// a text that a spreadsheet would take for a formula (beginning with "=",
// "+", "-", "@", a tab or a carriage return) is written after a "'".
std::string registerLine(const GameSummary& game);

// A text as one field of a spreadsheet line, as the register writes a
// name (the rules of registerLine()): for other files of the same kind.
std::string spreadsheetField(std::string_view text);

// A name as one line: each line break (CR LF, CR, LF and the other breaks
// Unicode knows) becomes one blank.
std::string oneLine(std::string_view name);

} // namespace cifrelle::records
