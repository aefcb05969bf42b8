// SPDX-License-Identifier: GPL-3.0-or-later
// The teacher's register: its columns, each with its heading, how a game's
// field is written and how it is read back. A column added later is one
// more row of the table below.

#include "cifrelle/records/register.h"

#include <cstdio>

namespace cifrelle::records {

namespace {

// --- writing ------------------------------------------------------------------

// Two digits at least: 7 is "07".
std::string twoDigits(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string timeOfDay(int hour, int minute, int second)
{
    return twoDigits(hour) + ':' + twoDigits(minute) + ':' + twoDigits(second);
}

constexpr std::string_view endingTexts[] = {"Esci", "tempo scaduto", "finestra chiusa",
                                            "sessione chiusa"};

constexpr std::string_view formulaStarts = "=+-@\t\r";

// A text a spreadsheet would run as a formula is written after a "'",
// which keeps it text.
std::string neverAFormula(std::string text)
{
    if (!text.empty() && formulaStarts.find(text.front()) != std::string_view::npos)
        text.insert(text.begin(), '\'');
    return text;
}

// A field as a spreadsheet reads it back whole: quoted when it holds the
// separator or a quote, or begins or ends with a blank.
std::string quoted(std::string text)
{
    const bool quote = text.find_first_of(";\"") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote)
        return text;
    std::string result = "\"";
    for (char c : text) {
        if (c == '"')
            result += '"';
        result += c;
    }
    return result + '"';
}

// A text typed or given by the system, as one field of one line.
std::string textField(std::string_view text)
{
    return quoted(neverAFormula(oneLine(text)));
}

// --- reading ------------------------------------------------------------------

// A count: decimal digits only, at most nine of them.
bool readCount(std::string_view field, int& value)
{
    if (field.empty() || field.size() > 9)
        return false;
    int read = 0;
    for (char c : field) {
        if (c < '0' || c > '9')
            return false;
        read = read * 10 + (c - '0');
    }
    value = read;
    return true;
}

// Exactly `digits` decimal digits.
bool readDigits(std::string_view field, std::size_t digits, int& value)
{
    return field.size() == digits && readCount(field, value);
}

// "hh:mm:ss", hours of two digits or more (`hoursLimit`: the largest).
bool readClock(std::string_view field, int hoursLimit, int& hours, int& minutes, int& seconds)
{
    const std::size_t colon = field.find(':');
    if (colon < 2 || field.size() != colon + 6 || field[colon + 3] != ':')
        return false;
    return readCount(field.substr(0, colon), hours) && hours <= hoursLimit &&
           readDigits(field.substr(colon + 1, 2), 2, minutes) && minutes < 60 &&
           readDigits(field.substr(colon + 4, 2), 2, seconds) && seconds < 60;
}

bool leapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// "AAAA-MM-GG", a day of the calendar.
bool readDate(std::string_view field, LocalTime& t)
{
    if (field.size() != 10 || field[4] != '-' || field[7] != '-')
        return false;
    if (!readDigits(field.substr(0, 4), 4, t.year) || !readDigits(field.substr(5, 2), 2, t.month) ||
        !readDigits(field.substr(8, 2), 2, t.day))
        return false;
    static constexpr int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= days[t.month - 1] &&
           (t.month != 2 || t.day < 29 || leapYear(t.year));
}

// A text field as written: the "'" put before a formula's first character
// is not part of it.
bool readText(std::string_view field, std::string& text)
{
    if (field.size() >= 2 && field.front() == '\'' &&
        formulaStarts.find(field[1]) != std::string_view::npos)
        field.remove_prefix(1);
    text.assign(field);
    return true;
}

template <int level>
std::string writeRight(const GameSummary& g)
{
    return std::to_string(g.rightByLevel[level]);
}
template <int level>
std::string writeWrong(const GameSummary& g)
{
    return std::to_string(g.wrongByLevel[level]);
}
template <int level>
bool readRight(std::string_view f, GameSummary& g)
{
    return readCount(f, g.rightByLevel[level]);
}
template <int level>
bool readWrong(std::string_view f, GameSummary& g)
{
    return readCount(f, g.wrongByLevel[level]);
}
template <Mistake kind>
std::string writeMistakes(const GameSummary& g)
{
    return std::to_string(g.wrongByKind[static_cast<int>(kind)]);
}
template <Mistake kind>
bool readMistakes(std::string_view f, GameSummary& g)
{
    return readCount(f, g.wrongByKind[static_cast<int>(kind)]);
}

// The longest game the register may tell: far beyond fifteen minutes, for
// a window left open.
constexpr int hoursLimit = 9999;

const RegisterColumn columns[] = {
    {"data",
     [](const GameSummary& g) {
         char text[32];
         std::snprintf(text, sizeof text, "%04d-%02d-%02d", g.ended.year, g.ended.month,
                       g.ended.day);
         return std::string(text);
     },
     [](std::string_view f, GameSummary& g) { return readDate(f, g.ended); }},
    {"ora",
     [](const GameSummary& g) { return timeOfDay(g.ended.hour, g.ended.minute, g.ended.second); },
     [](std::string_view f, GameSummary& g) {
         return readClock(f, 23, g.ended.hour, g.ended.minute, g.ended.second) && f.find(':') == 2;
     }},
    {"nome", [](const GameSummary& g) { return textField(g.name); },
     [](std::string_view f, GameSummary& g) { return readText(f, g.name); }},
    {"esatte", [](const GameSummary& g) { return std::to_string(g.right); },
     [](std::string_view f, GameSummary& g) { return readCount(f, g.right); }},
    {"errate", [](const GameSummary& g) { return std::to_string(g.wrong); },
     [](std::string_view f, GameSummary& g) { return readCount(f, g.wrong); }},
    {"decimi esatte", writeRight<0>, readRight<0>},
    {"decimi errate", writeWrong<0>, readWrong<0>},
    {"centesimi esatte", writeRight<1>, readRight<1>},
    {"centesimi errate", writeWrong<1>, readWrong<1>},
    {"millesimi esatte", writeRight<2>, readRight<2>},
    {"millesimi errate", writeWrong<2>, readWrong<2>},
    {"durata",
     [](const GameSummary& g) {
         const int s = g.secondsPlayed;
         return timeOfDay(s / 3600, s / 60 % 60, s % 60);
     },
     [](std::string_view f, GameSummary& g) {
         int h = 0, m = 0, s = 0;
         if (!readClock(f, hoursLimit, h, m, s))
             return false;
         g.secondsPlayed = h * 3600 + m * 60 + s;
         return true;
     }},
    {"fine",
     [](const GameSummary& g) { return std::string(endingTexts[static_cast<int>(g.ending)]); },
     [](std::string_view f, GameSummary& g) {
         for (std::size_t i = 0; i < std::size(endingTexts); ++i) {
             if (f == endingTexts[i]) {
                 g.ending = static_cast<GameEnding>(i);
                 return true;
             }
         }
         return false;
     }},
    {"nuovo record", [](const GameSummary& g) { return std::string(g.newRecord ? "sì" : "no"); },
     [](std::string_view f, GameSummary& g) {
         g.newRecord = f == "sì";
         return g.newRecord || f == "no";
     }},
    {"errori punto", writeMistakes<Mistake::Point>, readMistakes<Mistake::Point>},
    {"errori decimali", writeMistakes<Mistake::Decimals>, readMistakes<Mistake::Decimals>},
    {"errori non arrotondato", writeMistakes<Mistake::NotRounded>,
     readMistakes<Mistake::NotRounded>},
    {"errori per difetto", writeMistakes<Mistake::CutOff>, readMistakes<Mistake::CutOff>},
    {"errori per eccesso", writeMistakes<Mistake::RoundedUp>, readMistakes<Mistake::RoundedUp>},
    {"errori livello", writeMistakes<Mistake::Level>, readMistakes<Mistake::Level>},
    {"errori altro", writeMistakes<Mistake::Other>, readMistakes<Mistake::Other>},
    {"utente", [](const GameSummary& g) { return textField(g.account); },
     [](std::string_view f, GameSummary& g) { return readText(f, g.account); }},
    {"computer", [](const GameSummary& g) { return textField(g.computer); },
     [](std::string_view f, GameSummary& g) { return readText(f, g.computer); }},
};

} // namespace

std::string_view mistakeName(Mistake kind)
{
    static constexpr std::string_view names[mistakeKinds] = {
        "punto", "decimali", "non arrotondato", "per difetto", "per eccesso", "livello", "altro"};
    return names[static_cast<int>(kind)];
}

std::span<const RegisterColumn> registerColumns()
{
    return columns;
}

const std::string& registerHeading()
{
    static const std::string heading = [] {
        std::string line = "\xEF\xBB\xBF";
        for (const RegisterColumn& column : columns) {
            if (&column != columns)
                line += ';';
            line += column.heading;
        }
        return line + "\r\n";
    }();
    return heading;
}

std::string oneLine(std::string_view name)
{
    static constexpr std::string_view breaks[] = {
        "\r\n", "\r", "\n", "\v", "\f", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"};
    std::string line;
    for (std::size_t i = 0; i < name.size();) {
        std::size_t matched = 0;
        for (std::string_view b : breaks) {
            if (!matched && name.substr(i, b.size()) == b)
                matched = b.size(); // the first that matches: CR LF before CR
        }
        line += matched ? ' ' : name[i];
        i += matched ? matched : 1;
    }
    return line;
}

std::string registerLine(const GameSummary& game)
{
    std::string line;
    for (const RegisterColumn& column : columns) {
        if (&column != columns)
            line += ';';
        line += column.write(game);
    }
    return line + "\r\n";
}

std::string spreadsheetField(std::string_view text)
{
    return textField(text);
}

} // namespace cifrelle::records
